#include "streams/uFifoStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <thread>
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
  EXPECT_EQ(s.Read(buf, 4), 0);
  for (uint16_t origin : {0, 1, 2, 3})
    for (int32_t offset : {-5, 0, 5}) EXPECT_EQ(s.Seek(offset, origin), 0);
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.GetCapacity(), 0);
  EXPECT_EQ(s.DiscardRead(), 0);
  EXPECT_EQ(s.Blocks(), 0);
}

TEST(FifoStream, WriteWithoutBytesAllocatesNothing) {
  TProbe s(8, 0);
  const char c = 'x';
  EXPECT_EQ(s.Write(&c, 0), 0);
  EXPECT_EQ(s.Write(&c, -3), 0);
  EXPECT_EQ(s.Write(nullptr, 0), 0);
  EXPECT_EQ(s.GetCapacity(), 0);
  EXPECT_EQ(s.Blocks(), 0);
}

TEST(FifoStream, BlockSizeBelowOneIsRefused) {
  EXPECT_THROW(TFIFOStream(0, 0), ERangeError);
  EXPECT_THROW(TFIFOStream(-4, 0), ERangeError);
}

TEST(FifoStream, FillingABlockAppendsAnEmptyOne) {
  TProbe s(8, 0);
  Put(s, Bytes(0, 8));
  EXPECT_EQ(s.GetSize(), 8);
  EXPECT_EQ(s.Blocks(), 2);
  EXPECT_EQ(s.GetCapacity(), 16);
  EXPECT_EQ(s.EndOffset(), 0);
}

TEST(FifoStream, ReadDiscardReadAgainDrainsAndRecyclesTheBlock) {
  TProbe s(8, 0);
  Put(s, Bytes(0, 10));
  EXPECT_EQ(s.Seek(0, 0), 0);
  EXPECT_EQ(Take(s, 4), Bytes(0, 4));
  EXPECT_EQ(s.DiscardRead(), 4);
  EXPECT_EQ(s.GetSize(), 6);
  EXPECT_EQ(s.Seek(0, 0), 0);
  EXPECT_EQ(Take(s, 100), Bytes(4, 10));
  EXPECT_EQ(s.DiscardRead(), 6);
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.Blocks(), 1);
  EXPECT_EQ(s.Spares(), 1);
  EXPECT_EQ(s.GetCapacity(), 16);
}

TEST(FifoStream, DiscardAtTheEndRestartsTheLastBlockAtOffsetZero) {
  TProbe s(8, 0);
  Put(s, Bytes(0, 13));
  s.Seek(0, 2);
  EXPECT_EQ(s.DiscardRead(), 13);
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.Blocks(), 1);
  EXPECT_EQ(s.StartOffset(), 0);
  EXPECT_EQ(s.EndOffset(), 0);
  EXPECT_EQ(s.CurOffset(), 0);
  Put(s, "abc");
  EXPECT_EQ(Content(s), "abc");
}

TEST(FifoStream, DiscardKeepsTheReadMarkInsideTheCursorBlock) {
  TProbe s(8, 0);
  Put(s, Bytes(0, 20));
  s.Seek(11, 0);
  EXPECT_EQ(s.DiscardRead(), 11);
  EXPECT_EQ(s.StartOffset(), 3);
  EXPECT_EQ(s.Blocks(), 2);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(Content(s), Bytes(11, 20));
  Put(s, "");
  s.Seek(0, 2);
  Put(s, Bytes(20, 30));
  EXPECT_EQ(Content(s), Bytes(11, 30));
}

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
    EXPECT_EQ(Take(s, 100), Bytes(c.Result, c.Size));
  }
}

TEST(FifoStream, ReadCrossesBlocksAndContinuesFromTheCursor) {
  TFIFOStream s(8, 0);
  Put(s, Bytes(0, 20));
  s.Seek(3, 0);
  EXPECT_EQ(Take(s, 10), Bytes(3, 13));
  EXPECT_EQ(s.Seek(10, 0), 10);
  EXPECT_EQ(Take(s, 2), Bytes(10, 12));
  EXPECT_EQ(s.Seek(3, 2), 17);
  EXPECT_EQ(Take(s, 100), Bytes(17, 20));
  EXPECT_EQ(Take(s, 1), "");
}

