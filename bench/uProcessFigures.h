// What a benchmark reads about running processes from /proc: the processes below one (the web
// engine's helpers below the program), and one process's memory, open descriptors and threads.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The processes below Root (children, grandchildren, ...) whose names start with NamePrefix.
std::vector<pid_t> ProcessesBelow(pid_t Root, const std::string& NamePrefix);

// One process's figures; 0 where /proc could not be read. The resident size counts shared
// libraries in full in every process; the proportional size splits each shared page among the
// processes using it, so it adds up over a process tree, but moves when other programs on the
// machine map the same libraries; the private pages (what goes when the process does) do not.
struct TProcessFigures {
  long RssKiB = 0;   // VmRSS
  long AnonKiB = 0;  // RssAnon: heap and other private memory, apart from files and shared memory
  long PeakKiB = 0;  // VmHWM
  long PssKiB = 0;
  long PrivateKiB = 0;
  long Threads = 0;
  long Descriptors = 0;
  TProcessFigures& operator+=(const TProcessFigures& Other);
};

TProcessFigures ReadProcessFigures(pid_t Pid);
// The sum over the processes below Root named with NamePrefix.
TProcessFigures SumBelow(pid_t Root, const std::string& NamePrefix);
