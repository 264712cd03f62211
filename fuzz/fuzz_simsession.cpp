// Hostile bytes into the simulated device: a session of either route fed in random pieces
// with its timers running, and the same bytes read as a register preset file.
#include "sim/uSimDevice.h"
#include "sim/uSimPresetFile.h"
#include "sim/uSimSession.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  TSimSessionConfig config;
  config.Route = (Data[0] & 1) ? TSimRoute::Serial : TSimRoute::Tcp;
  config.Password = "pw";
  config.EventIntervalMs = 7;
  config.TextIntervalMs = 11;
  config.ModemIntervalMs = 13;
  config.SplitBytes = Data[0] >> 5;
  config.DropOnCommand = (Data[0] & 2) ? "diag" : "";
  const std::size_t piece = 1 + Data[1] % 64;
  std::string_view input(reinterpret_cast<const char*>(Data + 2), Size - 2);

  TSimDevice device("1.10", 0);
  TSimSession session(device, config, nullptr);
  session.Start(0);
  uint64_t now = 0;
  for (std::size_t at = 0; at < input.size() && !session.MustDrop(); at += piece) {
    session.Receive(input.substr(at, piece), now);
    for (const auto& event : device.TakeEvents()) session.QueueEvent(event, now);
    session.Tick(now);
    auto& output = session.Output();
    for (auto bytes = output.Peek(now); !bytes.empty(); bytes = output.Peek(now))
      output.Consume(bytes.size(), now);
    now += 5;
  }

  TSimRegisterSet registers(110);
  for (const auto& [name, value] : SimParseRegisterText(input)) registers.Set(name, value);
  return 0;
}
