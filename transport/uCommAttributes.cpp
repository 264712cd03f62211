#include "transport/uCommAttributes.h"

#include <utility>

namespace {

const std::pair<uint32_t, speed_t> Speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(uint32_t BaudRate, speed_t& Code) {
  for (const auto& [rate, code] : Speeds)
    if (rate == BaudRate) {
      Code = code;
      return true;
    }
  return false;
}

tcflag_t SizeBits(uint8_t ByteSize, bool& Valid) {
  Valid = true;
  switch (ByteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    case 8:
      return CS8;
    default:
      Valid = false;
      return CS8;
  }
}

tcflag_t ParityBits(uint8_t Parity) {
  switch (Parity) {
    case TCommPort::OddParity:
      return PARENB | PARODD;
    case TCommPort::EvenParity:
      return PARENB;
    case TCommPort::MarkParity:
      return PARENB | CMSPAR | PARODD;
    case TCommPort::SpaceParity:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

}  // namespace

bool CommSetSpeed(termios& Attributes, uint32_t BaudRate) {
  speed_t code;
  return SpeedCode(BaudRate, code) && cfsetispeed(&Attributes, code) == 0 &&
         cfsetospeed(&Attributes, code) == 0;
}

// Raw binary line: no echo, no line editing, no character translation, no XON/XOFF either
// way, a break is not turned into data, and a read returns at once with what has arrived.
// The terminal interface has no one-and-a-half stop bits; the UART gives them for CSTOPB with
// five data bits, so 1.5 asks for CSTOPB like 2.
bool CommAttributes(const TCommState& State, termios& Attributes) {
  bool sizeValid;
  const tcflag_t size = SizeBits(State.ByteSize, sizeValid);
  if (!sizeValid || !CommSetSpeed(Attributes, State.BaudRate)) return false;
  Attributes.c_iflag &= ~(BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                          INPCK | IGNPAR | IMAXBEL);
  Attributes.c_iflag |= IGNBRK;
  Attributes.c_oflag &= ~OPOST;
  Attributes.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
  Attributes.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  Attributes.c_cflag |= CREAD | CLOCAL | size | ParityBits(State.Parity);
  if (State.StopBits != TCommPort::OneStopBit) Attributes.c_cflag |= CSTOPB;
  if (State.Flags & TCommPort::FlagOutxCtsFlow) Attributes.c_cflag |= CRTSCTS;
  Attributes.c_cc[VMIN] = 0;
  Attributes.c_cc[VTIME] = 0;
  return true;
}
