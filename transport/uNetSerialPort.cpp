#include "transport/uNetSerialPort.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "rtl/Exceptions.h"

using namespace Telnet;

namespace {

constexpr uint8_t ControlNoFlow = 1, ControlHardwareFlow = 3, ControlDtrOn = 8, ControlDtrOff = 9,
                  ControlRtsOn = 11, ControlRtsOff = 12;

bool Accepts(uint8_t Option) {
  return Option == Binary || Option == SuppressGoAhead || Option == ComPortOption;
}

std::string Byte(uint8_t Value) {
  return std::string(1, static_cast<char>(Value));
}

std::string BigEndian32(uint32_t Value) {
  return {static_cast<char>(Value >> 24), static_cast<char>(Value >> 16),
          static_cast<char>(Value >> 8), static_cast<char>(Value)};
}

std::string ComPortCommand(uint8_t Command, const std::string& Value) {
  return TelnetSubnegotiation(Telnet::ComPortOption, Byte(Command) + Value);
}

uint8_t ParityCode(char Parity) {
  switch (Parity) {
    case 'O':
      return 2;
    case 'E':
      return 3;
    case 'M':
      return 4;
    case 'S':
      return 5;
    default:
      return 1;
  }
}

}  // namespace

TNetSerialPort::TNetSerialPort(const TNetSerialAddress& Address) : FAddress(Address) {
  FClient.Host = Address.Host;
  FClient.Port = Address.Port;
  FClient.ShouldStop = [this] { return ShouldStop && ShouldStop(); };
}

TNetSerialPort::~TNetSerialPort() {
  Close();
}

bool TNetSerialPort::Open() {
  const auto giveUp =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(RetryForMs - RetryPauseMs);
  for (;;) {
    const TOpened opened = OpenOnce();
    if (opened == TOpened::Up) return true;
    if (opened == TOpened::Failed || Stopping()) return false;
    if (std::chrono::steady_clock::now() >= giveUp) {
      FProblem += Format(" It was tried again for %d s.", RetryForMs / 1000);
      return false;
    }
    if (OnProgress) OnProgress(FProblem + " Trying again.");
    if (!Pause(RetryPauseMs)) return false;
  }
}

