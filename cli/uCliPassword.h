// Where tallybox-cli gets the device password from: a file (or standard input), the
// environment, or the terminal without echo. Never from the command line, where the process
// list would show it.
#pragma once

#include <atomic>
#include <string>

struct TPasswordSources {
  std::string File;         // --password-file, "" when not given, "-" for standard input
  const char* Environment;  // the value of TALLYBOX_PASSWORD, nullptr when unset
  std::string Terminal;     // the terminal to ask on ("/dev/tty"); asked only if it is one
};

// The password: the file's content with one final line end (LF or CR LF) removed, else the
// environment value, else a line typed on the terminal with echo off (the prompt goes to the
// terminal too, so standard input and output stay free for files and pipes). A file "-" that
// is a terminal is typed at the same way. Raises TCliFailure: kExitUsage when none of them
// gives one, the file cannot be read, or the password holds CR or LF; kExitInterrupted as
// soon as Interrupted is set while the prompt or standard input waits (echo is restored
// first).
std::string ResolvePassword(const TPasswordSources& Sources, const std::atomic<bool>& Interrupted);

// Puts back the terminal settings the prompt changed, if it is up. Safe in a signal handler:
// a second Ctrl+C that ends the program at once calls it first.
void RestoreTerminalAtExit();
