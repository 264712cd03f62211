// The POSIX terminal under tallybox-cli: signals, the locale's code set, the password prompt
// with the terminal's echo off.
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/uCliConsole.h"
#include "cli/uCliExit.h"
#include "cli/uCliPassword.h"

const char* const kCliTerminal = "/dev/tty";

namespace {

std::atomic<bool>* InterruptedFlag = nullptr;
std::atomic<int>* SignalledNumber = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// The prompt's terminal and its settings before echo went off, for RestoreTerminalAtExit.
volatile sig_atomic_t PromptFd = -1;
termios PromptSaved{};

// The first Ctrl+C or kill ends the session cleanly; a second one ends the program at once,
// with the terminal as it was.
void OnSignal(int Number) {
  if (SignalledNumber->exchange(Number) != 0) {
    RestoreTerminalAtExit();
    ::_exit(128 + Number);
  }
  *InterruptedFlag = true;
}

// Echo is off while the line is typed and restored whatever happens.
class TEchoOff {
 public:
  explicit TEchoOff(int Fd) : FFd(Fd) {
    termios saved{};
    if (::tcgetattr(Fd, &saved) != 0) return;
    PromptSaved = saved;
    PromptFd = Fd;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ICANON | ISIG;
    ::tcsetattr(Fd, TCSAFLUSH, &quiet);
  }
  ~TEchoOff() {
    if (PromptFd < 0) return;
    ::tcsetattr(FFd, TCSAFLUSH, &PromptSaved);
    PromptFd = -1;
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  int FFd;
};

void Say(int Fd, const char* Text) {
  while (::write(Fd, Text, std::strlen(Text)) < 0 && errno == EINTR) {
  }
}

// Waits in short slices, so a Ctrl+C that came before or during the wait ends it at once.
std::string ReadLine(int Fd, const std::atomic<bool>& Interrupted) {
  std::string line;
  while (!Interrupted) {
    pollfd ready{Fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) continue;
    char c;
    const ssize_t n = ::read(Fd, &c, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0 || c == '\n') break;
    line += c;
  }
  return line;
}

std::string FromTerminal(int Fd, const std::atomic<bool>& Interrupted) {
  std::string line;
  Say(Fd, "Password: ");
  {
    TEchoOff echoOff(Fd);
    line = ReadLine(Fd, Interrupted);
  }
  Say(Fd, "\n");
  if (Interrupted) throw TCliFailure(kExitInterrupted, "");
  if (line.ends_with("\r")) line.pop_back();
  return line;
}

// The terminal to ask on, or -1 when there is none.
int OpenTerminal(const std::string& Name) {
  const int fd = ::open(Name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0 && ::isatty(fd)) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

}  // namespace

// No SA_RESTART, so waits give up at once. A reader that goes away gives write errors, not a
// signal that would end the program before the session is closed.
void PrepareConsole(std::atomic<bool>& Interrupted, std::atomic<int>& Signalled) {
  InterruptedFlag = &Interrupted;
  SignalledNumber = &Signalled;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool TerminalIsUtf8() {
  const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (!locale) return false;
  const bool utf8 = std::strcmp(::nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
  ::freelocale(locale);
  return utf8;
}

void WaitWritable(int Fd) {
  pollfd room{Fd, POLLOUT, 0};
  ::poll(&room, 1, -1);
}

bool AskPasswordOnTerminal(const std::string& Terminal, const std::atomic<bool>& Interrupted,
                           std::string& Password) {
  const int terminal = OpenTerminal(Terminal);
  if (terminal < 0) return false;
  try {
    Password = FromTerminal(terminal, Interrupted);
  } catch (...) {
    ::close(terminal);
    throw;
  }
  ::close(terminal);
  return true;
}

bool AskPasswordOnStandardInput(const std::atomic<bool>& Interrupted, std::string& Password) {
  if (!::isatty(STDIN_FILENO)) return false;
  Password = FromTerminal(STDIN_FILENO, Interrupted);
  return true;
}

void RestoreTerminalAtExit() {
  const int fd = PromptFd;
  if (fd >= 0) ::tcsetattr(fd, TCSANOW, &PromptSaved);
}
