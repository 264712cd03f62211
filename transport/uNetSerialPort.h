// A serial line behind a terminal server, reached over TCP: "tcp://HOST:PORT" carries the
// device's bytes as they are; "rfc2217://HOST:PORT" speaks telnet with the COM-PORT-OPTION,
// sets the far port's line as the serial dispatcher asks, follows the modem lines the server
// reports and escapes the byte 0xFF both ways. Driven by the serial dispatcher's worker.
#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <string>

#include "transport/uNetSerialUrl.h"
#include "transport/uSerialLine.h"
#include "transport/uTcpClient.h"
#include "transport/uTelnet.h"

// The far port's line as the server's replies gave it; 0 where no reply came. Codes as on
// the wire: parity 1 none, 2 odd, 3 even, 4 mark, 5 space; stop size 1 one, 2 two, 3 one and
// a half; control 1 no flow control, 2 XON/XOFF, 3 hardware.
struct TRemoteLine {
  uint32_t BaudRate = 0;
  uint8_t DataSize = 0, Parity = 0, StopSize = 0, Control = 0;
};

class TNetSerialPort : public TSerialLine {
 public:
  static constexpr int32_t ConnectTimeoutMs = 6000;
  // How long the server has to take the COM-PORT-OPTION, and then to confirm the line.
  static constexpr int32_t NegotiationTimeoutMs = 3000;
  // A raw port is up once the server has not closed the connection for a while: a server
  // whose port is busy says so and closes at once, that is within a few round trips. The wait
  // is RawSettleTrips times the connect's own time, within these bounds (ms).
  static constexpr int32_t RawSettleMinMs = 10;
  static constexpr int32_t RawSettleMs = 100;
  static constexpr int32_t RawSettleTrips = 4;
  // A server that closes before the line is up (its port still held by the client before) is
  // tried again, RetryPauseMs apart, for this long.
  static constexpr int32_t RetryForMs = 3000;
  static constexpr int32_t RetryPauseMs = 200;
  // The device's bytes held unread at most: past that the socket's own queue fills, and then
  // TCP's flow control holds the server back.
  static constexpr size_t DataLimit = 4 << 20;
  // Received bytes are taken in and decoded this many at a time, so a flood of commands never
  // stands in memory at once.
  static constexpr size_t DecodePiece = 64 << 10;
  // Output waits this long after the open for the server's first report of the far port's
  // lines: a server may read them before it says. One that reports none is taken to have none.
  static constexpr int32_t FirstReportWaitMs = 200;
  // How long closing waits for the server to take the dropped lines.
  static constexpr int32_t LastWordMs = 200;
  // RFC 2217 commands, as the client sends them; the server answers with 100 added.
  enum : uint8_t {
    CpoSetBaudRate = 1,
    CpoSetDataSize = 2,
    CpoSetParity = 3,
    CpoSetStopSize = 4,
    CpoSetControl = 5,
    CpoNotifyLineState = 6,
    CpoNotifyModemState = 7,
    CpoFlowControlSuspend = 8,
    CpoFlowControlResume = 9,
    CpoSetModemStateMask = 11,
    CpoServerOffset = 100
  };
  static constexpr uint8_t ModemCts = 0x10, ModemDsr = 0x20;

  explicit TNetSerialPort(const TNetSerialAddress& Address);
  ~TNetSerialPort() override;

  std::string Name() override { return NetSerialUrl(FAddress); }
  void SetBaudRate(uint32_t Value) override { FBaudRate = Value; }
  void SetParity(char Value) override { FParity = Value; }
  void SetByteSize(uint8_t Value) override { FByteSize = Value; }
  void SetDSRFlow(bool Value) override { FDSRFlow = Value; }
  void SetCTSFlow(bool Value) override { FCTSFlow = Value; }
  bool DSRFlow() override { return FDSRFlow; }
  bool CTSFlow() override { return FCTSFlow; }

  bool Open() override;
  std::string OpenProblem() override { return FProblem; }
  void Close() noexcept override;
  uint32_t InQueue() override;
  int32_t Read(void* Buffer, int32_t Count) override;
  // While the server has asked for a pause (FLOWCONTROL-SUSPEND), and until it has said what
  // the far port's lines are.
  bool OutputHeld() override;
  // Lines the server never reported read as on, as on a port without modem lines.
  bool CTS() override { return !FModemKnown || (FModemState & ModemCts) != 0; }
  bool DSR() override { return !FModemKnown || (FModemState & ModemDsr) != 0; }
  void Write(const void* Buffer, int32_t Count) override;
  bool WaitWriteDone(int32_t) override { return true; }
  bool Lost() override;

  TRemoteLine Confirmed() const { return FConfirmed; }
  uint8_t ModemState() const { return FModemState; }

 private:
  enum class TOption { Unasked, Accepted, Refused };
  enum class TOpened { Up, ClosedEarly, Failed };
  TOpened OpenOnce();
  bool Pause(int32_t Ms);
  TOpened Settle(int32_t ConnectMs);
  TOpened Negotiate();
  bool WaitUntil(const std::function<bool()>& Done, int32_t TimeoutMs = NegotiationTimeoutMs);
  bool Stopping() const { return ShouldStop && ShouldStop(); }
  std::string ServerText() const;
  size_t Unread() const { return FData.size() - FDataRead; }
  void SendLineSettings();
  void Poll();
  void Decode(const std::string& Bytes);
  void Handle(const TTelnetCommand& Command);
  void Answer(uint8_t Verb, uint8_t Option);
  void Refuse(uint8_t Verb, uint8_t Option);
  void ComPortReply(const std::string& Data);
  void SendRaw(const std::string& Bytes);

  TNetSerialAddress FAddress;
  TTcpClient FClient;
  TTelnetDecoder FDecoder;
  std::string FData;  // device bytes received; those from FDataRead on are not yet read
  size_t FDataRead = 0;
  TTcpClient::TDeadline FSendDeadline = TTcpClient::TDeadline::max();
  std::string FProblem;
  uint32_t FBaudRate = 0;
  char FParity = 'N';
  uint8_t FByteSize = 8;
  bool FDSRFlow = false, FCTSFlow = false;
  // What this side last said of each option (WILL/WONT) and of the server's (DO/DONT).
  std::array<uint8_t, 256> FUs{}, FHim{};  // set by Open
  // Options whose request this side refused and said so: [0] its own (WONT), [1] the server's.
  std::array<std::bitset<256>, 2> FRefused;
  TOption FComPort = TOption::Unasked;
  TRemoteLine FConfirmed;
  uint8_t FModemState = 0;
  bool FModemKnown = false, FModemReported = false;
  std::chrono::steady_clock::time_point FReportAwaitedUntil;
  bool FSuspended = false;
};
