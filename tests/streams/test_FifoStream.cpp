#include "streams/uFifoStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "rtl/Exceptions.h"

namespace {

// Opens the block bookkeeping to the tests.
class TProbe : public TFIFOStream {
 public:
  using TFIFOStream::TFIFOStream;
  int32_t Blocks() const { return FBlockCount; }
  int32_t Spares() const { return FSpareCount; }
  int32_t StartOffset() const { return FStartOffset; }
  int32_t EndOffset() const { return FEndOffset; }
  int32_t CurOffset() const { return FCurOffset; }
};

std::string Bytes(int From, int To) {  // From..To-1
  std::string s;
  for (int i = From; i < To; ++i) s.push_back(static_cast<char>(i));
  return s;
}

void Put(TFIFOStream& S, const std::string& Data) {
  ASSERT_EQ(S.Write(Data.data(), static_cast<int32_t>(Data.size())),
            static_cast<int32_t>(Data.size()));
}

std::string Take(TFIFOStream& S, int32_t Count) {
  std::string buf(static_cast<size_t>(std::max(Count, 0)), '\0');
  buf.resize(static_cast<size_t>(std::max(S.Read(buf.data(), Count), 0)));
  return buf;
}

// Whole content, leaving the cursor where it was.
std::string Content(TFIFOStream& S) {
  const int32_t pos = S.Seek(0, 1);
  S.Seek(0, 0);
  std::string all = Take(S, static_cast<int32_t>(S.Size()) + 1);
  S.Seek(pos, 0);
  return all;
}

}  // namespace

TEST(FifoStream, NeverWrittenStreamIsEmptyEverywhere) {
  TProbe s(8, 0);
  char buf[4];
  EXPECT_EQ(s.Write(buf, 0), 0);
  EXPECT_EQ(s.Write(buf, -3), 0);
  EXPECT_EQ(s.Write(nullptr, 0), 0);
  EXPECT_EQ(s.Read(buf, 4), 0);
  for (uint16_t origin : {0, 1, 2, 3})
    for (int32_t offset : {-5, 0, 5}) EXPECT_EQ(s.Seek(offset, origin), 0);
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.GetCapacity(), 0);
  EXPECT_EQ(s.DiscardRead(), 0);
  EXPECT_EQ(s.Blocks(), 0);
  EXPECT_THROW(TFIFOStream(0, 0), ERangeError);  // no byte would ever fit in a block
  EXPECT_THROW(TFIFOStream(-4, 0), ERangeError);
}

// Block size 8: exactly one block of bytes already takes a second, empty block. Each discard
// drops everything before the cursor; a discard at the end keeps one block, restarted at zero.
TEST(FifoStream, DiscardDropsWhatWasReadAndRecyclesBlocks) {
  struct Case {
    int32_t Size;
    std::vector<int32_t> DiscardAt;  // cursor for each DiscardRead, from the current start
    int32_t Blocks, Spares, Start;
  };
  const Case cases[] = {
      {8, {}, 2, 0, 0},    {10, {4}, 2, 0, 4},  {10, {4, 6}, 1, 1, 0},    {13, {13}, 1, 1, 0},
      {20, {11}, 2, 1, 3}, {16, {16}, 1, 2, 0}, {20, {3, 5, 4}, 2, 1, 4}, {20, {7, 1}, 2, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.Size << ", discards " << c.DiscardAt.size());
    TProbe s(8, 0);
    Put(s, Bytes(0, c.Size));
    int32_t dropped = 0;
    for (int32_t at : c.DiscardAt) {
      s.Seek(0, 0);
      ASSERT_EQ(Take(s, at), Bytes(dropped, dropped + at));
      EXPECT_EQ(s.DiscardRead(), at);
      dropped += at;
    }
    EXPECT_EQ(s.GetSize(), c.Size - dropped);
    EXPECT_EQ(s.Position(), c.DiscardAt.empty() ? c.Size : 0);
    if (c.DiscardAt.empty()) s.Seek(0, 0);
    EXPECT_EQ(s.Blocks(), c.Blocks);
    EXPECT_EQ(s.Spares(), c.Spares);
    EXPECT_EQ(s.StartOffset(), c.Start);
    EXPECT_EQ(s.CurOffset(), c.Start);
    EXPECT_EQ(s.EndOffset(), (c.Start + c.Size - dropped) % 8);
    EXPECT_EQ(s.GetCapacity(), 8 * (c.Blocks + c.Spares));
    EXPECT_EQ(Content(s), Bytes(dropped, c.Size));
    s.Seek(0, 2);
    Put(s, Bytes(c.Size, c.Size + 10));
    EXPECT_EQ(Content(s), Bytes(dropped, c.Size + 10));
  }
}

