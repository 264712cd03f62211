// Windows has no pseudo-terminals: the simulator there serves TCP only, and asking for the
// serial debug port says so.
#include "sim/uSimPty.h"

TSimPty::~TSimPty() = default;

bool TSimPty::Open(const std::string&, std::string& Error) {
  Error =
      "the serial debug port needs a pseudo-terminal, which Windows does not have; "
      "use TCP, or run the simulator on Linux";
  return false;
}

void TSimPty::Close() {}

TSimPtyTurns TSimPty::TakeTurns() {
  return {};
}

void TSimPty::FlushOutput() const {}
