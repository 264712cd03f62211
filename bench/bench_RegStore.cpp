// Figures for the settings store at its size limit: a 16 MB store (about 400,000 values)
// opened as the program does at start-up, and one value saved into it as at exit.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "settings/uRegText.h"
#include "settings/uRegistry.h"

namespace {

constexpr size_t StoreBytes = (16u << 20) - 4096;  // just within the store's limit

// A temporary XDG_CONFIG_HOME holding a full store; removed when the program ends.
struct TFullStore {
  TFullStore() {
    char pattern[] = "/tmp/tbx-bench-store-XXXXXX";
    Home = ::mkdtemp(pattern);
    ::setenv("XDG_CONFIG_HOME", Home.c_str(), 1);
    std::filesystem::create_directories(Home + "/Orvane");
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility]\n";
    for (int i = 0; text.size() < StoreBytes - 64; ++i)
      text +=
          "\"Value" + std::to_string(i) + "\"=\"C:\\\\Tallybox\\\\Settings\\\\v1.00\\\\a.rgp\"\n";
    Text = text;
    std::ofstream(Home + "/Orvane/settings.reg", std::ios::binary) << text;
  }
  ~TFullStore() { std::filesystem::remove_all(Home); }
  std::string Home, Text;
};

TFullStore& Store() {
  static TFullStore store;
  return store;
}

void BM_ParseFullStore(benchmark::State& State) {
  const std::string& text = Store().Text;
  for (auto _ : State) {
    TRegText parsed;
    benchmark::DoNotOptimize(ParseRegText(text, parsed));
    State.counters["values"] = double(parsed.Keys.at(0).Values.size());
  }
  State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ParseFullStore)->Unit(benchmark::kMillisecond);

void BM_OpenFullStore(benchmark::State& State) {
  Store();
  for (auto _ : State) {
    TOrvaneRegistry settings("TallyboxUtility");
    if (!settings.Open()) State.SkipWithError("the store did not open");
    benchmark::DoNotOptimize(settings.ReadString("Value1", ""));
  }
}
BENCHMARK(BM_OpenFullStore)->Unit(benchmark::kMillisecond);

void BM_SaveOneValueIntoFullStore(benchmark::State& State) {
  Store();
  TOrvaneRegistry settings("TallyboxUtility");
  if (!settings.Open()) State.SkipWithError("the store did not open");
  for (auto _ : State) settings.WriteString("IP", "127.0.0.1");
}
BENCHMARK(BM_SaveOneValueIntoFullStore)->Unit(benchmark::kMillisecond);

}  // namespace
