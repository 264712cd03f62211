// Connection workers. Each connection runs in one dispatcher thread that alone touches the
// transport; bytes cross to the main window through two locked FIFO queues, everything else
// through four notifications delivered on the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "dispatch/uOutputWait.h"
#include "rtl/Thread.h"
#include "streams/uFifoStream.h"

class TTerminalDispatcher : public TThread {
 public:
  static constexpr int32_t TransferSize = 8192;
  // The input queue holds about this much at most: while it is full the worker leaves the
  // device's bytes with the transport (the socket's window or the line's flow control) until
  // the owner has read some.
  static constexpr int32_t InputLimit = 1 << 20;

  TTerminalDispatcher();
  ~TTerminalDispatcher() override;
  // How many dispatchers exist now: a connection's worker is gone once its thread ended.
  static int32_t LiveCount() { return FLive.load(); }

  std::function<void(TTerminalDispatcher*Sender)> OnOpened, OnClosed;
  std::function<void(TTerminalDispatcher* Sender, const std::string& Msg)> OnError;
  std::function<void(TTerminalDispatcher* Sender, const std::string& Text)> OnStatus;

  int32_t ReadInput(void* Buffer, int32_t Count);
  void WriteOutput(const void* Buffer, int32_t Count);
  virtual void Abort();
  void DetachNotifications();
  void Lock();
  void Unlock();

 protected:
  void Execute() override {}

  void NotifyOpened();
  void NotifyClosed();
  void ReportStatus(const std::string& Text);
  void ReportError(const std::string& Msg);

  // One pass of the shared transfer steps: what the transport delivered goes to FInput,
  // and up to TransferSize queued bytes come out of FOutput into FBuffer.
  void AppendInput(const void* Buffer, int32_t Count);
  bool InputFull();
  int32_t TakeOutput(bool DiscardWhenEmpty);
  bool OutputEmpty();
  bool Closing() const { return FClosing.load(std::memory_order_acquire); }
  // Runs Body, then always reports "Closing", closes the transport and sends closed, so the
  // owner hears the end even when a step fails; the first failure is raised afterwards and
  // ends the thread quietly.
  void RunThenClose(const std::function<void()>& Body, const std::function<void()>& CloseTransport);

  TTDCriticalSection FLock;
  std::unique_ptr<TLockableFIFOStream> FInput;
  std::unique_ptr<TLockableFIFOStream> FOutput;
  std::atomic<bool> FClosing{false};
  std::string FErrorText;
  std::string FStatusText;
  char FBuffer[TransferSize];

 private:
  static inline std::atomic<int32_t> FLive{0};
  // The worker looks at a notification under FLock, so a DetachNotifications on the main
  // thread can never race with it.
  template <class TNotification>
  bool IsSet(const TNotification& Notification) {
    std::lock_guard<TTDCriticalSection> guard(FLock);
    return static_cast<bool>(Notification);
  }
  void DoOpened();
  void DoClosed();
  void DoError();
  void DoStatus();
};

class TTcpClient;

class TTCPDispatcher : public TTerminalDispatcher {
 public:
  static constexpr uint16_t DevicePort = 6024;
  static constexpr int32_t ConnectTimeoutMs = 6000;

  explicit TTCPDispatcher(const std::string& Host);
  ~TTCPDispatcher() override;
  std::string GetHost();
  void SetHost(const std::string& Host);

 protected:
  void Execute() override;
  virtual void ConnectAndPump();

  std::unique_ptr<TTcpClient> FClient;
  std::atomic<uint64_t> FPassCount{0};  // pump passes so far, for diagnostics and figures

 private:
  bool Connect();
  void Pump();
};

class TCommPort;
class TSerialLine;

class TComPortDispatcher : public TTerminalDispatcher {
 public:
  static constexpr uint32_t DebugBaudRate = 115200;
  // A write held back by the device is waited for in slices this long, so a termination
  // request ends the wait instead of leaving the worker behind.
  static constexpr int32_t WriteWaitSliceMs = 1;

  explicit TComPortDispatcher(int32_t PortNumber);
  // A device named by its path ("/dev/ttyUSB0") instead of a COM number, or a port behind a
  // terminal server ("tcp://HOST:PORT", "rfc2217://HOST:PORT"); ComPort is then 0 and the
  // status and error texts name the path. A network address that does not parse raises
  // ECommPort.
  explicit TComPortDispatcher(const std::string& DevicePath);
  ~TComPortDispatcher() override;
  int32_t ComPort();
  // Why the port would not open ("/dev/ttyS2 is not there. Is the adapter plugged in?"), as
  // the status line just before the error "Could not open COM3" said; empty until then. Read
  // it from the error notification.
  const std::string& OpenProblem() const { return FOpenProblem; }
  // "COM3", the device path or the terminal server's address.
  std::string PortName();
  // Ends the connection as soon as everything written to it so far has left for the device
  // (the port's own queue drained): for a last word nothing is waited for after.
  void EndWhenSent() { FEndWhenSent.store(true); }

 protected:
  void Execute() override;

  std::unique_ptr<TCommPort> FPort;  // none for a port behind a terminal server
  std::unique_ptr<TSerialLine> FLine;

 private:
  std::string FOpenProblem;
  std::atomic<bool> FEndWhenSent{false};
  TOutputWait FOutputWait;

  void SetLineSettings();
  void Pump();
  bool Receive();
  void Send();
  TOutputWait::TWhy WaitingFor();
  void WaitForWrite();
};
