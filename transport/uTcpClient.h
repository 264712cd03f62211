// The blocking TCP client the TCP dispatcher drives from its worker thread: connect with a
// time-out, a zero-wait receive poll into its own queue, send all, disconnect.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "rtl/Exceptions.h"
#include "streams/uFifoStream.h"
#include "transport/uHostLookup.h"

class ETcpError : public Exception {
 public:
  using Exception::Exception;
};

class TTcpClient {
 public:
  TTcpClient();
  ~TTcpClient();
  TTcpClient(const TTcpClient&) = delete;
  TTcpClient& operator=(const TTcpClient&) = delete;

  std::string Host;
  uint16_t Port = 0;
  uint16_t LocalPort = 0;
  // Asked while connecting and while a send waits for room; true gives up at once.
  std::function<bool()> ShouldStop;
  // How Connect looks Host up; the system's resolver unless a test puts another here.
  THostResolver Resolver = SystemResolve;

  // Looks Host up and connects, all within TimeoutMs; raises ETcpError saying why it failed
  // ("Host lookup timed out", "Connection timed out", "Connection cancelled" on ShouldStop, ...).
  void Connect(int32_t TimeoutMs);
  bool Connected() const { return FSocket >= 0; }
  // Takes, without waiting, what the socket holds into the receive queue. The device ending
  // the stream, in order or by a reset, disconnects and keeps what arrived; any other socket
  // failure disconnects and raises ETcpError.
  void PollReceive();
  int32_t Available();
  // Count must not exceed Available (else EReadError).
  void Take(void* Buffer, int32_t Count);
  using TDeadline = std::chrono::steady_clock::time_point;
  // Sends all Count bytes; raises ETcpError when not connected, on a stop request while
  // waiting for room, once Deadline has passed while waiting ("Send timed out"), or on a
  // socket failure. Bytes for a device that has reset the connection are dropped: the next
  // PollReceive ends the stream.
  void Send(const void* Buffer, int32_t Count, TDeadline Deadline = TDeadline::max());
  // A last word while closing: what the peer takes within TimeoutMs goes, stop request or
  // not. Never raises; false when not all of it went.
  bool SendLastWord(const void* Buffer, int32_t Count, int32_t TimeoutMs) noexcept;
  void Disconnect();
  TSocketHandle SocketHandle() const { return FSocket; }

 private:
  bool Stopping() const { return ShouldStop && ShouldStop(); }
  // Raises what stops a send that waits for room: a stop request, or Deadline passed.
  void CheckWait(TDeadline Deadline) const;
  TSocketHandle OpenSocket(const TTcpAddress& Address, TDeadline Deadline);
  bool WaitFor(short Events, int32_t TimeoutMs);

  TSocketHandle FSocket = -1;
  TFIFOStream FReceived;
};
