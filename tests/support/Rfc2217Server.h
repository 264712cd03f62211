// A terminal server for tests that speaks telnet with the COM-PORT-OPTION on loopback, in
// front of a far port whose modem lines the test sets: it takes the option, confirms every
// setting, reports the lines once the client sets its mask and whenever the test changes
// them, and records the line control requests and the data it receives. One client at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/uTelnet.h"

class TRfc2217Server {
 public:
  // Modem state bits as on the wire.
  static constexpr uint8_t Cts = 0x10, Dsr = 0x20, Ri = 0x40, Cd = 0x80;
  static constexpr uint8_t DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;

  // Lines: the far port's modem lines when the client connects; they are reported
  // ReportAfterMs after the client set its mask (a server that reads the port's lines first).
  explicit TRfc2217Server(uint8_t Lines, int ReportAfterMs = 0);
  ~TRfc2217Server();
  TRfc2217Server(const TRfc2217Server&) = delete;
  TRfc2217Server& operator=(const TRfc2217Server&) = delete;

  std::string Url() const;
  // Changes the lines and reports them with the change bits set, as a server does.
  void SetLines(uint8_t Lines);
  // FLOWCONTROL-SUSPEND (true) or -RESUME (false).
  void Pause(bool Suspend);
  // Stops taking bytes from the connection (true), so the client's sends fill it, or takes
  // them again.
  void HoldReading(bool Hold) { FHoldReading = Hold; }
  // Ends the connection: in order, or with a reset.
  void Drop(bool Reset = false);

  std::string Data();
  // The SET-CONTROL values received, in order; the flow control settings (1 to 3) left out.
  std::vector<uint8_t> Controls();
  bool Connected();
  // Waits until Done holds, up to TimeoutMs.
  bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 5000);

 private:
  void Run();
  void Serve(int Connection);
  void Handle(const TTelnetCommand& Command);
  void ComPort(const std::string& Request);
  void SendLocked(const std::string& Bytes);
  void ReportLocked(uint8_t State);

  enum class TDrop { None, Close, Reset };
  int FListen = -1;
  uint16_t FPort = 0;
  std::atomic<bool> FStop{false};
  std::atomic<TDrop> FDrop{TDrop::None};
  std::atomic<bool> FHoldReading{false};
  std::mutex FLock;  // everything below, and sends on the connection
  int FConnection = -1;
  uint8_t FLines;
  bool FLinesAsked = false;
  std::chrono::milliseconds FReportAfter;
  std::chrono::steady_clock::time_point FReportDue = std::chrono::steady_clock::time_point::max();
  std::string FData;
  std::vector<uint8_t> FControls;
  std::thread FThread;
};
