// Figures for the parameter list: filling it with 10,000 register lines in ascending and in
// random name order, looking values up by name, and the name comparison underneath.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"

namespace {

constexpr int LineCount = 10000;

std::vector<std::string> RegisterLines(bool Shuffled) {
  std::vector<std::string> lines;
  for (int i = 0; i < LineCount; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "r%05d", i);
    lines.push_back(std::string(name) + "=" + std::to_string(i * 7));
  }
  if (Shuffled) std::shuffle(lines.begin(), lines.end(), std::mt19937(12345));
  return lines;
}

void Fill(benchmark::State& State, bool Shuffled) {
  const std::vector<std::string> lines = RegisterLines(Shuffled);
  for (auto _ : State) {
    TParameterList list;
    for (const std::string& line : lines) list.AddLine(line);
    benchmark::DoNotOptimize(list.Count());
  }
  State.SetItemsProcessed(State.iterations() * LineCount);
}

void BM_AddLinesAscending(benchmark::State& State) {
  Fill(State, false);
}
void BM_AddLinesRandomOrder(benchmark::State& State) {
  Fill(State, true);
}

void BM_GetValue(benchmark::State& State) {
  TParameterList list;
  for (const std::string& line : RegisterLines(true)) list.AddLine(line);
  std::vector<std::string> names;
  for (const std::string& line : RegisterLines(true)) names.push_back(line.substr(0, 6));
  for (auto& name : names)
    if (name.size() > 1) name[0] = 'R';  // lookups ignore case
  size_t i = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(list.GetValue(names[i]));
    i = (i + 1) % names.size();
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_AnsiCompareText(benchmark::State& State) {
  const std::string a = "r04711", b = "R04712";
  for (auto _ : State) benchmark::DoNotOptimize(AnsiCompareText(a, b));
  State.SetItemsProcessed(State.iterations());
}

}  // namespace

BENCHMARK(BM_AddLinesAscending)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddLinesRandomOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetValue);
BENCHMARK(BM_AnsiCompareText);
