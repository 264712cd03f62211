#include "transport/uTelnet.h"

using namespace Telnet;

std::string TelnetEscape(const void* Data, int32_t Count) {
  const auto* p = static_cast<const uint8_t*>(Data);
  std::string out;
  out.reserve(static_cast<size_t>(Count) + 8);
  for (int32_t i = 0; i < Count; ++i) {
    out.push_back(static_cast<char>(p[i]));
    if (p[i] == IAC) out.push_back(static_cast<char>(IAC));
  }
  return out;
}

std::string TelnetCommand(uint8_t Verb, uint8_t Option) {
  return {static_cast<char>(IAC), static_cast<char>(Verb), static_cast<char>(Option)};
}

std::string TelnetSubnegotiation(uint8_t Option, const std::string& Data) {
  std::string out{static_cast<char>(IAC), static_cast<char>(SB), static_cast<char>(Option)};
  out += TelnetEscape(Data.data(), static_cast<int32_t>(Data.size()));
  out += {static_cast<char>(IAC), static_cast<char>(SE)};
  return out;
}

void TTelnetDecoder::Feed(const char* Bytes, int32_t Count, std::string& Data,
                          std::vector<TTelnetCommand>& Commands) {
  for (int32_t i = 0; i < Count; ++i) {
    const auto b = static_cast<uint8_t>(Bytes[i]);
    switch (FState) {
      case TState::Data:
        if (b == IAC)
          FState = TState::Iac;
        else
          Data.push_back(static_cast<char>(b));
        break;
      case TState::Iac:
        if (b == IAC) {
          Data.push_back(static_cast<char>(b));
          FState = TState::Data;
        } else if (b == SB) {
          FCommand = {SB, 0, {}};
          FState = TState::SbOption;
        } else if (b >= WILL) {
          FCommand = {b, 0, {}};
          FState = TState::Verb;
        } else {
          Commands.push_back({b, 0, {}});
          FState = TState::Data;
        }
        break;
      case TState::Verb:
        FCommand.Option = b;
        Commands.push_back(FCommand);
        FState = TState::Data;
        break;
      case TState::SbOption:
        FCommand.Option = b;
        FState = TState::SbData;
        break;
      case TState::SbData:
        if (b == IAC)
          FState = TState::SbIac;
        else if (FCommand.Data.size() < MaxSubnegotiation)
          FCommand.Data.push_back(static_cast<char>(b));
        break;
      case TState::SbIac:
        if (b == IAC) {  // a doubled IAC is a data byte of the subnegotiation
          if (FCommand.Data.size() < MaxSubnegotiation)
            FCommand.Data.push_back(static_cast<char>(b));
          FState = TState::SbData;
          break;
        }
        // SE ends the subnegotiation; any other command breaks it off, and is then taken
        // as it would be outside one.
        Commands.push_back(FCommand);
        FState = TState::Data;
        if (b != SE) {
          FState = TState::Iac;
          --i;
        }
        break;
    }
  }
}
