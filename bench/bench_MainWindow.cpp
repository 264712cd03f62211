// Figures for the whole main window against the simulated device over loopback TCP: how fast
// a menu action is answered while the device floods the window with 10 MiB of events and
// terminal text (with the memory this costs), and how long a registers page of 1000 number
// fields takes to come up and to be submitted. Built on the window tests' start-up and
// fixture; it prints tables and checks only that each step really happened, never a time.
// Run with xvfb-run -a (or offscreen); --gtest_filter picks one of the two figures, and
// TALLYBOX_FLOOD_SECONDS and TALLYBOX_FLOOD_BYTES how long and how large the flood is.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMainWindow>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "app/MainWindowFixture.h"
#include "app/TMemoView.h"
#include "sim/uSimText.h"
#include "uProcessFigures.h"

namespace {

using TClock = std::chrono::steady_clock;

double MsBetween(TClock::time_point From, TClock::time_point To) {
  return std::chrono::duration<double, std::milli>(To - From).count();
}

// Memory of one process from /proc/<pid>/status, in KiB (0 when it cannot be read).
struct TMemory {
  long PeakKiB = 0;  // VmHWM
  long NowKiB = 0;   // VmRSS
};

TMemory ReadMemory(const std::string& Pid) {
  std::ifstream status("/proc/" + Pid + "/status");
  TMemory memory;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) memory.PeakKiB = std::stol(line.substr(6));
    if (line.rfind("VmRSS:", 0) == 0) memory.NowKiB = std::stol(line.substr(6));
  }
  return memory;
}

// The web engine's helper processes started below this one (zygotes, renderers, GPU),
// summed; the simulator, also a child, is left out by name.
TMemory WebEngineMemory() {
  TMemory sum;
  for (pid_t pid : ProcessesBelow(getpid(), "QtWebEngine")) {
    const TMemory one = ReadMemory(std::to_string(pid));
    sum.PeakKiB += one.PeakKiB;
    sum.NowKiB += one.NowKiB;
  }
  return sum;
}

