// The command-line options of tallybox-sim: the routes, the listen address, the password, the
// page version, a register preset to start from, the timers, the write faults and the log.
#pragma once

#include "sim/uSimSession.h"

#include <string>
#include <vector>

struct TSimOptions {
  std::string Address = "127.0.0.1";
  bool AllowExternal = false;  // listening outside 127.0.0.0/8 must be asked for
  bool Tcp = false;            // neither route given: TCP
  bool Serial = false;
  std::string Link;  // a symbolic link made to the serial terminal
  std::string PageVersion = "1.00";
  std::string RegisterFile;
  std::size_t ExtraRegisters = 0;  // plain number registers r1000.. after the standard set
  std::string LogFile;
  TSimSessionConfig Session;
  bool Help = false;
  bool Version = false;
};

inline constexpr unsigned short kSimPort = 6024;
inline constexpr std::size_t kSimRandomSplitBytes = 64;
inline constexpr unsigned long long kMaxBaud = 4'000'000;

// Fills Options from the arguments (argv[0] excluded). Returns an empty text on success,
// otherwise what is wrong with them.
std::string SimParseOptions(const std::vector<std::string>& Args, TSimOptions& Options);

std::string SimUsage();
