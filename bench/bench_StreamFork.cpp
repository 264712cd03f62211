// Fork throughput on a device-like stream (about 70% coloured terminal text, 20% event
// lines, 10% modem-trace lines) fed in 1024-byte chunks and drained the way the main window
// drains it, with a plain memcpy of the same chunks as the ceiling.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

#include "streams/uStreamFork.h"

namespace {

constexpr int32_t ChunkSize = 1024;

std::string DeviceStream(size_t Bytes) {
  const std::string esc = "\x1b";
  std::mt19937 rng(1234);
  const std::string words[] = {"status",       "reg17=0042",   "link up", "signal -71 dBm",
                               "retry",        "CONNECT 9600", "ok",      "queue 3/16",
                               "battery 12.6V"};
  auto word = [&] { return words[rng() % std::size(words)]; };
  std::string out;
  size_t text = 0, events = 0, modem = 0;
  while (out.size() < Bytes) {
    std::string piece;
    // Pick whichever kind is furthest below its share.
    const double total = static_cast<double>(out.size()) + 1;
    if (events / total < 0.20) {
      piece = "\0\t"s + esc + "[31m" + word() + " " + word() + esc + "[0m\r\n";
      events += piece.size();
    } else if (modem / total < 0.10) {
      piece = "\0\t"s + esc + "[31mM:\"" + "AT+" + word() + "\"\r\n";
      modem += piece.size();
    } else {
      piece = esc + "[3" + std::to_string(rng() % 8) + "m" + word() + " " + word() + " " + word() +
              esc + "[0m " + word() + "=" + std::to_string(rng() % 1000) + "\r\n";
      text += piece.size();
    }
    out += piece;
  }
  return out;
}

const std::string& Input() {
  static const std::string input = DeviceStream(1 << 20);
  return input;
}

void Fork(benchmark::State& State) {
  const std::string& input = Input();
  TStreamFork fork;
  fork.DeferStartPattern = true;
  fork.AddSegment("", "", 0);
  fork.AddSegment("\0\t"s, "\r\n", 2000);
  fork.AddSegment("\0\t\x1b[31mM:\""s, "\r\n", 2000);
  std::vector<char> buffer(64 * 1024);
  size_t routed[3] = {};
  for (auto _ : State) {
    for (size_t at = 0; at < input.size(); at += ChunkSize) {
      const auto n = static_cast<int32_t>(std::min<size_t>(ChunkSize, input.size() - at));
      fork.Feed(input.data() + at, n);
      for (int32_t s = 0; s < fork.SegmentCount(); ++s) {
        TFIFOStream* stream = fork.Segments(s)->Stream;
        stream->Seek(0, 0);
        routed[s] += static_cast<size_t>(stream->Read(buffer.data(), int32_t(buffer.size())));
        stream->Seek(0, 2);
        stream->DiscardRead();
      }
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * input.size()));
  // Where the bytes went: terminal, events, modem (shares of the input; they add up to 1).
  const char* names[] = {"terminal_share", "events_share", "modem_share"};
  for (int s = 0; s < 3; ++s)
    State.counters[names[s]] =
        static_cast<double>(routed[s]) / static_cast<double>(State.iterations() * input.size());
}

void Memcpy(benchmark::State& State) {
  const std::string& input = Input();
  std::vector<char> buffer(ChunkSize);
  for (auto _ : State) {
    for (size_t at = 0; at < input.size(); at += ChunkSize) {
      const size_t n = std::min<size_t>(ChunkSize, input.size() - at);
      std::memcpy(buffer.data(), input.data() + at, n);
      benchmark::DoNotOptimize(buffer.data());
      benchmark::ClobberMemory();
    }
  }
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * input.size()));
}

}  // namespace

BENCHMARK(Fork)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