void PrintMemory(const char* When) {
  const TMemory own = ReadMemory("self"), engine = WebEngineMemory();
  std::printf(
      "  %-26s own VmHWM %7.1f MiB  VmRSS %7.1f MiB | web engine sum VmHWM %7.1f MiB  "
      "VmRSS %7.1f MiB\n",
      When, own.PeakKiB / 1024.0, own.NowKiB / 1024.0, engine.PeakKiB / 1024.0,
      engine.NowKiB / 1024.0);
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

struct TStats {
  double Median = 0, P90 = 0, Worst = 0, Best = 0;
};

TStats Summarise(std::vector<double> Values) {
  if (Values.empty()) return {};
  std::sort(Values.begin(), Values.end());
  const auto at = [&](double Q) { return Values[static_cast<size_t>(Q * (Values.size() - 1))]; };
  return {Values.size() % 2 ? at(0.5) : (at(0.5) + Values[Values.size() / 2]) / 2, at(0.9),
          Values.back(), Values.front()};
}

void PrintRow(const char* What, const std::vector<double>& Ms) {
  const TStats s = Summarise(Ms);
  std::printf("  %-42s %4zu  median %8.1f  p90 %8.1f  worst %8.1f  best %8.1f ms\n", What,
              Ms.size(), s.Median, s.P90, s.Worst, s.Best);
}

class MainWindowFigures : public MainWindowTest {
 protected:
  MainWindowFigures() { std::printf("  load average at start: %s\n", LoadAverage().c_str()); }
  ~MainWindowFigures() override {
    std::printf("  load average at end:   %s\n", LoadAverage().c_str());
  }
  QWidget* AdvancedPage() { return Find<QWidget>(&Main(), "tsAdvanced"); }
};

// ---- The flood ------------------------------------------------------------------------------

// The burst's size: TALLYBOX_FLOOD_BYTES, 10 MiB by default.
std::size_t FloodBytes() {
  const char* text = std::getenv("TALLYBOX_FLOOD_BYTES");
  return text ? std::strtoull(text, nullptr, 10) : 10u << 20;
}

// The text the events memo ends with once the whole burst has been shown.
QString LastFloodEvent() {
  const std::string flood = simtext::FloodText(FloodBytes());
  const std::string marker = "Flood event ";
  const auto at = flood.rfind(marker);
  return QString::fromStdString(flood.substr(at, flood.find('\x1b', at) - at));
}

bool MemoEndsWith(TMemoView* Memo, const QString& Text) {
  const TLineStore& lines = Memo->Lines();
  for (int64_t i = lines.Count() - 1; i >= 0 && i >= lines.Count() - 4; --i)
    if (FromDevice(lines.Text(i)).trimmed().endsWith(Text)) return true;
  return false;
}

// One menu action while the window is busy: the time from posting it until the event loop
// has run it and come back (a zero timer queued behind it fires), and the handler's own part.
struct TResponse {
  double TotalMs = 0, HandlerMs = 0;
  bool Switched = false;
};

TResponse RespondToAdvanced(QMainWindow& Window, QAction* Advanced, QWidget* AdvancedPage) {
  struct TState {
    TResponse Response;
    bool Done = false;
  };
  auto state = std::make_shared<TState>();  // outlives a wait that gives up
  const auto posted = TClock::now();
  QTimer::singleShot(0, &Window, [=, &Window] {
    const auto start = TClock::now();
    Advanced->trigger();
    state->Response.HandlerMs = MsBetween(start, TClock::now());
    state->Response.Switched = AdvancedPage->isVisible() == Advanced->isChecked();
    QTimer::singleShot(0, &Window, [=] {
      state->Response.TotalMs = MsBetween(posted, TClock::now());
      state->Done = true;
    });
  });
  WaitUntil([&] { return state->Done; }, std::chrono::minutes(5));
  return state->Response;
}

// How long to keep sampling: TALLYBOX_FLOOD_SECONDS, 60 by default; 0 waits until the last
// event of the burst is shown (at most 30 minutes).
int FloodSeconds() {
  const char* text = std::getenv("TALLYBOX_FLOOD_SECONDS");
  return text ? std::atoi(text) : 60;
}

TEST_F(MainWindowFigures, MenuActionDuringTenMegabyteFlood) {
  const std::string address = "127.0.61.1";
  // No periodic events, so the burst's last line stays the memo's last.
  StartTcpSim(address, {"--flood", std::to_string(FloodBytes()), "--text", "20", "--events", "0"});
  StartProgram();
  Pump(std::chrono::milliseconds(500));
  PrintMemory("before login");
  auto* events = Find<TMemoView>(&Main(), "memEvents");
  const QString last = LastFloodEvent();
  const std::string flood = simtext::FloodText(FloodBytes());
  const long floodLines = std::count(flood.begin(), flood.end(), '\n');
  const int seconds = FloodSeconds();
  const double limitMs = (seconds > 0 ? seconds : 1800) * 1000.0;

  const auto start = TClock::now();
  LogInAndWait(address);
  std::vector<double> total, handler;
  long peakEngineRss = 0;
  int wrongView = 0;
  bool shown = false;
  while (!(shown && seconds == 0) && MsBetween(start, TClock::now()) < limitMs) {
    const TResponse r = RespondToAdvanced(Main(), Action("actAdvanced"), AdvancedPage());
    total.push_back(r.TotalMs);
    handler.push_back(r.HandlerMs);
    wrongView += r.Switched ? 0 : 1;
    peakEngineRss = std::max(peakEngineRss, WebEngineMemory().NowKiB);
    shown = MemoEndsWith(events, last);
    QTest::qWait(100);
  }
  const double ms = MsBetween(start, TClock::now());
  const int64_t lines = events->LineCount();
  if (seconds == 0) EXPECT_TRUE(shown) << "the burst was not shown within 30 minutes";
  EXPECT_EQ(wrongView, 0);
  std::printf(
      "  flood of %zu bytes (%ld event lines): after %.0f ms from login the events memo "
      "holds %lld lines (%.0f lines/s), last flood event shown: %s\n",
      FloodBytes(), floodLines, ms, static_cast<long long>(lines), lines / (ms / 1000),
      shown ? "yes" : "no");
  PrintRow("actAdvanced posted -> loop back", total);
  PrintRow("actAdvanced handler alone", handler);
  PrintMemory("at the end");
  std::printf("  web engine VmRSS sum, highest sample:  %.1f MiB\n", peakEngineRss / 1024.0);
}

// ---- 1000 registers -------------------------------------------------------------------------

constexpr int kExtraRegisters = 1000;
constexpr int kRounds = 20;
const char* const kPageVersion = "2.00";

// A registers page with one text field per extra register, in a form the window submits.
std::string ThousandFieldPage() {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"windows-1252\">\n"
      "<title>Tallybox registers</title>\n<link rel=\"stylesheet\" href=\"../tallybox.css\">\n"
      "</head>\n<body>\n<form method=\"post\" action=\"program\">\n<table>\n";
  for (int n = 1000; n < 1000 + kExtraRegisters; ++n) {
    const std::string name = "r" + std::to_string(n);
    page += "<tr><td class=\"code\">" + name + "</td><td <!--#hl " + name + "=\"\"-->>Extra " +
            name + "</td><td><input type=\"text\" <!--#val " + name +
            "=\"\"--> size=\"7\" maxlength=\"6\"></td></tr>\n";
  }
  return page + "</table>\n<button type=\"submit\">Program</button>\n</form>\n</body>\n</html>\n";
}

// A copy of the program folder's pages with a page version folder for the large page.
void MakeProgramFolder(const std::filesystem::path& To) {
  namespace fs = std::filesystem;
  const fs::path from = TALLYBOX_PROGRAM_DIR;
  for (const char* file : {"home.htm", "wait.htm", "tallybox.css"}) fs::copy(from / file, To);
  fs::copy(from / "img", To / "img", fs::copy_options::recursive);
  const fs::path version = To / (std::string("v") + kPageVersion);
  fs::create_directories(version);
  fs::copy(from / "v1.00" / "info.htm", version / "info.htm");
  std::ofstream(version / "regs.htm", std::ios::binary) << ThousandFieldPage();
}

struct TShownTimes {
  double Committed, Loaded, Rendered;  // ms
};

// Times a page coming up in the view: when the engine committed to the expected file, when its load
// finished, and when the engine had then drawn two animation frames, so the loaded content has been
// rendered. The second is signalled through the document title, the one thing a page hands back by
// itself.
class TPageWatch : public QObject {
 public:
  explicit TPageWatch(THtmlView* View)
      : FView(View), FPage(View->findChild<QWebEngineView*>()->page()) {
    connect(View, &THtmlView::LoadFinished, this, [this](bool) { LoadFinished(); });
    connect(FPage, &QWebEnginePage::urlChanged, this, [this](const QUrl& Url) {
      if (!FCommitted && Url.path().endsWith(QString::fromStdString(FFile)))
        FCommitted = TClock::now();
    });
    connect(FPage, &QWebEnginePage::titleChanged, this, [this](const QString& Title) {
      if (!FToken.isEmpty() && Title == FToken) FRendered = TClock::now();
    });
  }
  // Call before the step that loads File.
  void Expect(const char* File) {
    FFile = File;
    FToken = QString("rendered-%1").arg(++FCount);
    FCommitted.reset();
    FLoaded.reset();
    FRendered.reset();
  }
  // Waits for the expected page; its times from Since, or nothing at the time-out.
  std::optional<TShownTimes> Shown(TClock::time_point Since) {
    if (!WaitUntil([&] { return FRendered.has_value(); }, std::chrono::seconds(5)) || !FCommitted)
      return std::nullopt;
    return TShownTimes{MsBetween(Since, *FCommitted), MsBetween(Since, *FLoaded),
                       MsBetween(Since, *FRendered)};
  }

 private:
  void LoadFinished() {
    if (FLoaded || FView->CurrentFile().find(FFile) == std::string::npos) return;
    FLoaded = TClock::now();
    FPage->runJavaScript(
        "requestAnimationFrame(() => requestAnimationFrame(() => "
        "{ document.title = '" +
        FToken + "'; }));");
  }

  THtmlView* FView;
  QWebEnginePage* FPage;
  std::string FFile;
  QString FToken;
  int FCount = 0;
  std::optional<TClock::time_point> FCommitted, FLoaded, FRendered;
};

void PrintShown(const std::string& What, const std::vector<TShownTimes>& Times) {
  const std::pair<const char*, double TShownTimes::*> parts[] = {
      {" committed", &TShownTimes::Committed},
      {" load finished", &TShownTimes::Loaded},
      {" rendered", &TShownTimes::Rendered}};
  for (const auto& [name, part] : parts) {
    std::vector<double> ms;
    for (const TShownTimes& t : Times) ms.push_back(t.*part);
    PrintRow((What + name).c_str(), ms);
  }
}

class ThousandRegisters : public MainWindowFigures {
 protected:
  QString Js(const QString& Script) { return Main().hvMain()->RunScriptForTest(Script).toString(); }
  // Registers action to the page shown; the field r1999 must show Expected.
  std::optional<TShownTimes> OpenRegisters(TPageWatch& Watch, const QString& Expected) {
    Watch.Expect("regs.htm");
    const auto start = TClock::now();
    Trigger(&Main(), "actRegisters");
    const auto shown = Watch.Shown(start);
    if (shown) {
      EXPECT_EQ(Js("String(document.querySelectorAll('input[type=text]').length)"),
                QString::number(kExtraRegisters));
      EXPECT_EQ(Js("document.querySelector('[name=r1999]').value"), Expected);
    }
    return shown;
  }
  // Submitting with r1999 set to Value, until the home page is shown and the status is back.
  std::optional<TShownTimes> Submit(TPageWatch& Watch, const QString& Value) {
    Watch.Expect("home.htm");
    const auto start = TClock::now();
    Js("document.querySelector('[name=r1999]').value = '" + Value +
       "'; document.querySelector('button[type=submit]').click(); 'ok'");
    const auto shown = Watch.Shown(start);
    EXPECT_TRUE(WaitUntil([&] { return Status() == "Connected"; }));
    return shown;
  }
};

TEST_F(ThousandRegisters, OpenAndSubmitTheRegistersPage) {
  const std::string address = "127.0.61.2";
  TTempFolder folder("tbx-program");
  MakeProgramFolder(folder.Folder);
  StartTcpSim(address, {"--page-version", kPageVersion, "--extra-registers",
                        std::to_string(kExtraRegisters), "--events", "0", "--text", "0"});
  Program = std::make_unique<TProgram>(folder.Folder.string() + "/");
  Main().show();
  LogInAndWait(address);
  ASSERT_EQ(Status(1), std::string("v") + kPageVersion);
  TPageWatch watch(Main().hvMain());

  std::vector<TShownTimes> opened, submitted;
  int lostOpen = 0, lostSubmit = 0;
  QString expected = "0";
  // Round 0 warms the engine up. A page that never comes is counted, and the next round's
  // Registers action starts over from the home page, as the user would.
  for (int round = 0; opened.size() < kRounds && round < 3 * kRounds; ++round) {
    const auto open = OpenRegisters(watch, expected);
    if (!open) {
      ++lostOpen;
      continue;
    }
    const QString value = QString::number(round + 1);
    const auto submit = Submit(watch, value);
    expected = value;
    if (!submit) ++lostSubmit;
    if (round == 0) {
      if (submit)
        std::printf("  first round (cold): registers rendered %.1f ms, submit to home %.1f ms\n",
                    open->Rendered, submit->Rendered);
      continue;
    }
    opened.push_back(*open);
    if (submit) submitted.push_back(*submit);
  }
  std::printf("  pages that never came (5 s): registers %d, home after submit %d\n", lostOpen,
              lostSubmit);
  EXPECT_EQ(opened.size(), static_cast<size_t>(kRounds));
  EXPECT_NE(DeviceLog().find("r1999=" + expected.toStdString() + "\n"), std::string::npos);
  std::printf("  %d registers (%d on the page), %d rounds after one warm-up:\n",
              static_cast<int>(Main().Params().Count()), kExtraRegisters, kRounds);
  PrintShown("actRegisters -> regs.htm", opened);
  PrintShown("submit -> home.htm", submitted);
  PrintMemory("after the rounds");
}

// ---- 100 MiB at full TCP speed, beside a plain serial terminal ------------------------------

// 100 MiB, or TALLYBOX_FULL_FLOOD_MIB: enough to fill longer memos.
std::size_t FullFloodBytes() {
  const char* text = std::getenv("TALLYBOX_FULL_FLOOD_MIB");
  return (text ? std::strtoull(text, nullptr, 10) : 100u) << 20;
}

// One MiB of what a busy device sends: coloured terminal lines with an event line and a modem
// trace line between every few, so both memos fill to their limits; the flood is this, over
// and over.
const std::string& FloodPattern() {
  static const std::string pattern = [] {
    std::string text;
    for (int n = 0; text.size() < (1u << 20); ++n) {
      text += "\x1b[36;1mchannel " + std::to_string(n % 32) + "\x1b[0m level " +
              std::to_string(n * 7919 % 100000) + " \x1b[31mover\x1b[0m\r\n";
      if (n % 4 == 0) text += simtext::EventLine("Flood event " + std::to_string(n));
      if (n % 4 == 2)
        text += simtext::ModemTraceLine("+CSQ: " + std::to_string(n % 32) + ",99\r\n");
    }
    text.resize(1u << 20);
    return text;
  }();
  return pattern;
}

// Writes the flood to Fd as fast as it is taken. False when the other end went first.
bool WriteFlood(int Fd) {
  const std::string& pattern = FloodPattern();
  for (std::size_t sent = 0; sent < FullFloodBytes(); sent += pattern.size()) {
    for (std::size_t done = 0; done < pattern.size();) {
      const ssize_t n = write(Fd, pattern.data() + done, pattern.size() - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
  }
  return true;
}

// A device for this figure alone, on Address:6024: it answers the password and "i900?" as
// the simulator does and sends the flood only when told, so the whole burst meets a window
// that has finished logging in.
class TFloodDevice {
 public:
  explicit TFloodDevice(const std::string& Address) {
    FListen = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(6024);
    inet_pton(AF_INET, Address.c_str(), &at.sin_addr);
    if (bind(FListen, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(FListen, 1) != 0)
      std::printf("  flood device: cannot listen on %s:6024\n", Address.c_str());
    FThread = std::thread([this] { Run(); });
  }
  ~TFloodDevice() {
    FStop = true;
    shutdown(FListen, SHUT_RDWR);
    if (FConnection >= 0) shutdown(FConnection, SHUT_RDWR);
    FThread.join();
    close(FListen);
    if (FConnection >= 0) close(FConnection);
  }
  void StartFlood() { FFlood = true; }

 private:
  void Run() {
    FConnection = accept(FListen, nullptr, nullptr);
    if (FConnection < 0) return;
    const std::string prompt = simtext::Prompt("TB-204871");
    Send("Tallybox\r\nPASSWORD\r\n");
    std::string input;
    bool loggedIn = false;
    while (!FStop) {
      if (FFlood.exchange(false)) WriteFlood(FConnection);
      pollfd p{FConnection, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      char buffer[256];
      const ssize_t n = read(FConnection, buffer, sizeof buffer);
      if (n <= 0) return;
      input.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t end; (end = input.find("\r\n")) != std::string::npos;) {
        const std::string line = input.substr(0, end);
        input.erase(0, end + 2);
        if (!loggedIn) {
          loggedIn = true;
          Send("Welcome\r\n" + prompt);
        } else if (line == "i900?") {
          Send("i900=1.00\r\n" + prompt);
        } else {
          Send(prompt);
        }
      }
    }
  }
  void Send(const std::string& Text) { (void)!write(FConnection, Text.data(), Text.size()); }

  int FListen = -1;
  std::atomic<int> FConnection{-1};
  std::atomic<bool> FFlood{false}, FStop{false};
  std::thread FThread;
};

double Percentile(std::vector<double> Values, double Q) {
  if (Values.empty()) return 0;
  std::sort(Values.begin(), Values.end());
  return Values[static_cast<size_t>(Q * (Values.size() - 1))];
}

// picocom on a pseudo-terminal that carries the same flood, its own terminal a pseudo-terminal
// this process reads as fast as it can: bytes per second from the first byte to the last. 0
// when picocom is not installed.
double PicocomBytesPerSecond() {
  if (access("/usr/bin/picocom", X_OK) != 0) return 0;
  int device = -1, port = -1;
  char name[128];
  if (openpty(&device, &port, name, nullptr, nullptr) != 0) return 0;
  int screen = -1;
  const pid_t child = forkpty(&screen, nullptr, nullptr, nullptr);
  if (child == 0) {
    execl("/usr/bin/picocom", "picocom", "-q", "-b", "115200", name, nullptr);
    _exit(127);
  }
  Pump(std::chrono::milliseconds(500));  // picocom has the port open and raw
  close(port);
  std::thread writer([device] { WriteFlood(device); });
  std::vector<char> buffer(1 << 16);
  std::size_t total = 0;
  TClock::time_point first{}, last{};
  for (;;) {
    pollfd p{screen, POLLIN, 0};
    if (poll(&p, 1, 3000) <= 0) break;  // quiet for 3 s: the flood is over
    const ssize_t n = read(screen, buffer.data(), buffer.size());
    if (n <= 0) break;
    if (total == 0) first = TClock::now();
    total += static_cast<std::size_t>(n);
    last = TClock::now();
    if (total >= FullFloodBytes()) break;
  }
  kill(child, SIGTERM);
  close(device);  // ends a writer still waiting
  writer.join();
  waitpid(child, nullptr, 0);
  close(screen);
  std::printf("  picocom: %zu bytes on its terminal in %.0f ms\n", total, MsBetween(first, last));
  return total / (MsBetween(first, last) / 1000.0);
}

TEST_F(MainWindowFigures, HundredMebibyteFloodAtFullTcpSpeed) {
  signal(SIGPIPE, SIG_IGN);  // the flood device writes on after the window has hung up
  const double picocom = PicocomBytesPerSecond();
  const std::string address = "127.0.61.3";
  auto device = std::make_unique<TFloodDevice>(address);
  StartProgram();
  Pump(std::chrono::milliseconds(1000));
  const long idleKiB = ReadMemory("self").NowKiB;
  PrintMemory("idle, before login");
  LogInAndWait(address);
  TDialogue& dialogue = Main().Dialogue();
  ASSERT_TRUE(WaitUntil([&] { return !dialogue.Busy(); }));  // the poll after the login
  const int64_t before = dialogue.BytesShown();
  const auto start = TClock::now();
  device->StartFlood();
  std::vector<double> total;
  auto lastGrowth = start;
  const auto taken = [&] { return dialogue.BytesShown() + dialogue.BytesDropped() - before; };
  const auto burst = static_cast<int64_t>(FullFloodBytes());
  for (int64_t last = -1; taken() < burst && MsBetween(lastGrowth, TClock::now()) < 3000;) {
    total.push_back(RespondToAdvanced(Main(), Action("actAdvanced"), AdvancedPage()).TotalMs);
    if (taken() != last) {
      last = taken();
      lastGrowth = TClock::now();
    }
    QTest::qWait(20);
  }
  const double seconds = MsBetween(start, lastGrowth) / 1000;
  const long peakKiB = ReadMemory("self").PeakKiB;
  std::printf("  flood of %lld bytes over loopback TCP after the login:\n",
              static_cast<long long>(burst));
  std::printf("  shown %lld bytes, dropped %lld, in %.2f s: %.1f MB/s reaching the views\n",
              static_cast<long long>(dialogue.BytesShown() - before),
              static_cast<long long>(dialogue.BytesDropped()), seconds,
              (dialogue.BytesShown() - before) / seconds / 1e6);
  const double views = (dialogue.BytesShown() - before) / seconds;
  if (picocom > 0)
    std::printf("  picocom, the same flood on a pseudo-terminal:  %.1f MB/s: the views at %.2fx\n",
                picocom / 1e6, views / picocom);
  else
    std::printf("  picocom not installed: no figure beside ours\n");
  std::printf(
      "  actAdvanced posted -> loop back: %zu samples, p50 %.1f ms, p99 %.1f ms, worst %.1f\n",
      total.size(), Percentile(total, 0.5), Percentile(total, 0.99), Percentile(total, 1.0));
  std::printf("  own peak %.1f MiB, idle %.1f MiB: grew %.1f MiB (web engine processes apart)\n",
              peakKiB / 1024.0, idleKiB / 1024.0, (peakKiB - idleKiB) / 1024.0);
  std::printf("  the events memo holds %lld lines, the modem memo %lld\n",
              static_cast<long long>(Find<TMemoView>(&Main(), "memEvents")->LineCount()),
              static_cast<long long>(Find<TMemoView>(&Main(), "memModem")->LineCount()));

  // Disconnecting, then closing the window, each while a flood runs.
  device->StartFlood();
  Pump(std::chrono::milliseconds(1000));
  auto closing = TClock::now();
  Trigger(&Main(), "actDisconnect");
  WaitUntil([&] { return Status() == "Not connected"; }, std::chrono::seconds(30));
  std::printf("  disconnect during a flood: %.0f ms to \"Not connected\"\n",
              MsBetween(closing, TClock::now()));
  std::fflush(stdout);
  device.reset();  // its address is free again only once it has gone
  device = std::make_unique<TFloodDevice>(address);
  LogInAndWait(address);
  device->StartFlood();
  Pump(std::chrono::milliseconds(1000));
  closing = TClock::now();
  Main().close();
  std::printf("  closing the window during a flood: %.0f ms\n", MsBetween(closing, TClock::now()));
  PrintMemory("at the end");
  Program.reset();
}

}  // namespace
