// Runs the real tallybox-cli as a child: its standard output and error apart, standard input
// from /dev/null unless a descriptor is given, extra environment entries, and the child's
// process id while it runs (for signals and /proc). Used by the command-line tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct TCliResult {
  int ExitCode = -1;  // -1: killed or still running at the time-out
  std::string Out, Err;
  std::chrono::milliseconds Elapsed{0};
  long PeakKiB = 0;  // the child's own peak resident memory
};

class TCliChild {
 public:
  // Env entries "NAME=value" replace the test's own; "NAME" alone removes it. StdoutFd, when
  // given, takes standard output (a terminal, /dev/full, a pipe) and Out stays empty.
  TCliChild(const std::vector<std::string>& Args, const std::vector<std::string>& Env,
            int StdinFd = -1, int StdoutFd = -1);
  ~TCliChild();
  TCliChild(const TCliChild&) = delete;
  TCliChild& operator=(const TCliChild&) = delete;

  pid_t Pid() const { return FPid; }
  void Signal(int Number);
  // Collects both outputs until the child ends; kills it at the time-out.
  TCliResult Finish(std::chrono::milliseconds Timeout = std::chrono::milliseconds(30000));

 private:
  pid_t FPid = -1;
  int FOut = -1, FErr = -1;
  std::chrono::steady_clock::time_point FStart;
};

TCliResult RunCli(const std::vector<std::string>& Args, const std::vector<std::string>& Env = {});

// The tallybox-cli the cases run: Program, unless TALLYBOX_CLI_UNDER_TEST names another
// command, words split at blanks ("/usr/bin/wine /…/tallybox-cli.exe"): the Windows build runs
// the same cases with its own program under Wine.
std::vector<std::string> CliCommand(const std::string& Program);
