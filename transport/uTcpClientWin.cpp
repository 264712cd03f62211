// The TCP client on Windows Sockets 2: the same contract as elsewhere (see the header), with
// a non-blocking socket whose connect and room to send are waited for with select.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "transport/uTcpClient.h"

namespace {
constexpr int32_t ReceiveQueueLimit = 4 << 20;
constexpr int32_t ReceiveChunk = 16384;
constexpr int32_t WaitSliceMs = 50;

// Winsock is started once for the whole program and stays up until it ends.
struct TWinsock {
  bool Started = false;
  TWinsock() {
    WSADATA data;
    Started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~TWinsock() {
    if (Started) WSACleanup();
  }
};

void StartWinsock() {
  static const TWinsock winsock;
  if (!winsock.Started) throw ETcpError("Windows Sockets could not be started");
}

std::string SystemText(int Error) {
  return std::system_category().message(Error);
}

SOCKET AsSocket(TSocketHandle Handle) {
  return static_cast<SOCKET>(Handle);
}

// Closes a socket that never made it to a connection.
struct TSocketGuard {
  SOCKET Socket;
  ~TSocketGuard() {
    if (Socket != INVALID_SOCKET) closesocket(Socket);
  }
  SOCKET Release() { return std::exchange(Socket, INVALID_SOCKET); }
};

// Waits up to TimeoutMs for the socket to take more (or, connecting, to finish); a failed
// connect shows in the exception set.
int WaitWritable(SOCKET Socket, int32_t TimeoutMs, bool& Failed) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Socket, &writable);
  FD_SET(Socket, &failed);
  timeval wait{TimeoutMs / 1000, (TimeoutMs % 1000) * 1000};
  const int ready = select(0, nullptr, &writable, &failed, &wait);
  Failed = ready > 0 && FD_ISSET(Socket, &failed);
  return ready;
}
}  // namespace

TSocketHandle TTcpClient::OpenSocket(const TTcpAddress& Address, TDeadline Deadline) {
  StartWinsock();
  const SOCKET s = WSASocketW(Address.Family, Address.SockType, Address.Protocol, nullptr, 0,
                              WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET)
    throw ETcpError("Cannot create socket: " + SystemText(WSAGetLastError()));
  TSocketGuard guard{s};
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  if (LocalPort != 0) {
    sockaddr_storage local{};
    std::memcpy(&local, &Address.Address, Address.Length);
    reinterpret_cast<sockaddr_in&>(local).sin_port = htons(LocalPort);
    if (bind(s, reinterpret_cast<sockaddr*>(&local), Address.Length) != 0)
      throw ETcpError("Cannot bind local port: " + SystemText(WSAGetLastError()));
  }
  if (connect(s, reinterpret_cast<const sockaddr*>(&Address.Address), Address.Length) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK)
    throw ETcpError(SystemText(WSAGetLastError()));
  for (;;) {
    if (Stopping()) throw ETcpError("Connection cancelled");
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          Deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) throw ETcpError("Connection timed out");
    bool failed = false;
    const int ready =
        WaitWritable(s, static_cast<int32_t>(std::min<int64_t>(left, WaitSliceMs)), failed);
    if (ready < 0) throw ETcpError(SystemText(WSAGetLastError()));
    if (ready > 0) break;
  }
  int error = 0;
  int length = sizeof error;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
  if (error != 0) throw ETcpError(SystemText(error));
  // A request line or a typed key goes out at once, not after the peer's delayed ack.
  const BOOL noDelay = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  return static_cast<TSocketHandle>(guard.Release());
}

void TTcpClient::PollReceive() {
  if (FSocket < 0) return;
  char chunk[ReceiveChunk];
  while (FReceived.Size() < ReceiveQueueLimit) {
    const int n = recv(AsSocket(FSocket), chunk, sizeof chunk, 0);
    if (n > 0) {
      FReceived.Seek(0, 2);
      FReceived.Write(chunk, n);
      continue;
    }
    const int error = n == 0 ? 0 : WSAGetLastError();
    // A reset is the device ending the stream too; what it sent before is kept.
    if (n == 0 || error == WSAECONNRESET || error == WSAECONNABORTED) {
      Disconnect();
      return;
    }
    if (error == WSAEWOULDBLOCK) return;
    Disconnect();
    throw ETcpError("Receive failed: " + SystemText(error));
  }
}

void TTcpClient::Send(const void* Buffer, int32_t Count, TDeadline Deadline) {
  const char* p = static_cast<const char*>(Buffer);
  while (Count > 0) {
    if (FSocket < 0) throw ETcpError("Not connected");
    const int n = send(AsSocket(FSocket), p, Count, 0);
    const int error = n < 0 ? WSAGetLastError() : 0;
    if (n > 0) {
      p += n;
      Count -= n;
    } else if (error == WSAEWOULDBLOCK) {
      // The device is not reading; wait for room, but never past a stop request.
      CheckWait(Deadline);
      WaitFor(0, WaitSliceMs);
    } else if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN) {
      // The device has ended the connection; the next PollReceive ends the stream.
      return;
    } else if (n < 0) {
      throw ETcpError("Send failed: " + SystemText(error));
    }
  }
}

bool TTcpClient::WaitFor(short, int32_t TimeoutMs) {
  bool failed = false;
  return WaitWritable(AsSocket(FSocket), TimeoutMs, failed) > 0;
}

void TTcpClient::Disconnect() {
  if (FSocket < 0) return;
  closesocket(AsSocket(FSocket));
  FSocket = -1;
}
