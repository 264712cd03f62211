#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "rtl/Exceptions.h"
#include "support/ErrorText.h"

namespace {

// The smallest concrete stream: a string with a cursor.
class TStringStream : public TStream {
 public:
  explicit TStringStream(std::string Data = {}) : FData(std::move(Data)) {}
  using TStream::Seek;
  int32_t Read(void* Buffer, int32_t Count) override {
    const int32_t n = std::max(0, std::min<int32_t>(Count, int32_t(FData.size()) - FPos));
    std::memcpy(Buffer, FData.data() + FPos, static_cast<size_t>(n));
    FPos += n;
    return n;
  }
  int32_t Write(const void* Buffer, int32_t Count) override {
    FData.replace(static_cast<size_t>(FPos), static_cast<size_t>(Count),
                  static_cast<const char*>(Buffer), static_cast<size_t>(Count));
    FPos += Count;
    return Count;
  }
  int32_t Seek(int32_t Offset, uint16_t Origin) override {
    const int32_t base = Origin == 0 ? 0 : Origin == 1 ? FPos : int32_t(FData.size());
    FPos = std::clamp<int32_t>(base + Offset, 0, int32_t(FData.size()));
    return FPos;
  }
  std::string FData;
  int32_t FPos = 0;
};

}  // namespace

TEST(Stream, ExactReadRaisesWhenShortAndSizeKeepsTheCursor) {
  TStringStream s("abc");
  s.Seek(1, 0);
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.Position(), 1);
  char buf[8];
  EXPECT_NO_THROW(s.ReadBuffer(buf, 0));
  EXPECT_EQ(ErrorOf<EReadError>([&] { s.ReadBuffer(buf, 3); }), "Stream read error");
}

// Count 0 copies the whole source from its start; otherwise exactly Count from its cursor.
TEST(Stream, CopyFromCopiesTheWholeSourceOrExactlyCountBytes) {
  const std::string big(150000, 'x');
  TStringStream whole(big + "end"), part("0123456789"), target, partTarget;
  whole.Seek(100, 0);
  EXPECT_EQ(target.CopyFrom(&whole, 0), int64_t(big.size() + 3));
  EXPECT_EQ(target.FData, whole.FData);
  part.Seek(3, 0);
  EXPECT_EQ(partTarget.CopyFrom(&part, 4), 4);
  EXPECT_EQ(partTarget.FData, "3456");
  TStringStream shortSource("ab");
  EXPECT_THROW(partTarget.CopyFrom(&shortSource, 5), EReadError);
}

TEST(Stream, SixtyFourBitSeekOutsideThirtyTwoBitsIsARangeError) {
  TStringStream s("abc");
  EXPECT_THROW(s.Seek(int64_t{1} << 40, 0), ERangeError);
  EXPECT_THROW(s.SetSize(int64_t{1} << 40), ERangeError);
}
