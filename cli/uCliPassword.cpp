#include "cli/uCliPassword.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/uCliExit.h"
#include "rtl/FileBytes.h"
#include "session/uDialogue.h"

namespace {

// The prompt's terminal and its settings before echo went off, for RestoreTerminalAtExit.
volatile sig_atomic_t PromptFd = -1;
termios PromptSaved{};

std::string ReadStandardInput(const std::atomic<bool>& Interrupted) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR && Interrupted) throw TCliFailure(kExitInterrupted, "");
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw TCliFailure(kExitUsage, "cannot read the password from standard input");
    if (n == 0) return text;
    text.append(buffer, size_t(n));
  }
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

// Standard input that is a terminal is typed at: asked as the terminal prompt asks, echo off.
std::string FromFile(const std::string& FileName, const std::atomic<bool>& Interrupted) {
  if (FileName == "-" && ::isatty(STDIN_FILENO)) return FromTerminal(STDIN_FILENO, Interrupted);
  std::string text;
  try {
    text = FileName == "-" ? ReadStandardInput(Interrupted) : ReadFileBytes(FileName);
  } catch (const std::exception& e) {
    throw TCliFailure(kExitUsage, e.what());
  }
  if (text.ends_with("\n")) text.pop_back();
  if (text.ends_with("\r")) text.pop_back();
  return text;
}

}  // namespace

std::string ResolvePassword(const TPasswordSources& Sources, const std::atomic<bool>& Interrupted) {
  std::string password;
  int terminal = -1;
  if (!Sources.File.empty()) {
    password = FromFile(Sources.File, Interrupted);
  } else if (Sources.Environment) {
    password = Sources.Environment;
  } else if ((terminal = OpenTerminal(Sources.Terminal)) >= 0) {
    try {
      password = FromTerminal(terminal, Interrupted);
    } catch (...) {
      ::close(terminal);
      throw;
    }
    ::close(terminal);
  } else {
    throw TCliFailure(kExitUsage,
                      "no password: give --password-file FILE or set TALLYBOX_PASSWORD");
  }
  if (std::string refusal = TDialogue::PasswordRefusal(password); !refusal.empty())
    throw TCliFailure(kExitUsage, refusal);
  return password;
}

void RestoreTerminalAtExit() {
  const int fd = PromptFd;
  if (fd >= 0) ::tcsetattr(fd, TCSANOW, &PromptSaved);
}
