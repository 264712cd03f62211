// What the serial dispatcher drives: a serial line, either a port on this computer (TCommPort)
// or one behind a terminal server on the network (TNetSerialPort). Used by the dispatcher's
// worker thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TCommPort;

class TSerialLine {
 public:
  virtual ~TSerialLine() = default;

  // How status and error texts name it: "COM3", "/dev/ttyUSB0", "rfc2217://host:2000".
  virtual std::string Name() = 0;
  // Line settings, applied when the line opens.
  virtual void SetBaudRate(uint32_t Value) = 0;
  virtual void SetParity(char Value) = 0;
  virtual void SetByteSize(uint8_t Value) = 0;
  virtual void SetDSRFlow(bool Value) = 0;
  virtual void SetCTSFlow(bool Value) = 0;
  virtual bool DSRFlow() = 0;
  virtual bool CTSFlow() = 0;

  // False when the line cannot be opened; OpenProblem then says why, as a sentence for the
  // user. A set-up failure after the device opened raises (ECommPort).
  virtual bool Open() = 0;
  virtual std::string OpenProblem() = 0;
  virtual void Close() = 0;
  virtual uint32_t InQueue() = 0;
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual bool OutputHeld() = 0;
  virtual bool CTS() = 0;
  virtual bool DSR() = 0;
  // Starts a write; the buffer stays untouched until WaitWriteDone returns true.
  virtual void Write(const void* Buffer, int32_t Count) = 0;
  virtual bool WaitWriteDone(int32_t TimeoutMs) = 0;
  // True once the far end has gone for good (a terminal server that closed the connection);
  // a port on this computer never goes.
  virtual bool Lost() { return false; }
  // True once a port on this computer was hung up (adapter unplugged, the far end of a
  // pseudo-terminal closed) and every byte it still held was read.
  virtual bool HungUp() { return false; }

  // Asked while opening and while a write waits; true gives up.
  std::function<bool()> ShouldStop;
  // Told what the open is waiting for, as a progress line (a busy server tried again).
  std::function<void(const std::string& Text)> OnProgress;
};

// The line of a port on this computer; Port stays owned by the caller. While a maker is set
// (SetLocalSerialLineMaker), the line it makes stands in.
std::unique_ptr<TSerialLine> LocalSerialLine(TCommPort& Port);
// The port's own line, whatever stands in.
std::unique_ptr<TSerialLine> PortSerialLine(TCommPort& Port);

using TSerialLineMaker = std::function<std::unique_ptr<TSerialLine>(TCommPort& Port)>;
// For tests: every later LocalSerialLine is made by Maker (a line whose writes take as long as
// a real port's, where a pseudo-terminal takes them at once) until an empty Maker restores the
// port's own line. Set it on the thread that makes the dispatchers, before making them.
void SetLocalSerialLineMaker(TSerialLineMaker Maker);
