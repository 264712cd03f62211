// Figures for the TCP dispatcher on loopback: how close the device-to-input-queue rate comes
// to one full transfer per pass, and what an idle connection costs in processor time.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "dispatch/uTerminalDispatcher.h"
#include "support/LoopbackPeer.h"

namespace {

class TCountingDispatcher : public TTCPDispatcher {
 public:
  using TTCPDispatcher::TTCPDispatcher;
  uint64_t Passes() const { return FPassCount.load(); }
};

struct TSession {
  TLoopbackPeer Peer;
  TCountingDispatcher* Dispatcher;
  bool Opened = false;

  explicit TSession(const std::string& Address)
      : Peer(Address), Dispatcher(new TCountingDispatcher(Address)) {
    Dispatcher->FreeOnTerminate = false;
    Dispatcher->OnOpened = [this](TTerminalDispatcher*) { Opened = true; };
    Dispatcher->Resume();
    while (!Peer.Accept(0)) CheckSynchronize(5);
    while (!Opened) CheckSynchronize(5);
  }
  ~TSession() {
    Dispatcher->DetachNotifications();
    Dispatcher->Terminate();
    Dispatcher->WaitFor();
    delete Dispatcher;
  }
};

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_DeviceToInputQueue(benchmark::State& State) {
  TSession session("127.0.0.240");
  std::atomic<bool> stop{false};
  std::thread device([&] {
    const std::string chunk(65536, 'x');
    try {
      while (!stop) session.Peer.Send(chunk);
    } catch (...) {
      // the connection went away at the end of the run
    }
  });
  static char buffer[65536];
  uint64_t bytes = 0;
  const uint64_t passesBefore = session.Dispatcher->Passes();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : State) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until) {
      const int32_t n = session.Dispatcher->ReadInput(buffer, sizeof buffer);
      bytes += uint64_t(n);
      if (n == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const uint64_t passes = session.Dispatcher->Passes() - passesBefore;
  stop = true;
  session.Peer.CloseConnection();
  device.join();
  const double passMs = seconds * 1000.0 / double(passes);
  State.counters["MB_per_s"] = double(bytes) / seconds / 1e6;
  State.counters["pass_ms"] = passMs;
  State.counters["share_of_8192_per_pass_pct"] = 100.0 * (double(bytes) / double(passes)) / 8192.0;
  State.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_DeviceToInputQueue)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdleConnectionCpu(benchmark::State& State) {
  TSession session("127.0.0.241");
  double cpu = 0, wall = 0;
  for (auto _ : State) {
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu = CpuSeconds() - cpuBefore;
  }
  State.counters["cpu_pct_of_one_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_IdleConnectionCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
