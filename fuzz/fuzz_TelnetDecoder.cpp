// Feeds arbitrary server bytes to the telnet decoder in pieces whose sizes come from the
// input's first byte. The data parted out must not depend on how the bytes were cut, no
// subnegotiation may grow past its limit, and any data escaped and decoded again comes back
// unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "transport/uTelnet.h"

namespace {

std::string Decode(const std::string& Wire, size_t Piece, std::vector<TTelnetCommand>& Commands) {
  TTelnetDecoder decoder;
  std::string data;
  for (size_t at = 0; at < Wire.size(); at += Piece) {
    const size_t n = std::min(Piece, Wire.size() - at);
    decoder.Feed(Wire.data() + at, static_cast<int32_t>(n), data, Commands);
  }
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const size_t piece = Data[0] % 17 + 1;
  const std::string wire(reinterpret_cast<const char*>(Data + 1), Size - 1);
  std::vector<TTelnetCommand> whole, cut;
  const std::string once = Decode(wire, wire.size() + 1, whole);
  if (Decode(wire, piece, cut) != once || cut.size() != whole.size()) std::abort();
  for (const TTelnetCommand& c : whole)
    if (c.Data.size() > TTelnetDecoder::MaxSubnegotiation) std::abort();
  std::vector<TTelnetCommand> none;
  const std::string escaped = TelnetEscape(wire.data(), static_cast<int32_t>(wire.size()));
  if (Decode(escaped, piece, none) != wire || !none.empty()) std::abort();
  return 0;
}
