// One serial port for the serial dispatcher: names the device from a COM number, opens it
// with the debug port's line settings, reads what has arrived without waiting, starts writes
// and reports their completion, and reads the modem lines that gate sending.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "rtl/Exceptions.h"

class ECommPort : public Exception {
 public:
  using Exception::Exception;
};

// What the last error poll found: hold flags, bytes waiting to be read, bytes still to go out.
struct TComStat {
  uint32_t Flags = 0;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// The line state Open applies, in the terms the settings are given in (codes of the parity
// and stop bits, the flags word); kept so the settings in force can be read back.
struct TCommState {
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  char ErrorChar = 0;
};

// Stands in for the modem lines and the line status of a device that has none (a
// pseudo-terminal), so that a test can hold output back or raise a line error. Written by the
// test's thread, read by the thread that uses the port.
struct TCommLineSeam {
  std::atomic<uint32_t> ModemStatus{0xF0};  // the lines that read as on
  std::atomic<uint32_t> HoldFlags{0};       // TCommPort::HoldCts / HoldDsr
  std::atomic<uint32_t> PendingErrors{0};   // reported (and cleared) by the next error poll
};

class TCommPort {
 public:
  // Modem status bits.
  static constexpr uint32_t CtsOn = 0x10, DsrOn = 0x20, RingOn = 0x40, RlsdOn = 0x80;
  static constexpr uint32_t AllLinesClosed = 0xFFFFFFFF;
  // Line error bits returned by an error poll.
  static constexpr uint32_t ErrRxOver = 0x01, ErrOverrun = 0x02, ErrRxParity = 0x04,
                            ErrFrame = 0x08, ErrBreak = 0x10;
  // Hold flags of TComStat.
  static constexpr uint32_t HoldCts = 0x01, HoldDsr = 0x02;
  // Flags word of the line state.
  static constexpr uint32_t FlagBinary = 0x01, FlagParity = 0x02, FlagOutxCtsFlow = 0x04,
                            FlagOutxDsrFlow = 0x08, FlagDtrEnable = 0x10, FlagRtsEnable = 0x1000;
  // Parity and stop-bit codes of the line state.
  static constexpr uint8_t NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3,
                           SpaceParity = 4;
  static constexpr uint8_t OneStopBit = 0, One5StopBits = 1, TwoStopBits = 2;

  TCommPort();
  ~TCommPort();
  TCommPort(const TCommPort&) = delete;
  TCommPort& operator=(const TCommPort&) = delete;

  int32_t Port() const { return FPort; }
  void SetPort(int32_t N);
  // Names the device by its path instead of a COM number ("/dev/ttyUSB0"); Port becomes 0.
  // Like SetPort, a port that was open moves to the new device.
  void SetDevice(const std::string& Path);
  std::string DeviceName() const { return FDeviceName; }
  uint32_t BaudRate() const { return FBaudRate; }
  void SetBaudRate(uint32_t Value);
  bool DSRFlow() const { return FDSRFlow; }
  void SetDSRFlow(bool Value);
  bool CTSFlow() const { return FCTSFlow; }
  void SetCTSFlow(bool Value);
  char Parity() const { return FParity; }
  void SetParity(char Value) { FParity = Value; }
  uint8_t ByteSize() const { return FByteSize; }
  void SetByteSize(uint8_t Value) { FByteSize = Value; }
  double StopBits() const { return FStopBits; }
  void SetStopBits(double Value) { FStopBits = Value; }

  bool SetActive(bool Value);
  bool Open();
  bool Close();
  bool IsOpen() const { return FHandle != InvalidHandle; }
  bool CheckErrors();
  uint32_t InQueue();
  bool OutputHeld();
  uint32_t ModemStatus();
  bool CTS() { return (ModemStatus() & CtsOn) != 0; }
  bool DSR() { return (ModemStatus() & DsrOn) != 0; }
  int32_t Read(void* Buffer, int32_t Count);
  // Starts a write and returns at once. One write at a time: Buffer must stay untouched until
  // WriteDone, and closing the port drops whatever of it has not left yet.
  void Write(const void* Buffer, int32_t Count);
  bool WriteDone();
  void PurgeOutput();
  void PurgeInput();

  // Waits at most TimeoutMs for the write in progress to move on; returns WriteDone.
  bool WaitWriteDone(int32_t TimeoutMs);
  // The system has hung the line up: the adapter was unplugged, or the far end of a
  // pseudo-terminal closed. Nothing passes any more; bytes that came before can still be read.
  bool HungUp() const;
  // The device COM<Port> stands for: the user's link com<n> in the program's configuration
  // folder when there is one, else the n-th built-in serial port (see uComPortMap); or the
  // path SetDevice gave.
  std::string DevicePath() const;
  // Why the last Open returned false: the system's error number (EBUSY when another copy holds
  // the port's lock; on Windows the GetLastError code); 0 after an Open that got the device.
  int OpenError() const { return FOpenError; }
  // The line state the last Open applied (and the setters changed since).
  TCommState CommState() const { return FState; }
  // Not owned; null (the default) reads the real lines.
  void SetLineSeam(TCommLineSeam* Seam) { FLineSeam = Seam; }

 private:
  // A descriptor, or on Windows the device's handle (INVALID_HANDLE_VALUE is -1 here too).
  static constexpr intptr_t InvalidHandle = -1;

  struct TErrorCounts {
    uint32_t Overrun = 0, BufOverrun = 0, Parity = 0, Frame = 0, Break = 0;
  };

  TCommState BuildState() const;
  void ApplyModemLines(bool Raise);
  uint32_t PollLineErrors();
  bool ReadErrorCounts(TErrorCounts& Counts) const;
  uint32_t HoldFlags(uint32_t OutQueue);
  bool FlowStopped();
  void PushPendingWrite();
  void DropPendingWrite();
  uint32_t KernelOutQueue() const;

  int32_t FPort = 0;
  std::string FDeviceName;
  std::string FDevicePath;  // from SetDevice
  int FOpenError = 0;
  intptr_t FHandle = InvalidHandle;
  TComStat FStatus;
  uint32_t FBaudRate = 0;
  bool FDSRFlow = false;
  bool FCTSFlow = false;
  char FParity = 'N';
  uint8_t FByteSize = 8;
  double FStopBits = 1.0;
  // The write in progress: the caller's buffer stays untouched until WriteDone, so only the
  // part that has not yet left is tracked here.
  const char* FWriteBuffer = nullptr;
  uint32_t FWriteCount = 0;
  uint32_t FBytesWritten = 0;
  uint32_t FBytesRead = 0;
  TErrorCounts FErrorCounts;
  TCommState FState;
  TCommLineSeam* FLineSeam = nullptr;
#ifdef _WIN32
  struct TOverlappedIo;  // the read and write control blocks with their events
  std::unique_ptr<TOverlappedIo> FIo;
  bool FWriting = false;
#endif
};
