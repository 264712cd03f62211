// The simulated Tallybox itself, without any I/O: its information items, its register set, its
// page version, and the text it answers each command with. Sessions of tallybox-sim feed it
// received lines and send what it returns; register changes leave event texts behind.
#pragma once

#include "sim/uSimRegisters.h"

#include <cstdint>
#include <string>
#include <vector>

struct TSimCommandResult {
  std::string Reply;        // the text before the prompt
  bool EndSession = false;  // "bye": after the reply the session is over
  bool ModemLine = false;   // "M:...~": Modem holds the bytes sent to the modem
  std::string Modem;
};

class TSimDevice {
 public:
  // StartMs is the clock reading at power-on; uptime counts from it. ExtraRegisters adds plain
  // number registers after the standard set (see TSimRegisterSet).
  TSimDevice(std::string PageVersion, uint64_t StartMs, std::size_t ExtraRegisters = 0);

  const std::string& PageVersion() const { return FPageVersion; }
  const std::string& Unit() const { return FUnit; }
  TSimRegisterSet& Registers() { return FRegisters; }
  const TSimRegisterSet& Registers() const { return FRegisters; }

  // Answers one received line (without its line end). Serial tells whether it came over the
  // debug port, where the modem line is available.
  TSimCommandResult Execute(const std::string& Line, bool Serial, uint64_t NowMs);

  std::string VersionReply() const;
  std::string InfoReply(uint64_t NowMs) const;
  std::string DiagReply(uint64_t NowMs) const;
  std::string HelpReply() const;
  static std::string EveryByte();
  // Shown after a TCP login: clears the screen and uses every colour the terminal knows.
  std::string Banner() const;

  // Unsolicited traffic, a different one each call.
  std::string NextEventText();
  std::string NextTerminalText();
  std::string NextModemTrace();

  // Event texts left by register changes since the last call.
  std::vector<std::string> TakeEvents();

 private:
  std::string SetRegisterLine(const std::string& Line);
  std::string Uptime(uint64_t NowMs) const;

  std::string FPageVersion;
  std::string FUnit = "TB-204871";
  uint64_t FStartMs;
  TSimRegisterSet FRegisters;
  uint64_t FPulses = 12840;
  unsigned FEventTurn = 0;
  unsigned FTextTurn = 0;
  unsigned FModemTurn = 0;
  unsigned FChanges = 0;
  std::vector<std::string> FEvents;
};
