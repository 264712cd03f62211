#include "rtl/Stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "rtl/Exceptions.h"

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

TEST(Stream, BaseSizeSeeksToTheEndAndBack) {
  TStringStream s("abcdef");
  s.Seek(2, 0);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Position(), 2);
}

TEST(Stream, ExactReadAndWriteRaiseWhenShort) {
  TStringStream s("abc");
  char buf[8];
  try {
    s.ReadBuffer(buf, 4);
    FAIL() << "a short read must raise";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_NO_THROW(s.ReadBuffer(buf, 0));
}

TEST(Stream, CopyFromWithCountZeroCopiesTheWholeSourceFromItsStart) {
  const std::string big(150000, 'x');
  TStringStream source(big + "end");
  source.Seek(100, 0);
  TStringStream target;
  EXPECT_EQ(target.CopyFrom(&source, 0), int64_t(big.size() + 3));
  EXPECT_EQ(target.FData, source.FData);
}

TEST(Stream, CopyFromMovesExactlyCountBytesFromTheCursor) {
  TStringStream source("0123456789");
  source.Seek(3, 0);
  TStringStream target;
  EXPECT_EQ(target.CopyFrom(&source, 4), 4);
  EXPECT_EQ(target.FData, "3456");
  TStringStream shortSource("ab");
  EXPECT_THROW(target.CopyFrom(&shortSource, 5), EReadError);
}

TEST(Stream, SixtyFourBitSeekOutsideThirtyTwoBitsIsARangeError) {
  TStringStream s("abc");
  EXPECT_THROW(s.Seek(int64_t{1} << 40, 0), ERangeError);
  EXPECT_THROW(s.SetSize(int64_t{1} << 40), ERangeError);
}

TEST(Format, FillsPrintfPatterns) {
  EXPECT_EQ(Format("List index out of bounds (%d)", 7), "List index out of bounds (7)");
  EXPECT_EQ(Format("%s", ""), "");
}
