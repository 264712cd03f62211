// Throughput of a dispatcher queue used the way the dispatcher and the main window use it,
// and the heap allocations it makes once its spare blocks are warm (target: none).
#include <benchmark/benchmark.h>

#include <vector>

#include "AllocationCounter.h"
#include "streams/uFifoStream.h"

namespace {

constexpr int32_t QueueBlockSize = 8192;

// Producer: one chunk in. Consumer: reads of ReadSize until the queue is empty, each
// followed by a discard, as the pump drains the input queue.
void AppendThenDrain(benchmark::State& State) {
  const auto chunkSize = static_cast<int32_t>(State.range(0));
  const auto readSize = static_cast<int32_t>(State.range(1));
  std::vector<char> chunk(static_cast<size_t>(chunkSize), 'x');
  std::vector<char> buffer(static_cast<size_t>(readSize));
  TLockableFIFOStream queue(QueueBlockSize, 0);
  auto pass = [&] {
    queue.Lock();
    queue.Seek(0, 2);
    queue.Write(chunk.data(), chunkSize);
    queue.Unlock();
    for (;;) {
      queue.Lock();
      queue.Seek(0, 0);
      const int32_t n = queue.Read(buffer.data(), readSize);
      if (n > 0) queue.DiscardRead();
      queue.Unlock();
      benchmark::DoNotOptimize(buffer.data());
      if (n < readSize) break;
    }
  };
  for (int i = 0; i < 64; ++i) pass();  // warm the spare list

  const uint64_t allocationsBefore = AllocationCounter::Count();
  for (auto _ : State) pass();
  const uint64_t allocations = AllocationCounter::Count() - allocationsBefore;

  const int64_t bytes = static_cast<int64_t>(State.iterations()) * chunkSize;
  State.SetBytesProcessed(bytes);
  State.counters["allocs_per_MB"] =
      bytes > 0 ? static_cast<double>(allocations) * 1e6 / static_cast<double>(bytes) : 0.0;
}

}  // namespace

BENCHMARK(AppendThenDrain)
    ->ArgNames({"chunk", "read"})
    ->Args({1024, 1024})
    ->Args({8192, 8192})
    ->Args({8192, 1024});
