#include "cli/uCliPassword.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "app/core/uDialogue.h"
#include "cli/uCliExit.h"
#include "rtl/FileBytes.h"

namespace {

std::string FromFile(const std::string& FileName) {
  std::string text;
  try {
    text = ReadFileBytes(FileName);
  } catch (const std::exception& e) {
    throw TCliFailure(kExitUsage, e.what());
  }
  if (text.ends_with("\n")) text.pop_back();
  if (text.ends_with("\r")) text.pop_back();
  return text;
}

// Echo is off while the line is typed and restored whatever happens.
class TEchoOff {
 public:
  explicit TEchoOff(int Fd) : FFd(Fd) {
    FActive = ::tcgetattr(Fd, &FSaved) == 0;
    if (!FActive) return;
    termios quiet = FSaved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ICANON;
    ::tcsetattr(Fd, TCSAFLUSH, &quiet);
  }
  ~TEchoOff() {
    if (FActive) ::tcsetattr(FFd, TCSAFLUSH, &FSaved);
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  int FFd;
  termios FSaved{};
  bool FActive = false;
};

std::string FromTerminal(int Fd, std::ostream& Prompt, const std::atomic<bool>& Interrupted) {
  Prompt << "Password: " << std::flush;
  std::string line;
  {
    TEchoOff echoOff(Fd);
    for (char c;;) {
      const ssize_t n = ::read(Fd, &c, 1);
      if (Interrupted) break;
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == '\n') break;
      line += c;
    }
  }
  Prompt << "\n" << std::flush;
  if (Interrupted) throw TCliFailure(kExitInterrupted, "");
  if (line.ends_with("\r")) line.pop_back();
  return line;
}

}  // namespace

std::string ResolvePassword(const TPasswordSources& Sources, std::ostream& Prompt,
                            const std::atomic<bool>& Interrupted) {
  std::string password;
  if (!Sources.File.empty())
    password = FromFile(Sources.File);
  else if (Sources.Environment)
    password = Sources.Environment;
  else if (::isatty(Sources.TerminalFd))
    password = FromTerminal(Sources.TerminalFd, Prompt, Interrupted);
  else
    throw TCliFailure(kExitUsage,
                      "no password: give --password-file FILE or set TALLYBOX_PASSWORD");
  if (std::string refusal = TDialogue::PasswordRefusal(password); !refusal.empty())
    throw TCliFailure(kExitUsage, refusal);
  return password;
}