TEST(FifoStream, RelativeSeekFromEitherEndGivesTheSamePlace) {
  TFIFOStream s(8, 0);
  Put(s, Bytes(0, 20));
  s.Seek(10, 0);
  EXPECT_EQ(s.Seek(5, 1), 15);
  EXPECT_EQ(Take(s, 1), Bytes(15, 16));
  EXPECT_EQ(s.Seek(-13, 1), 3);
  EXPECT_EQ(Take(s, 1), Bytes(3, 4));
}

TEST(FifoStream, WritingInsideTheContentOverwritesAndExtendsOnlyPastTheEnd) {
  TFIFOStream s(4, 0);
  Put(s, Bytes(0, 10));
  s.Seek(2, 0);
  Put(s, "abc");
  EXPECT_EQ(s.GetSize(), 10);
  s.Seek(8, 0);
  Put(s, "xyzw");
  EXPECT_EQ(s.GetSize(), 12);
  EXPECT_EQ(Content(s), Bytes(0, 2) + "abc" + Bytes(5, 8) + "xyzw");
}

TEST(FifoStream, BlockLimitDropsTheOldestBlocks) {
  TProbe s(4, 3);
  EXPECT_EQ(s.Write(Bytes(0, 20).data(), 20), 20);
  EXPECT_EQ(Content(s), Bytes(12, 20));
  EXPECT_EQ(s.Blocks(), 3);
  EXPECT_EQ(s.EndOffset(), 0);
  EXPECT_EQ(s.Spares(), 1);
  EXPECT_EQ(s.Position(), 8);
}

TEST(FifoStream, BlockLimitOfZeroOrOneMeansNoLimit) {
  for (int32_t limit : {0, 1, -1}) {
    TProbe s(4, limit);
    Put(s, Bytes(0, 20));
    EXPECT_EQ(Content(s), Bytes(0, 20)) << limit;
    EXPECT_EQ(s.Blocks(), 6) << limit;
  }
}

TEST(FifoStream, SixtyFourBitSeekRangeChecks) {
  TFIFOStream s(8, 0);
  Put(s, Bytes(0, 10));
  EXPECT_EQ(s.Seek(int64_t{4}, 0), 4);
  EXPECT_THROW(s.Seek(int64_t{1} << 40, 0), ERangeError);
  s.SetSize(int64_t{3});  // does nothing
  EXPECT_EQ(s.Size(), 10);
}

TEST(FifoStream, ExactReadRaisesWhenContentRunsOut) {
  TFIFOStream s(8, 0);
  Put(s, "abc");
  s.Seek(0, 0);
  char buf[8];
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
}

TEST(FifoStream, ReadSpanHandsOutTheSameBytesAsRead) {
  TFIFOStream s(5, 0);
  Put(s, Bytes(0, 23));
  s.Seek(3, 0);
  std::string seen;
  const uint8_t* data;
  std::vector<int32_t> spans;
  while (int32_t n = s.ReadSpan(data, 100)) {
    seen.append(reinterpret_cast<const char*>(data), static_cast<size_t>(n));
    spans.push_back(n);
  }
  EXPECT_EQ(seen, Bytes(3, 23));
  EXPECT_EQ(spans, (std::vector<int32_t>{2, 5, 5, 5, 3}));
  EXPECT_EQ(s.Position(), 23);
  s.Seek(0, 0);
  EXPECT_EQ(s.ReadSpan(data, 3), 3);
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(s.ReadSpan(data, 0), 0);
}

TEST(FifoStream, WarmQueueStopsGrowing) {
  TFIFOStream s(64, 0);
  std::string chunk(100, 'q');
  std::string buf(1000, '\0');
  auto traffic = [&](int rounds) {
    for (int i = 0; i < rounds; ++i) {
      s.Seek(0, 2);
      Put(s, chunk.substr(0, static_cast<size_t>(1 + i % 100)));
      if (i % 3 == 2) {
        s.Seek(0, 0);
        if (s.Read(buf.data(), 1000) > 0) s.DiscardRead();
      }
    }
  };
  traffic(300);
  const int32_t warm = s.GetCapacity();
  traffic(3000);
  EXPECT_EQ(s.GetCapacity(), warm);
}

