// Start-up figures of the real program, taken from outside: the time from starting the
// process until its home page is on the screen, and the memory of the program and of the web
// engine's processes once it is. Every run starts the program afresh (after one unreported
// warm-up run) on a private virtual X server whose frame buffer this program reads straight
// from memory, so nothing in the program is timed or changed for it. Prints the figures;
// checks only that each run really showed the page. Beside the program, in turns, the floor
// (startup_floor): a bare window of the same toolkit with one web view showing the same home
// page from the same scheme, so the ratio of one run says what the program adds to what the
// engine costs on this machine. Usage: bench_StartUp [runs of each, default 10] [/path/program ...]
// (other builds of the program, beside their pages, each taking its turn with the floor)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "uProcessFigures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

pid_t Spawn(const std::vector<std::string>& Args, const std::vector<std::string>& Env, int StdoutFd,
            bool OwnGroup) {
  std::vector<char*> argv, envp;
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : Env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (StdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, StdoutFd, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (OwnGroup) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t Pid, bool Group) {
  if (Pid <= 0) return;
  ::kill(Group ? -Pid : Pid, SIGTERM);
  int status = 0;
  ::waitpid(Pid, &status, 0);
  // The engine's helpers leave with their parent; whatever lingers goes after 5 s.
  for (int i = 0; Group && i < 100 && ::kill(-Pid, 0) == 0; ++i) std::this_thread::sleep_for(50ms);
  if (Group) ::kill(-Pid, SIGKILL);
}

// A virtual X server that keeps its frame buffer in a file, mapped here to be read directly.
class TScreen {
 public:
  explicit TScreen(const fs::path& Folder) : FFile(Folder / "Xvfb_screen0") {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    FServer = Spawn({"/usr/bin/Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen",
                     "0", "1280x1024x24", "-fbdir", Folder.string()},
                    {}, pipeFds[1], false);
    ::close(pipeFds[1]);
    std::string number;
    for (char c; ::read(pipeFds[0], &c, 1) == 1 && c != '\n';) number += c;
    ::close(pipeFds[0]);
    if (number.empty() || !Map()) return;
    Display = ":" + number;
  }
  ~TScreen() {
    if (FBytes) ::munmap(FBytes, FSize);
    Stop(FServer, false);
  }

  // What the screen shows, one pixel in 16 looked at: the window is up once a large part of
  // the cleared screen is drawn on, the home page once its background and its dark blue title
  // bar cover large parts of it.
  struct TSeen {
    bool Window = false, HomePage = false;
  };
  TSeen Look() const {
    long drawn = 0, background = 0, titleBar = 0;
    for (uint64_t y = 0; y < FHeight; y += 4) {
      const unsigned char* line = FBytes + FStart + y * FPerLine;
      for (uint64_t x = 0; x < FWidth; x += 4) {
        const unsigned char b = line[x * 4], g = line[x * 4 + 1], r = line[x * 4 + 2];
        drawn += (r | g | b) != 0;
        background += r == 0xf3 && g == 0xf6 && b == 0xfa;
        titleBar += r >= 0x16 && r <= 0x23 && g >= 0x30 && g <= 0x49 && b >= 0x56 && b <= 0x7d;
      }
    }
    return {drawn >= 100000 / 16, background >= 10000 / 16 && titleBar >= 5000 / 16};
  }
  void Clear() const { std::fill(FBytes + FStart, FBytes + FStart + FPerLine * FHeight, 0); }

  std::string Display;

 private:
  static uint32_t Field(const unsigned char* Header, int Index) {
    const unsigned char* p = Header + Index * 4;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  }
  bool Map() {
    const int fd = ::open(FFile.c_str(), O_RDWR);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size < 100) return false;
    FSize = size_t(info.st_size);
    void* bytes = ::mmap(nullptr, FSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (bytes == MAP_FAILED) return false;
    FBytes = static_cast<unsigned char*>(bytes);
    // XWD header: size, width, height, bits per pixel, bytes per line, colour count.
    FWidth = Field(FBytes, 4);
    FHeight = Field(FBytes, 5);
    FPerLine = Field(FBytes, 12);
    FStart = Field(FBytes, 0) + uint64_t(Field(FBytes, 19)) * 12;
    return Field(FBytes, 11) == 32 && FStart + FPerLine * FHeight <= FSize;
  }

  fs::path FFile;
  pid_t FServer = -1;
  unsigned char* FBytes = nullptr;
  size_t FSize = 0;
  uint64_t FWidth = 0, FHeight = 0, FPerLine = 0, FStart = 0;
};

// Resident, proportional and private set sizes in KiB. The resident size counts shared
// libraries in full in every process. The proportional size splits each shared page among
// the processes using it, so it adds up, but falls when other programs on the machine use the
// same libraries; the private pages (what goes when the process does) are its lower bound.
struct TMemory {
  long RssKiB = 0, PssKiB = 0, PrivateKiB = 0;
  TMemory& operator+=(const TMemory& Other) {
    RssKiB += Other.RssKiB;
    PssKiB += Other.PssKiB;
    PrivateKiB += Other.PrivateKiB;
    return *this;
  }
};

TMemory ReadMemory(pid_t Pid) {
  std::ifstream rollup("/proc/" + std::to_string(Pid) + "/smaps_rollup");
  TMemory memory;
  for (std::string line; std::getline(rollup, line);) {
    if (line.rfind("Rss:", 0) == 0) memory.RssKiB = std::stol(line.substr(4));
    if (line.rfind("Pss:", 0) == 0) memory.PssKiB = std::stol(line.substr(4));
    if (line.rfind("Private_", 0) == 0)
      memory.PrivateKiB += std::stol(line.substr(line.find(':') + 1));
  }
  return memory;
}

// The program's own memory and the sum over the web engine's processes below it.
std::pair<TMemory, TMemory> ProgramMemory(pid_t Program) {
  TMemory engine;
  for (pid_t pid : ProcessesBelow(Program, "QtWebEngine")) engine += ReadMemory(pid);
  return {ReadMemory(Program), engine};
}

struct TRun {
  double WindowMs = -1, Ms = -1;  // -1: the window or the page never came
  TMemory Own, Engine;
};

TRun StartOnce(const TScreen& Screen, const std::vector<std::string>& Program,
               const fs::path& Folder) {
  fs::remove_all(Folder);
  fs::create_directories(Folder / "runtime");
  fs::permissions(Folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  std::vector<std::string> env = {"DISPLAY=" + Screen.Display,
                                  "QT_QPA_PLATFORM=xcb",
                                  "LANG=C.UTF-8",
                                  "XDG_RUNTIME_DIR=" + (Folder / "runtime").string(),
                                  "XDG_CONFIG_HOME=" + (Folder / "config").string(),
                                  "XDG_DATA_HOME=" + (Folder / "data").string()};
  for (const char* keep : {"PATH", "HOME", "TMPDIR", "QTWEBENGINE_CHROMIUM_FLAGS"})
    if (const char* value = std::getenv(keep)) env.push_back(std::string(keep) + "=" + value);
  Screen.Clear();
  TRun run;
  const auto start = TClock::now();
  const pid_t program = Spawn(Program, env, -1, true);
  if (program <= 0) return run;
  while (TClock::now() - start < 30s) {
    const TScreen::TSeen seen = Screen.Look();
    const double ms = std::chrono::duration<double, std::milli>(TClock::now() - start).count();
    if (seen.Window && run.WindowMs < 0) run.WindowMs = ms;
    if (seen.HomePage) {
      run.Ms = ms;
      break;
    }
    std::this_thread::sleep_for(2ms);
  }
  // The memory once the page has settled.
  std::this_thread::sleep_for(1s);
  std::tie(run.Own, run.Engine) = ProgramMemory(program);
  Stop(program, true);
  return run;
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  const size_t n = Values.size();
  return n == 0 ? 0 : n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

double MiB(long KiB) {
  return KiB / 1024.0;
}

// The runs' figures, one row each and a row of medians.
struct TFigures {
  std::vector<double> WindowMs, PageMs, Own, Engine, Total, Pss, Private;

  const char* Name;

  void Add(const TRun& Run) {
    std::printf("  %-7s run %2zu: %s\n", Name, PageMs.size() + 1, Row(Run).c_str());
    WindowMs.push_back(Run.WindowMs);
    PageMs.push_back(Run.Ms);
    Own.push_back(MiB(Run.Own.RssKiB));
    Engine.push_back(MiB(Run.Engine.RssKiB));
    Total.push_back(MiB(Run.Own.RssKiB + Run.Engine.RssKiB));
    Pss.push_back(MiB(Run.Own.PssKiB + Run.Engine.PssKiB));
    Private.push_back(MiB(Run.Own.PrivateKiB + Run.Engine.PrivateKiB));
  }
  static std::string Row(const TRun& Run) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "window %7.1f ms, home page %7.1f ms | RSS own %6.1f + engine %6.1f MiB | "
                  "total PSS %6.1f, private %6.1f MiB",
                  Run.WindowMs, Run.Ms, MiB(Run.Own.RssKiB), MiB(Run.Engine.RssKiB),
                  MiB(Run.Own.PssKiB + Run.Engine.PssKiB),
                  MiB(Run.Own.PrivateKiB + Run.Engine.PrivateKiB));
    return text;
  }
  void PrintMedians() const {
    std::printf(
        "  %-7s median: window %.1f ms, home page %.1f ms (best %.1f, worst %.1f) | RSS own "
        "%.1f + engine %.1f = %.1f MiB | total PSS %.1f, private %.1f MiB\n",
        Name, Median(WindowMs), Median(PageMs), *std::min_element(PageMs.begin(), PageMs.end()),
        *std::max_element(PageMs.begin(), PageMs.end()), Median(Own), Median(Engine), Median(Total),
        Median(Pss), Median(Private));
  }
};

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// One round: the floor and every program once, in an order that turns with the round, so a
// busy spell on the machine weighs on each alike.
void RunRound(const TScreen& Screen, const std::vector<std::vector<std::string>>& Commands,
              std::vector<TFigures>& Figures, int Round, const fs::path& Folder, int& Failures) {
  const size_t n = Commands.size();
  for (size_t k = 0; k < n; ++k) {
    const size_t which = (k + size_t(Round)) % n;
    const TRun run = StartOnce(Screen, Commands[which], Folder);
    if (run.Ms >= 0)
      Figures[which].Add(run);
    else
      std::printf("  %-7s failed: %s\n", Figures[which].Name, TFigures::Row(run).c_str()),
          ++Failures;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Other arguments (scripts/bench passes its own to every benchmark) leave the default.
  char* end = nullptr;
  const long asked = argc > 1 ? std::strtol(argv[1], &end, 10) : 0;
  const int runs = asked > 0 && end && *end == '\0' ? int(asked) : 10;
  // Other builds of the program (beside its pages) may be measured instead of this one.
  std::vector<std::string> programs;
  for (int i = 2; i < argc; ++i)
    if (argv[i][0] == '/') programs.push_back(argv[i]);
  if (programs.empty()) programs.push_back(TALLYBOX_PROGRAM);
  const fs::path folder =
      fs::temp_directory_path() / ("tallybox-startup-" + std::to_string(getpid()));
  fs::create_directories(folder / "screen");
  int failures = 0;
  {
    TScreen screen(folder / "screen");
    if (screen.Display.empty()) {
      std::fprintf(stderr, "bench_StartUp: the virtual X server did not start\n");
      fs::remove_all(folder);
      return 1;
    }
    std::printf(
        "Start-up, process start to home page on screen (%d runs of each after one warm-up);\n"
        "the floor is a bare window with one web view loading the same page\n",
        runs);
    std::vector<std::vector<std::string>> commands = {{TALLYBOX_FLOOR, TALLYBOX_PAGE_FOLDER}};
    std::vector<std::string> names = {"floor"};
    for (size_t i = 0; i < programs.size(); ++i) {
      std::printf("  program %zu: %s\n", i + 1, programs[i].c_str());
      commands.push_back({programs[i]});
      names.push_back("program" + (programs.size() > 1 ? std::to_string(i + 1) : std::string()));
    }
    std::printf("  load average at start: %s\n", LoadAverage().c_str());
    std::vector<TFigures> figures;
    figures.reserve(names.size());
    for (const std::string& name : names) figures.push_back(TFigures{.Name = name.c_str()});
    for (const auto& command : commands) StartOnce(screen, command, folder / "run");
    for (int i = 0; i < runs; ++i) RunRound(screen, commands, figures, i, folder / "run", failures);
    for (const TFigures& f : figures)
      if (!f.PageMs.empty()) f.PrintMedians();
    const TFigures& floor = figures[0];
    for (size_t i = 1; i < figures.size() && !floor.PageMs.empty(); ++i)
      if (!figures[i].PageMs.empty())
        std::printf(
            "  %s against the floor: window %.2fx, home page %.2fx, total PSS %+.1f MiB, "
            "own RSS %+.1f MiB\n",
            figures[i].Name, Median(figures[i].WindowMs) / Median(floor.WindowMs),
            Median(figures[i].PageMs) / Median(floor.PageMs),
            Median(figures[i].Pss) - Median(floor.Pss), Median(figures[i].Own) - Median(floor.Own));
    std::printf("  load average at end:   %s\n", LoadAverage().c_str());
  }
  fs::remove_all(folder);
  if (failures)
    std::fprintf(stderr, "bench_StartUp: %d runs never showed the home page\n", failures);
  return failures ? 1 : 0;
}