// Waits Ms unless asked to stop first (false).
bool TNetSerialPort::Pause(int32_t Ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (std::chrono::steady_clock::now() < until) {
    if (Stopping()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TNetSerialPort::TOpened TNetSerialPort::OpenOnce() {
  Close();
  FProblem.clear();
  const std::string server = FAddress.Host + ":" + std::to_string(FAddress.Port);
  const auto connecting = std::chrono::steady_clock::now();
  try {
    FClient.Connect(ConnectTimeoutMs);
  } catch (const std::exception& e) {
    FProblem = "The terminal server " + server + " cannot be reached: " + e.what() + ".";
    return TOpened::Failed;
  }
  TOpened opened = TOpened::Failed;
  try {
    const auto connectMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - connecting);
    opened = FAddress.Rfc2217 ? Negotiate() : Settle(static_cast<int32_t>(connectMs.count()));
  } catch (const ETcpError& e) {
    // A server that takes nothing while it is being asked must not hold the open up.
    FProblem =
        "The terminal server " + server + " did not take what was sent to it: " + e.what() + ".";
  }
  FSendDeadline = TTcpClient::TDeadline::max();
  if (opened != TOpened::Up) FClient.Disconnect();
  return opened;
}

// A raw port has nothing to negotiate: it is up unless the server closes at once.
TNetSerialPort::TOpened TNetSerialPort::Settle(int32_t ConnectMs) {
  const int32_t settle = std::clamp(ConnectMs * RawSettleTrips, RawSettleMinMs, RawSettleMs);
  WaitUntil([this] { return !FClient.Connected(); }, settle);
  if (FClient.Connected() || Stopping()) return TOpened::Up;
  FProblem = "The terminal server " + FAddress.Host + ":" + std::to_string(FAddress.Port) +
             " closed the connection" + ServerText() + ".";
  return TOpened::ClosedEarly;
}

// The server has to take the COM-PORT-OPTION before the line can be set; one that says no, or
// says nothing (a raw port, another service), ends the open with a reason instead of a wait.
TNetSerialPort::TOpened TNetSerialPort::Negotiate() {
  const std::string server = FAddress.Host + ":" + std::to_string(FAddress.Port);
  FSendDeadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(NegotiationTimeoutMs);
  std::string opening;
  for (uint8_t option : {Binary, SuppressGoAhead, ComPortOption}) {
    FUs[option] = WILL;
    opening += TelnetCommand(WILL, option);
  }
  FHim[Binary] = DO;
  SendRaw(opening + TelnetCommand(DO, Binary));  // in one piece: one round trip, not four
  if (!WaitUntil([this] { return FComPort != TOption::Unasked; })) {
    if (!FClient.Connected()) {
      FProblem = "The terminal server " + server + " closed the connection while it was asked " +
                 "for RFC 2217" + ServerText() + ".";
      return TOpened::ClosedEarly;
    }
    if (!Stopping())
      FProblem = Format(
          "The terminal server %s did not answer the RFC 2217 request within %d s. "
          "If it carries the port as plain TCP, use tcp://%s.",
          server.c_str(), NegotiationTimeoutMs / 1000, server.c_str());
    return TOpened::Failed;
  }
  if (FComPort == TOption::Refused) {
    FProblem = "The terminal server " + server + " refused RFC 2217 (COM-PORT-OPTION), so it " +
               "cannot set the line. If it carries the port as plain TCP, use tcp://" + server +
               ".";
    return TOpened::Failed;
  }
  SendLineSettings();
  // A server that leaves a setting unconfirmed still carries the bytes: go on after the wait.
  WaitUntil([this] {
    return FConfirmed.BaudRate && FConfirmed.DataSize && FConfirmed.Parity && FConfirmed.StopSize &&
           FConfirmed.Control;
  });
  if (FClient.Connected()) {
    FReportAwaitedUntil =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(FirstReportWaitMs);
    return TOpened::Up;
  }
  FProblem = "The terminal server " + server + " closed the connection" + ServerText() + ".";
  return TOpened::ClosedEarly;
}

// What a server that closes at once says first (ser2net: the port is in use), as printable
// text: ": <text>", or nothing.
std::string TNetSerialPort::ServerText() const {
  std::string text;
  const std::string unread = FData.substr(FDataRead);
  for (char c : unread.substr(0, unread.find_first_of("\r\n")))
    if (c >= ' ' && c < 0x7F) text.push_back(c);
  return text.empty() ? "" : ": " + text.substr(0, 80);
}

// Polls the server until Done, the time-out, a stop request or the end of the connection.
bool TNetSerialPort::WaitUntil(const std::function<bool()>& Done, int32_t TimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  FSendDeadline = deadline;  // answers sent meanwhile keep to it too
  for (;;) {
    Poll();
    if (Done()) return true;
    if (!FClient.Connected() || Stopping() || std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Raised lines first, then the line itself, as a port on this computer is opened.
void TNetSerialPort::SendLineSettings() {
  const auto command = ComPortCommand;
  SendRaw(command(CpoSetControl, Byte(ControlRtsOn)) + command(CpoSetControl, Byte(ControlDtrOn)) +
          command(CpoSetBaudRate, BigEndian32(FBaudRate)) +
          command(CpoSetDataSize, Byte(FByteSize)) +
          command(CpoSetParity, Byte(ParityCode(FParity))) + command(CpoSetStopSize, Byte(1)) +
          command(CpoSetControl, Byte(FCTSFlow || FDSRFlow ? ControlHardwareFlow : ControlNoFlow)) +
          command(CpoSetModemStateMask, Byte(0xFF)));
}

// The far port's lines dropped, as a port on this computer drops its own when it closes: a
// last word the server gets if it takes it in time.
void TNetSerialPort::Close() noexcept {
  if (FComPort == TOption::Accepted && FClient.Connected()) {
    const std::string drop = ComPortCommand(CpoSetControl, Byte(ControlDtrOff)) +
                             ComPortCommand(CpoSetControl, Byte(ControlRtsOff));
    FClient.SendLastWord(drop.data(), static_cast<int32_t>(drop.size()), LastWordMs);
  }
  FClient.Disconnect();
  FDecoder = TTelnetDecoder();
  FData.clear();
  FDataRead = 0;
  // Every option starts off on both sides.
  FUs.fill(WONT);
  FHim.fill(DONT);
  for (auto& refused : FRefused) refused.reset();
  FComPort = TOption::Unasked;
  FConfirmed = TRemoteLine();
  FModemState = 0;
  FModemKnown = FModemReported = false;
  FReportAwaitedUntil = {};
  FSuspended = false;
}

// Takes in what the socket holds, up to DataLimit unread, DecodePiece at a time.
void TNetSerialPort::Poll() {
  if (Unread() >= DataLimit) return;
  FClient.PollReceive();
  std::string bytes;
  while (Unread() < DataLimit) {
    const size_t n =
        std::min({static_cast<size_t>(FClient.Available()), DataLimit - Unread(), DecodePiece});
    if (n == 0) return;
    bytes.resize(n);
    FClient.Take(bytes.data(), static_cast<int32_t>(n));
    if (FAddress.Rfc2217)
      Decode(bytes);
    else
      FData += bytes;
  }
}

void TNetSerialPort::Decode(const std::string& Bytes) {
  std::vector<TTelnetCommand> commands;
  FDecoder.Feed(Bytes.data(), static_cast<int32_t>(Bytes.size()), FData, commands);
  for (const TTelnetCommand& command : commands) Handle(command);
}

void TNetSerialPort::Handle(const TTelnetCommand& Command) {
  const uint8_t option = Command.Option;
  switch (Command.Verb) {
    case WILL:
      Accepts(option) ? Answer(DO, option) : Refuse(DONT, option);
      break;
    case DO:
      if (option == ComPortOption) FComPort = TOption::Accepted;
      Accepts(option) ? Answer(WILL, option) : Refuse(WONT, option);
      break;
    case WONT:
      Answer(DONT, option);
      break;
    case DONT:
      if (option == ComPortOption) FComPort = TOption::Refused;
      Answer(WONT, option);
      break;
    case SB:
      if (option == ComPortOption) ComPortReply(Command.Data);
      break;
    default:
      break;
  }
}

// Says Verb of Option only when it changes what was last said of it: an acknowledgement
// answered again would loop with a server that does the same.
void TNetSerialPort::Answer(uint8_t Verb, uint8_t Option) {
  auto& said = Verb == WILL || Verb == WONT ? FUs : FHim;
  if (said[Option] == Verb) return;
  said[Option] = Verb;
  SendRaw(TelnetCommand(Verb, Option));
}

// A request for an option this side does not take is answered, so the server does not wait
// for it, but once: a server asking again and again gets no answer for each.
void TNetSerialPort::Refuse(uint8_t Verb, uint8_t Option) {
  (Verb == WONT ? FUs : FHim)[Option] = Verb;
  auto& refused = FRefused[Verb == WONT ? 0 : 1];
  if (refused.test(Option)) return;
  refused.set(Option);
  SendRaw(TelnetCommand(Verb, Option));
}

void TNetSerialPort::ComPortReply(const std::string& Data) {
  if (Data.empty()) return;
  const auto at = [&Data](size_t i) { return static_cast<uint8_t>(Data[i]); };
  // FLOWCONTROL-SUSPEND and -RESUME carry no value.
  const uint8_t value = Data.size() > 1 ? at(1) : 0;
  switch (at(0)) {
    case CpoServerOffset + CpoSetBaudRate:
      if (Data.size() >= 5)
        FConfirmed.BaudRate =
            uint32_t(at(1)) << 24 | uint32_t(at(2)) << 16 | uint32_t(at(3)) << 8 | at(4);
      break;
    case CpoServerOffset + CpoSetDataSize:
      FConfirmed.DataSize = value;
      break;
    case CpoServerOffset + CpoSetParity:
      FConfirmed.Parity = value;
      break;
    case CpoServerOffset + CpoSetStopSize:
      FConfirmed.StopSize = value;
      break;
    case CpoServerOffset + CpoSetControl:
      // Replies about DTR, RTS and break share the command; only the flow control is kept.
      if (value >= 1 && value <= 3) FConfirmed.Control = value;
      break;
    case CpoServerOffset + CpoNotifyModemState:
      FModemState = value;
      // A server that cannot read the far port's lines (a port without them) reports them
      // all off and never changes them; only a line seen on, or a change, makes them real.
      FModemKnown = FModemKnown || value != 0;
      FModemReported = true;
      break;
    case CpoServerOffset + CpoFlowControlSuspend:
      FSuspended = true;
      break;
    case CpoServerOffset + CpoFlowControlResume:
      FSuspended = false;
      break;
    default:
      break;
  }
}

bool TNetSerialPort::OutputHeld() {
  return FSuspended || (!FModemReported && std::chrono::steady_clock::now() < FReportAwaitedUntil);
}

uint32_t TNetSerialPort::InQueue() {
  Poll();
  return static_cast<uint32_t>(Unread());
}

// Read bytes leave the front of FData only once they are at least half of it.
int32_t TNetSerialPort::Read(void* Buffer, int32_t Count) {
  const size_t n = std::min(Unread(), static_cast<size_t>(std::max(Count, 0)));
  FData.copy(static_cast<char*>(Buffer), n, FDataRead);
  FDataRead += n;
  if (FDataRead == FData.size() || FDataRead * 2 >= FData.size()) {
    FData.erase(0, FDataRead);
    FDataRead = 0;
  }
  return static_cast<int32_t>(n);
}

void TNetSerialPort::Write(const void* Buffer, int32_t Count) {
  if (FAddress.Rfc2217)
    SendRaw(TelnetEscape(Buffer, Count));
  else
    SendRaw(std::string(static_cast<const char*>(Buffer), static_cast<size_t>(Count)));
}

// Once the server has ended the connection and every byte it sent has been read.
bool TNetSerialPort::Lost() {
  return !FClient.Connected() && Unread() == 0 && FClient.Available() == 0;
}

// Bytes for a server that has gone are dropped: Lost then ends the line.
void TNetSerialPort::SendRaw(const std::string& Bytes) {
  if (FClient.Connected())
    FClient.Send(Bytes.data(), static_cast<int32_t>(Bytes.size()), FSendDeadline);
}
