// Figures for the terminal: drawing 1 KiB and 64 KiB chunks of colourful device text into a
// terminal that already holds 200 lines (with and without the repaint that follows), and the
// Qt-free walk alone. Runs offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "app/TTerminalView.h"
#include "session/uTerminalWalk.h"

namespace {

QApplication& Application() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_TerminalWrite";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);  // lives until the process ends
  return *app;
}

// Device text as the terminal gets it: prompts, coloured status words, plain values, CR LF.
std::string ColourfulText(size_t Size) {
  const std::string lines[] = {
      "\x1b[34;1m<Tallybox 0042>\x1b[0m i?\r\n",
      "\x1b[36;1mline 1\x1b[0m state=\x1b[0;1monline\x1b[0m level=-71 dBm\r\n",
      "\x1b[41;33;1mALARM\x1b[0m door contact \x1b[31mopen\x1b[0m since 00:12:09\r\n",
      "counter=000123456 uptime=4d 03:22:10 \x1b[0;1mok\x1b[0m\r\n",
      "password: \x1b[0;31;41msecret\x1b[0m\r\n",
  };
  std::string text;
  for (size_t i = 0; text.size() < Size; ++i) text += lines[i % std::size(lines)];
  text.resize(Size);
  return text;
}

void FillTwoHundredLines(TTerminalView& View) {
  while (View.LineCount() < TTerminalView::MaxLines) {
    View.TerminalWrite(ColourfulText(4096));
  }
}

void Write(benchmark::State& State, bool Repaint) {
  Application();
  const std::string chunk = ColourfulText(static_cast<size_t>(State.range(0)));
  TTerminalView view;
  view.resize(640, 400);
  view.show();
  FillTwoHundredLines(view);
  QCoreApplication::processEvents();
  for (auto _ : State) {
    view.TerminalWrite(chunk);
    if (Repaint) QCoreApplication::processEvents();
  }
  State.SetBytesProcessed(State.iterations() * State.range(0));
  State.counters["lines"] = static_cast<double>(view.LineCount());
}

void BM_TerminalWrite(benchmark::State& State) {
  Write(State, false);
}
void BM_TerminalWriteAndRepaint(benchmark::State& State) {
  Write(State, true);
}

void BM_TerminalWalk(benchmark::State& State) {
  const std::string chunk = ColourfulText(static_cast<size_t>(State.range(0)));
  TTerminalWalk walk;
  for (auto _ : State) benchmark::DoNotOptimize(walk.Write(chunk));
  State.SetBytesProcessed(State.iterations() * State.range(0));
}

}  // namespace

BENCHMARK(BM_TerminalWrite)->Arg(1024)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TerminalWriteAndRepaint)->Arg(1024)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TerminalWalk)->Arg(1024)->Arg(65536)->Unit(benchmark::kMicrosecond);