// Origin 0 from the start, 1 from the cursor, 2 counting back from the end; the result is
// clamped to the content, other origins leave the cursor alone. Reads then cross blocks.
TEST(FifoStream, SeeksResolveAndClamp) {
  struct Case {
    int Size;
    int32_t Before;  // cursor placed with Seek(Before, 0) first
    int32_t Offset;
    uint16_t Origin;
    int32_t Result;
  };
  const Case cases[] = {
      {20, 0, 3, 0, 3},          {20, 0, 10, 0, 10},        {20, 0, 3, 2, 17},
      {20, 0, 0, 2, 20},         {12, 0, 30, 0, 12},        {12, 0, -5, 0, 0},
      {20, 7, 0, 1, 7},          {20, 10, 5, 1, 15},        {20, 15, -12, 1, 3},
      {20, 0, -3, 2, 20},        {20, 0, 25, 2, 0},         {20, 4, 100, 1, 20},
      {20, 4, -100, 1, 0},       {20, 5, 9, 3, 5},          {20, 5, 9, 0xFFFF, 5},
      {20, 0, INT32_MAX, 0, 20}, {20, 0, INT32_MIN, 0, 0},  {20, 3, INT32_MAX, 1, 20},
      {20, 3, INT32_MIN, 1, 0},  {20, 0, INT32_MIN, 2, 20}, {20, 0, INT32_MAX, 2, 0},
      {16, 0, 8, 0, 8},          {16, 0, 8, 2, 8},          {16, 0, 16, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.Size << " at " << c.Before << " Seek("
                                    << c.Offset << ", " << c.Origin << ")");
    TFIFOStream s(8, 0);
    Put(s, Bytes(0, c.Size));
    s.Seek(c.Before, 0);
    EXPECT_EQ(s.Seek(c.Offset, c.Origin), c.Result);
    EXPECT_EQ(s.Position(), c.Result);
    const int mid = std::min(c.Result + 10, c.Size);
    EXPECT_EQ(Take(s, 10), Bytes(c.Result, mid));
    EXPECT_EQ(Take(s, 100), Bytes(mid, c.Size));
  }
}

// A limit above one drops the oldest blocks; 0, 1 or below means no limit.
TEST(FifoStream, BlockLimitDropsTheOldestBlocks) {
  for (int32_t limit : {3, 0, 1, -1}) {
    SCOPED_TRACE(testing::Message() << "limit " << limit);
    TProbe s(4, limit);
    Put(s, Bytes(0, 20));
    const bool limited = limit == 3;
    EXPECT_EQ(Content(s), Bytes(limited ? 12 : 0, 20));
    EXPECT_EQ(s.Blocks(), limited ? 3 : 6);
    EXPECT_EQ(s.Spares(), limited ? 1 : 0);
    EXPECT_EQ(s.Position(), limited ? 8 : 20);
    EXPECT_EQ(s.EndOffset(), 0);
  }
}

TEST(FifoStream, StreamContractSixtyFourBitSeekAndExactRead) {
  TFIFOStream s(8, 0);
  Put(s, Bytes(0, 10));
  EXPECT_EQ(s.Seek(int64_t{4}, 0), 4);
  EXPECT_THROW(s.Seek(int64_t{1} << 40, 0), ERangeError);
  s.SetSize(int64_t{3});  // does nothing
  EXPECT_EQ(s.Size(), 10);
  s.Seek(7, 0);
  char buf[8];
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
}

namespace {

// The queue as a plain string with a cursor, plus the block arithmetic needed to know which
// bytes a block limit drops.
class TReference {
 public:
  TReference(int32_t BlockSize, int32_t MaxBlocks) : FBS(BlockSize), FMax(MaxBlocks) {}

