// Where tallybox-cli gets the device password from: a file, the environment, or the
// terminal without echo. Never from the command line, where the process list would show it.
#pragma once

#include <atomic>
#include <ostream>
#include <string>

struct TPasswordSources {
  std::string File;         // --password-file, "" when not given
  const char* Environment;  // the value of TALLYBOX_PASSWORD, nullptr when unset
  int TerminalFd;           // standard input; asked there only when it is a terminal
};

// The password: the file's content with one final line end (LF or CR LF) removed, else the
// environment value, else a line typed on the terminal with echo off (the prompt goes to
// Prompt). Raises TCliFailure: kExitUsage when none of them gives one, the file cannot be
// read, or the password holds CR or LF; kExitInterrupted when Interrupted is set while
// typing (echo is restored first).
std::string ResolvePassword(const TPasswordSources& Sources, std::ostream& Prompt,
                            const std::atomic<bool>& Interrupted);
