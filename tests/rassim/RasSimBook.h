// The phone book of the simulated dial-up service: a text file, one entry a line,
//   Name|Phone|User|Password|Server|Script
// with '#' starting a comment line. Server is the address the PPP projection reports (empty:
// no projection). Script is what a dial of the entry does, tokens apart by blanks:
//   N or N!E    report state N (with error code E); an error or state 8193 ends the dial
//   sleep:MS    pause; hold: report nothing more; refuse!E first: the dial is refused with E
//   hangup:MS   how long after the hang-up the handle turns invalid (default 40)
// An empty script dials the usual states up to connected. Used by the service's exports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TSimEntry {
  std::string Name, Phone, User, Password, Server, Script;
};

struct TSimStep {
  enum class TKind { State, Sleep, Hold, Refuse, HangUpDelay } Kind = TKind::State;
  int32_t State = 0;
  uint32_t Error = 0;
  uint32_t Ms = 0;
};

// The book's file: $TALLYBOX_RASSIM_BOOK, else rassim-phonebook.txt beside this library.
std::string SimBookPath();
// The entries of the book, in file order; none when the file cannot be read.
std::vector<TSimEntry> SimReadBook();
// The entry named exactly Name; false when there is none.
bool SimFindEntry(const std::string& Name, TSimEntry& Entry);
// Adds an entry at the end of the book; false when the file cannot be written.
bool SimAppendEntry(const TSimEntry& Entry);
std::vector<TSimStep> SimParseScript(const std::string& Script);
// Adds one line to $TALLYBOX_RASSIM_LOG, when it is set.
void SimLog(const std::string& Line);
