// Telnet framing for a serial line carried over TCP by a terminal server: the data with the
// byte 0xFF (IAC) doubled on the way out, and on the way in the data parted from the option
// negotiation and the subnegotiations the server sends between data bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Telnet {
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;
}  // namespace Telnet

// The data as the server must receive it: every 0xFF doubled.
std::string TelnetEscape(const void* Data, int32_t Count);
// IAC Verb Option, or the subnegotiation IAC SB Option Data IAC SE with the data escaped.
std::string TelnetCommand(uint8_t Verb, uint8_t Option);
std::string TelnetSubnegotiation(uint8_t Option, const std::string& Data);

struct TTelnetCommand {
  uint8_t Verb = 0;  // WILL, WONT, DO, DONT, SB, or another command byte (NOP, GA, ...)
  uint8_t Option = 0;
  std::string Data;  // of a subnegotiation, unescaped
};

class TTelnetDecoder {
 public:
  // Appends the data bytes of Bytes to Data and every command completed to Commands. A
  // command or a doubled 0xFF split between two calls is completed by the later one. A
  // subnegotiation longer than MaxSubnegotiation is cut there (the rest is dropped).
  void Feed(const char* Bytes, int32_t Count, std::string& Data,
            std::vector<TTelnetCommand>& Commands);

  static constexpr size_t MaxSubnegotiation = 256;

 private:
  enum class TState { Data, Iac, Verb, SbOption, SbData, SbIac };
  TState FState = TState::Data;
  TTelnetCommand FCommand;
};
