// The device list of a fleet run: one device a line ("host NAME", "com N", "port PATH|URL" or
// "dial ENTRY"),
// each optionally followed by "password-file=PATH"; "#" starts a comment. The fleet run reads
// it whole before anything connects, so a bad line costs no connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/uCliOptions.h"

struct TFleetDevice {
  int32_t Line = 0;  // in the list, from 1
  // host NAME, com N, port PATH or port URL (a terminal server), dial ENTRY (may hold spaces)
  TRoute Route = NoRoute();
  std::string PasswordFile;  // "" for the run's own password source

  // How the list names it: "host NAME", "com N", "port PATH", "dial ENTRY".
  std::string Name() const;
  // A file name for what is saved from it: NAME, COMN or ENTRY, with "/", "\" and control
  // bytes as "_" and a leading "." as "_", so it stays one file inside the folder. On Windows
  // also a plain file there: ":" and the other characters Windows refuses in names as "_",
  // and a device name (CON, NUL, COM1, LPT1, ... with any extension) with "_" after its first
  // part ("COM1_", "nul_.example").
  std::string FileStem() const;
};

// The devices Text lists, in order. Raises TCliFailure kExitUsage "<Source>, line N: ..." at
// the first bad line: a control byte (NUL, ESC, ...; a tab is a blank), an unknown kind, a
// missing or extra name, a port outside 1-255, an empty password-file=, or a device already
// listed (names compared without ASCII case).
std::vector<TFleetDevice> ParseDeviceList(const std::string& Text, const std::string& Source);
// ParseDeviceList of the file's content; a relative password-file= PATH is taken from the
// list's own folder, so a list and its password files can be moved together. Raises
// TCliFailure kExitUsage when the file cannot be read.
std::vector<TFleetDevice> ReadDeviceList(const std::string& FileName);
