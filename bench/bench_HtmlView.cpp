// Time from LoadFromFile to LoadFinished for the registers page with every include tag
// filled, in the engine's warm state; the first (cold) load of the process is printed apart.
// Run offscreen (QT_QPA_PLATFORM=offscreen) or under xvfb-run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>

#include <chrono>
#include <cstdio>
#include <string>

#include "htmlview/THtmlView.h"

namespace {

THtmlView* View = nullptr;
const std::string Regs = std::string(TALLYBOX_PAGES_DIR) + "/v1.00/regs.htm";

double LoadRegsMs() {
  QEventLoop loop;
  QObject::connect(View, &THtmlView::LoadFinished, &loop, &QEventLoop::quit);
  const auto start = std::chrono::steady_clock::now();
  View->LoadFromFile(Regs);
  loop.exec();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void BM_RegistersPageLoad(benchmark::State& State) {
  for (auto _ : State) {
    const double ms = LoadRegsMs();
    State.SetIterationTime(ms / 1000.0);
  }
}
BENCHMARK(BM_RegistersPageLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  THtmlView::PrepareEnvironment();
  THtmlView::RegisterSchemes();
  QApplication app(argc, argv);
  THtmlView view;
  view.resize(1000, 700);
  view.show();
  view.SetPageRoot(TALLYBOX_PAGES_DIR);
  view.SetIncludeHandler([](const std::string& Command, const std::vector<std::string>& Params) {
    return Params.empty() || Command == "hl" ? std::string() : "value=\"" + Params[0] + "\"";
  });
  View = &view;
  std::printf("first (cold) registers page load: %.1f ms on %s\n", LoadRegsMs(),
              qPrintable(QApplication::platformName()));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  View = nullptr;
  return 0;
}