  int32_t Write(const std::string& Data) {
    if (Data.empty()) return 0;
    FHasBlock = true;
    FPeak = std::max(FPeak, Blocks());
    for (char c : Data) {
      const bool appends = FPos == Size();
      if (appends)
        FData.push_back(c);
      else
        FData[static_cast<size_t>(FPos)] = c;
      ++FPos;
      if (!appends || (FStart + Size()) % FBS != 0) continue;
      FPeak = std::max(FPeak, Blocks());
      if (FMax > 1 && Blocks() > FMax) {
        const int32_t lost = FBS - FStart;
        FData.erase(0, static_cast<size_t>(lost));
        FPos -= lost;
        FStart = 0;
      }
    }
    return static_cast<int32_t>(Data.size());
  }
  std::string Read(int32_t Count) {
    const int32_t n = std::clamp(Size() - FPos, 0, std::max(Count, 0));
    std::string out = FData.substr(static_cast<size_t>(FPos), static_cast<size_t>(n));
    FPos += n;
    return out;
  }
  int32_t Seek(int32_t Offset, uint16_t Origin) {
    if (!FHasBlock || Origin > 2) return FPos;
    const int64_t base = Origin == 0 ? 0 : Origin == 1 ? int64_t{FPos} : int64_t{Size()};
    const int64_t target = Origin == 2 ? base - Offset : base + Offset;
    FPos = static_cast<int32_t>(std::clamp<int64_t>(target, 0, Size()));
    return FPos;
  }
  int32_t DiscardRead() {
    if (!FHasBlock) return 0;
    const int32_t dropped = FPos;
    FStart = FPos == Size() ? 0 : (FStart + FPos) % FBS;
    FData.erase(0, static_cast<size_t>(FPos));
    FPos = 0;
    return dropped;
  }
  int32_t Size() const { return static_cast<int32_t>(FData.size()); }
  int32_t Position() const { return FPos; }
  int32_t Capacity() const { return FHasBlock ? FPeak * FBS : 0; }
  const std::string& Data() const { return FData; }

 private:
  int32_t Blocks() const { return (FStart + Size()) / FBS + 1; }

  int32_t FBS, FMax;
  bool FHasBlock = false;
  std::string FData;
  int32_t FPos = 0;
  int32_t FStart = 0;  // read mark inside the first block
  int32_t FPeak = 0;   // the most blocks ever held: chain plus spares
};

void CompareWithReference(uint32_t Seed, int32_t BlockSize, int32_t MaxBlocks) {
  SCOPED_TRACE(testing::Message() << "seed " << Seed << " block size " << BlockSize
                                  << " block limit " << MaxBlocks);
  std::mt19937 rng(Seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  TFIFOStream s(BlockSize, MaxBlocks);
  TReference ref(BlockSize, MaxBlocks);
  for (int step = 0; step < 1500; ++step) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    const int op = pick(0, 9);
    if (op <= 2) {
      std::string data(static_cast<size_t>(pick(0, 3 * BlockSize + 5)), '\0');
      for (char& c : data) c = static_cast<char>(pick(0, 255));
      if (pick(0, 1)) ASSERT_EQ(s.Seek(0, 2), ref.Seek(0, 2));
      ASSERT_EQ(s.Write(data.data(), static_cast<int32_t>(data.size())), ref.Write(data));
    } else if (op <= 4) {
      const int32_t count = pick(-2, 3 * BlockSize + 5);
      ASSERT_EQ(Take(s, count), ref.Read(count));
    } else if (op <= 7) {
      const auto origin = static_cast<uint16_t>(pick(0, 9) == 0 ? pick(3, 5) : pick(0, 2));
      int32_t offset = pick(-ref.Size() - 5, 2 * ref.Size() + 5);
      if (pick(0, 20) == 0) offset = pick(0, 1) ? INT32_MAX : INT32_MIN;
      ASSERT_EQ(s.Seek(offset, origin), ref.Seek(offset, origin))
          << "Seek(" << offset << ", " << origin << ")";
    } else if (op == 8) {
      ASSERT_EQ(s.DiscardRead(), ref.DiscardRead());
    } else {
      ASSERT_EQ(Content(s), ref.Data());
    }
    ASSERT_EQ(s.GetSize(), ref.Size());
    ASSERT_EQ(s.Position(), ref.Position());
    ASSERT_EQ(s.GetCapacity(), ref.Capacity());
  }
  ASSERT_EQ(Content(s), ref.Data());
}

}  // namespace

TEST(FifoStream, RandomTrafficMatchesAPlainQueue) {
  const uint32_t seed = 20240611;
  std::mt19937 seeds(seed);
  for (int32_t blockSize = 1; blockSize <= 16; ++blockSize)
    for (int32_t maxBlocks : {0, 2, 3, 5}) {
      CompareWithReference(seeds(), blockSize, maxBlocks);
      if (HasFatalFailure()) return;
    }
}
