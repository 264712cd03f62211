// The arguments of tallybox-cli: one route (--host, --com, --port, --dial) or a device list
// ("fleet FILE"), the login and output options, and the command with its argument. main parses
// them first; the usage text lives here too so that the help and the usage errors print the same
// lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dispatch/uRoute.h"

// No kind and no COM port: what a command line or a fleet line starts from.
inline TRoute NoRoute() {
  TRoute none;
  none.Kind = TRouteKind::None;
  none.ComPort = 0;
  return none;
}

struct TCliOptions {
  // --host, --com, --port (a device path or a terminal server's URL), --dial with --phone and
  // --user; no kind until one is given. The dial-up password stays the one of the entry.
  TRoute Route = NoRoute();
  std::string PasswordFile;
  std::string LogFile;             // --log: the session log, appended to
  uint32_t TimeoutMs = 10000;      // connecting and logging in
  uint32_t ReplyTimeoutMs = 2000;  // each request's reply
  bool Json = false;
  bool Raw = false;  // device text to a terminal as it is
  bool Verbose = false;
  bool Help = false;
  bool Version = false;
  std::string
      Command;  // version, status, registers, program, diff, diag, send; ports needs no route
  std::string Argument;
  bool HasArgument = false;
  // fleet FILE: the devices come from FILE instead of a route option, Jobs of them at once.
  std::string FleetFile;
  // --retry: a device's run is tried this many times more when it fails on the way.
  int32_t Retries = 0;
  int32_t Jobs = 4;
  bool JobsGiven = false;
  // The fleet built the names of the preset (Argument) and the log: they are the program's own
  // files (see TOwnFolder), not names the user typed.
  bool OwnFiles = false;
  bool Progress = false;
};

// Fills Options from Args (the program name excluded). Returns "" when they make a complete
// request (or --help or --version was given), else what is wrong with them in one line.
// Options may be written "--name value" or "--name=value"; "--" ends the options. A password is
// never taken from the command line: an option for one is refused with a pointer to the ways
// that work. An unknown option is named without what follows its name (it may be a secret).
std::string ParseCliOptions(const std::vector<std::string>& Args, TCliOptions& Options);

// The usage text, ending in a line end.
std::string CliUsage();