// Two threads through one lockable queue in the dispatcher's calling order: every byte
// arrives once and in order.
TEST(FifoStream, LockableQueueCarriesBytesBetweenThreadsInOrder) {
  TLockableFIFOStream q(64, 0);
  constexpr int Total = 200000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    uint8_t chunk[97];
    int next = 0;
    while (next < Total) {
      const int n = std::min<int>(static_cast<int>(sizeof chunk), Total - next);
      for (int i = 0; i < n; ++i) chunk[i] = static_cast<uint8_t>((next + i) * 7);
      q.Lock();
      q.Seek(0, 2);
      q.Write(chunk, n);
      q.Unlock();
      next += n;
    }
    done = true;
  });
  int received = 0;
  bool inOrder = true;
  uint8_t buf[150];
  while (received < Total) {
    EXPECT_TRUE(q.TryLock());
    q.Seek(0, 0);
    const int32_t n = q.Read(buf, sizeof buf);
    if (n > 0) q.DiscardRead();
    q.Unlock();
    for (int i = 0; i < n; ++i)
      inOrder = inOrder && buf[i] == static_cast<uint8_t>((received + i) * 7);
    received += n;
    if (n == 0 && done && q.Size() == 0) break;
  }
  producer.join();
  EXPECT_EQ(received, Total);
  EXPECT_TRUE(inOrder);
}

TEST(FifoStream, CriticalSectionTryEnterWaitsAndSucceedsReentrantly) {
  TTDCriticalSection cs;
  EXPECT_TRUE(cs.TryEnter());
  EXPECT_TRUE(cs.TryEnter());
  cs.Leave();
  cs.Leave();
  std::atomic<bool> entered{false};
  cs.Enter();
  std::thread other([&] {
    EXPECT_TRUE(cs.TryEnter());
    entered = true;
    cs.Leave();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(entered);
  cs.Leave();
  other.join();
  EXPECT_TRUE(entered);
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
      const bool appends = FPos == static_cast<int32_t>(FData.size());
      if (appends)
        FData.push_back(c);
      else
        FData[static_cast<size_t>(FPos)] = c;
      ++FPos;
      if (appends && (FStart + Size()) % FBS == 0) {
        FPeak = std::max(FPeak, Blocks());
        if (FMax > 1 && Blocks() > FMax) {
          const int32_t lost = FBS - FStart;
          FData.erase(0, static_cast<size_t>(lost));
          FPos -= lost;
          FStart = 0;
        }
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
    if (!FHasBlock) return 0;
    int64_t target;
    if (Origin == 0)
      target = Offset;
    else if (Origin == 1)
      target = int64_t{FPos} + Offset;
    else if (Origin == 2)
      target = int64_t{Size()} - Offset;
    else
      return FPos;
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
    const int op = pick(0, 9);
    if (op <= 2) {
      std::string data(static_cast<size_t>(pick(0, 3 * BlockSize + 5)), '\0');
      for (char& c : data) c = static_cast<char>(pick(0, 255));
      if (pick(0, 1)) {
        ref.Seek(0, 2);
        s.Seek(0, 2);
      }
      ASSERT_EQ(s.Write(data.data(), static_cast<int32_t>(data.size())), ref.Write(data));
    } else if (op <= 4) {
      const int32_t count = pick(-2, 3 * BlockSize + 5);
      std::string buf(static_cast<size_t>(std::max(count, 0)), '\0');
      const int32_t n = s.Read(buf.data(), count);
      ASSERT_EQ(buf.substr(0, static_cast<size_t>(std::max(n, 0))), ref.Read(count));
    } else if (op <= 7) {
      const auto origin = static_cast<uint16_t>(pick(0, 9) == 0 ? pick(3, 5) : pick(0, 2));
      int32_t offset = pick(-ref.Size() - 5, 2 * ref.Size() + 5);
      if (pick(0, 20) == 0) offset = pick(0, 1) ? INT32_MAX : INT32_MIN;
      ASSERT_EQ(s.Seek(offset, origin), ref.Seek(offset, origin))
          << "Seek(" << offset << ", " << origin << ") at step " << step;
    } else if (op == 8) {
      ASSERT_EQ(s.DiscardRead(), ref.DiscardRead()) << "step " << step;
    } else {
      ASSERT_EQ(Content(s), ref.Data()) << "step " << step;
    }
    ASSERT_EQ(s.GetSize(), ref.Size()) << "step " << step;
    ASSERT_EQ(s.Position(), ref.Position()) << "step " << step;
    ASSERT_EQ(s.GetCapacity(), ref.Capacity()) << "step " << step;
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
