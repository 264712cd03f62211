#include "transport/uTcpClient.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace {
// Far more than a device sends in one go, so each poll takes everything the socket holds and
// the device is never kept waiting to send its last bytes; beyond it the kernel holds the
// bytes and TCP flow control slows a device that floods instead of this queue growing.
constexpr int32_t ReceiveQueueLimit = 4 << 20;
constexpr int32_t ReceiveChunk = 16384;
constexpr int32_t WaitSliceMs = 50;

std::string SystemText(int Error) {
  return std::strerror(Error);
}

// Closes a socket that never made it to a connection.
struct TSocketGuard {
  int Fd;
  ~TSocketGuard() {
    if (Fd >= 0) close(Fd);
  }
  int Release() { return std::exchange(Fd, -1); }
};
}  // namespace

// Non-blocking connect, waited for in short slices so a stop request is seen quickly.
int TTcpClient::OpenSocket(const TTcpAddress& Address, TDeadline Deadline) {
  const int fd =
      socket(Address.Family, Address.SockType | SOCK_NONBLOCK | SOCK_CLOEXEC, Address.Protocol);
  if (fd < 0) throw ETcpError("Cannot create socket: " + SystemText(errno));
  TSocketGuard guard{fd};
  if (LocalPort != 0) {
    sockaddr_storage local{};
    std::memcpy(&local, &Address.Address, Address.Length);
    reinterpret_cast<sockaddr_in&>(local).sin_port = htons(LocalPort);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), Address.Length) != 0)
      throw ETcpError("Cannot bind local port: " + SystemText(errno));
  }
  if (connect(fd, reinterpret_cast<const sockaddr*>(&Address.Address), Address.Length) != 0 &&
      errno != EINPROGRESS)
    throw ETcpError(SystemText(errno));

  for (;;) {
    if (Stopping()) throw ETcpError("Connection cancelled");
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          Deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) throw ETcpError("Connection timed out");
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<int64_t>(left, WaitSliceMs)));
    if (ready < 0 && errno != EINTR) throw ETcpError(SystemText(errno));
    if (ready > 0) break;
  }
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  if (error != 0) throw ETcpError(SystemText(error));
  // A request line or a typed key goes out at once: held back for the peer's delayed
  // acknowledgement it would wait tens of milliseconds.
  const int noDelay = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  return guard.Release();
}

void TTcpClient::PollReceive() {
  if (FSocket < 0) return;
  char chunk[ReceiveChunk];
  while (FReceived.Size() < ReceiveQueueLimit) {
    const ssize_t n = recv(FSocket, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      FReceived.Seek(0, 2);
      FReceived.Write(chunk, static_cast<int32_t>(n));
      continue;
    }
    // A reset is the device ending the stream too (it closed without reading what it was
    // sent); the bytes it sent before are read first and kept.
    if (n == 0 || errno == ECONNRESET) {
      Disconnect();
      return;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;
    const int error = errno;
    Disconnect();
    throw ETcpError("Receive failed: " + SystemText(error));
  }
}

void TTcpClient::Send(const void* Buffer, int32_t Count, TDeadline Deadline) {
  const char* p = static_cast<const char*>(Buffer);
  while (Count > 0) {
    if (FSocket < 0) throw ETcpError("Not connected");
    const ssize_t n = send(FSocket, p, static_cast<size_t>(Count), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      p += n;
      Count -= static_cast<int32_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The device is not reading; wait for room, but never past a stop request.
      CheckWait(Deadline);
      WaitFor(POLLOUT, WaitSliceMs);
    } else if (n < 0 && (errno == ECONNRESET || errno == EPIPE)) {
      // The device has ended the connection and takes nothing more. What it sent before is
      // still readable, and the next PollReceive ends the stream after it.
      return;
    } else if (n < 0 && errno != EINTR) {
      throw ETcpError("Send failed: " + SystemText(errno));
    }
  }
}

bool TTcpClient::WaitFor(short Events, int32_t TimeoutMs) {
  pollfd p{FSocket, Events, 0};
  return poll(&p, 1, TimeoutMs) > 0;
}

void TTcpClient::Disconnect() {
  if (FSocket < 0) return;
  close(FSocket);
  FSocket = -1;
}
