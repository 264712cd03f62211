// The serial port's naming and the line state it applies: the same on every platform; each
// platform's file opens the device and applies the state its own way.
#include "transport/uComms.h"

namespace {

uint8_t ParityCode(char Parity) {
  switch (Parity) {
    case 'O':
      return TCommPort::OddParity;
    case 'E':
      return TCommPort::EvenParity;
    case 'M':
      return TCommPort::MarkParity;
    case 'S':
      return TCommPort::SpaceParity;
    default:
      return TCommPort::NoParity;
  }
}

uint8_t StopBitsCode(double StopBits) {
  if (StopBits <= 1.0) return TCommPort::OneStopBit;
  if (StopBits <= 1.5) return TCommPort::One5StopBits;
  return TCommPort::TwoStopBits;
}

}  // namespace

void TCommPort::SetPort(int32_t N) {
  const bool wasOpen = IsOpen();
  Close();
  FPort = N;
  if (N <= 0) throw ECommPort("Invalid Port Number");
  FDeviceName = Format("COM%d:", N);
  FDevicePath.clear();
  if (wasOpen) Open();
}

void TCommPort::SetDevice(const std::string& Path) {
  const bool wasOpen = IsOpen();
  Close();
  FPort = 0;
  FDeviceName = Path;
  FDevicePath = Path;
  if (wasOpen) Open();
}

bool TCommPort::SetActive(bool Value) {
  return Value ? Open() : Close();
}

TCommState TCommPort::BuildState() const {
  TCommState state;
  state.BaudRate = FBaudRate;
  state.Flags = FlagBinary | FlagParity | FlagDtrEnable | FlagRtsEnable;
  if (FCTSFlow) state.Flags |= FlagOutxCtsFlow;
  if (FDSRFlow) state.Flags |= FlagOutxDsrFlow;
  state.Parity = ParityCode(FParity);
  state.StopBits = StopBitsCode(FStopBits);
  state.ByteSize = FByteSize;
  state.ErrorChar = 0x7F;
  return state;
}

// Both read the line state the last error check left.
uint32_t TCommPort::InQueue() {
  CheckErrors();
  return FStatus.cbInQue;
}

bool TCommPort::OutputHeld() {
  CheckErrors();
  return (FStatus.Flags & (HoldCts | HoldDsr)) != 0;
}
