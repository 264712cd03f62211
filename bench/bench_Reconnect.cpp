// What a long day of reconnecting costs: N cycles of Reconnect and Disconnect against the
// simulated device, on the serial route (events, coloured text and modem lines flowing) and on
// the TCP route (the password typed into the progress window each time). Prints the program's
// own memory, descriptors and threads, and the web engine's processes apart, at the start,
// after a warm-up and after the N cycles, with the growth per cycle. Checks only that every
// cycle really connected and disconnected, never a figure. Run with xvfb-run -a (or
// offscreen); TALLYBOX_CYCLES sets N (200), TALLYBOX_WARMUP the cycles before the baseline
// (10), TALLYBOX_HOLD_MS how long each connection stays up once logged in (1000).
// With an accessibility client attached, as a screen reader attaches: run it inside
// dbus-run-session with /usr/libexec/at-spi-bus-launcher started,
// QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 and --force-renderer-accessibility among
// QTWEBENGINE_CHROMIUM_FLAGS.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/MainWindowFixture.h"
#include "uProcessFigures.h"

namespace {

int EnvNumber(const char* Name, int Default) {
  const char* text = std::getenv(Name);
  return text && *text ? std::atoi(text) : Default;
}

struct TSample {
  TProcessFigures Own, Engine;
  long HeapKiB = 0;  // the program's live allocations (what it keeps), apart from freed space
  long HeldKiB = 0;  // what the heap holds from the system: live, freed and not yet handed back
};

TSample Sample() {
  // Whatever the last cycle left queued (a closing progress window, a page load) settles first.
  Pump(std::chrono::milliseconds(1500));
  const struct mallinfo2 heap = mallinfo2();
  return {ReadProcessFigures(getpid()), SumBelow(getpid(), "QtWebEngine"),
          long(heap.uordblks / 1024), long((heap.arena + heap.hblkhd) / 1024)};
}

double MiB(long KiB) {
  return KiB / 1024.0;
}

// Anonymous memory, not private: the engine's library pages count as private to whichever
// process alone touched them last, so the private figures swing by tens of MiB between samples.
void PrintSample(const std::string& When, const TSample& S) {
  std::printf(
      "  %-18s own RSS %6.1f MiB (anonymous %6.1f), heap in use %5.1f (held %5.1f), fds %3ld, "
      "threads %3ld | web engine RSS %6.1f MiB (anonymous %6.1f)\n",
      When.c_str(), MiB(S.Own.RssKiB), MiB(S.Own.AnonKiB), MiB(S.HeapKiB), MiB(S.HeldKiB),
      S.Own.Descriptors, S.Own.Threads, MiB(S.Engine.RssKiB), MiB(S.Engine.AnonKiB));
  std::fflush(stdout);
}

void PrintGrowth(const TSample& From, const TSample& To, int Cycles) {
  const auto line = [Cycles](const char* What, long FromKiB, long ToKiB) {
    std::printf("  %-30s %+7.2f MiB over %d cycles, %+7.1f KiB per cycle\n", What,
                MiB(ToKiB - FromKiB), Cycles, double(ToKiB - FromKiB) / Cycles);
  };
  line("own RSS", From.Own.RssKiB, To.Own.RssKiB);
  line("own heap in use", From.HeapKiB, To.HeapKiB);
  line("own heap held", From.HeldKiB, To.HeldKiB);
  line("web engine anonymous", From.Engine.AnonKiB, To.Engine.AnonKiB);
  std::printf("  descriptors %ld -> %ld, threads %ld -> %ld\n", From.Own.Descriptors,
              To.Own.Descriptors, From.Own.Threads, To.Own.Threads);
  std::fflush(stdout);
}

class ReconnectFigures : public MainWindowTest {
 protected:
  // The first connection goes through the wizard; every later one is Reconnect (Ctrl+R).
  // Login is what each route needs between the two and logged in.
  bool Cycle(bool First, const std::function<void()>& Queue, const std::function<void()>& Login) {
    if (First) {
      Queue();
      Trigger(&Main(), "actConnect");
    } else {
      Trigger(&Main(), "actReconnect");
    }
    Login();
    if (!WaitUntil([&] { return Action("actStatus")->isEnabled(); })) return false;
    Pump(std::chrono::milliseconds(EnvNumber("TALLYBOX_HOLD_MS", 1000)));
    Trigger(&Main(), "actDisconnect");
    return WaitUntil(
        [&] { return Status() == "Not connected" && Action("actReconnect")->isEnabled(); });
  }

  void Run(const char* Route, const std::function<void()>& Queue,
           const std::function<void()>& Login) {
    const int cycles = EnvNumber("TALLYBOX_CYCLES", 200);
    const int warmup = EnvNumber("TALLYBOX_WARMUP", 10);
    StartProgram();
    std::printf("  %s route, %d cycles after %d to warm up\n", Route, cycles, warmup);
    const TSample start = Sample();
    PrintSample("at the start", start);
    int done = 0;
    for (; done < warmup; ++done) ASSERT_TRUE(Cycle(done == 0, Queue, Login)) << "cycle " << done;
    const TSample base = Sample();
    PrintSample("after the warm-up", base);
    for (int i = 1; i <= cycles; ++i, ++done) {
      ASSERT_TRUE(Cycle(done == 0, Queue, Login)) << "cycle " << done;
      if (i % 50 == 0 && i < cycles) PrintSample("after " + std::to_string(i), Sample());
    }
    const TSample end = Sample();
    PrintSample("after " + std::to_string(cycles), end);
    PrintGrowth(base, end, cycles);
  }
};

TEST_F(ReconnectFigures, SerialRoute) {
  StartSim({"--serial", "--link", Config.LinkPath(6), "--events", "500", "--text", "700", "--modem",
            "600"});
  Run(
      "serial", [] { QueueSerialWizard(6); }, [] {});
}

TEST_F(ReconnectFigures, TcpRoute) {
  const std::string address = "127.0.61.4";
  StartTcpSim(address, {"--events", "500", "--text", "700"});
  Run(
      "TCP", [&] { QueueTcpWizard(address); }, [this] { AnswerPassword(); });
}

}  // namespace
