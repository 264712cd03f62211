// Runs in a program of its own: it replaces the global operator new to count allocations.
#include <gtest/gtest.h>

#include <string>

#include "AllocationCounter.h"
#include "streams/uFifoStream.h"

namespace {

// The dispatcher's calling order: the producer appends a chunk, the consumer drains a little
// less, so the read mark creeps across block boundaries; now and then it drains everything.
void Traffic(TLockableFIFOStream& Queue, int Rounds, std::string& Buffer) {
  static const char chunk[1000] = {};
  for (int i = 0; i < Rounds; ++i) {
    Queue.Lock();
    Queue.Seek(0, 2);
    Queue.Write(chunk, sizeof chunk);
    Queue.Unlock();
    Queue.Lock();
    Queue.Seek(0, 0);
    const int32_t want = i % 50 == 49 ? static_cast<int32_t>(Buffer.size()) : 999;
    if (Queue.Read(Buffer.data(), want) > 0) Queue.DiscardRead();
    Queue.Unlock();
  }
}

}  // namespace

TEST(FifoStreamAllocations, CounterSeesAllocations) {
  const uint64_t before = AllocationCounter::Count();
  TFIFOStream s(16, 0);
  s.Write("x", 1);
  EXPECT_EQ(AllocationCounter::Count() - before, 2u);  // block record and its data
}

TEST(FifoStreamAllocations, WarmQueueAllocatesNothing) {
  TLockableFIFOStream queue(8192, 0);
  std::string buffer(100000, '\0');
  Traffic(queue, 200, buffer);
  const int32_t capacity = queue.GetCapacity();
  const uint64_t before = AllocationCounter::Count();
  Traffic(queue, 20000, buffer);
  EXPECT_EQ(AllocationCounter::Count() - before, 0u);
  EXPECT_EQ(queue.GetCapacity(), capacity);
}
