#include "cli/uCliPassword.h"

#include <unistd.h>

#include <cerrno>

#include "cli/uCliConsole.h"
#include "cli/uCliExit.h"
#include "rtl/FileBytes.h"
#include "session/uDialogue.h"

namespace {

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

// Standard input that is a terminal is typed at: asked as the terminal prompt asks, echo off.
std::string FromFile(const std::string& FileName, const std::atomic<bool>& Interrupted) {
  std::string text;
  if (FileName == "-" && AskPasswordOnStandardInput(Interrupted, text)) return text;
  try {
    text = FileName == "-" ? ReadStandardInput(Interrupted) : ReadUserFile(FileName);
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
  if (!Sources.File.empty()) {
    password = FromFile(Sources.File, Interrupted);
  } else if (Sources.Environment) {
    password = Sources.Environment;
  } else if (!AskPasswordOnTerminal(Sources.Terminal, Interrupted, password)) {
    throw TCliFailure(kExitUsage,
                      "no password: give --password-file FILE or set TALLYBOX_PASSWORD");
  }
  if (std::string refusal = TDialogue::PasswordRefusal(password); !refusal.empty())
    throw TCliFailure(kExitUsage, refusal);
  return password;
}
