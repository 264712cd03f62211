// The simulator's sockets on Windows Sockets 2. Socket handles are small numbers, so the loop
// keeps them in its int descriptors as it does elsewhere.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <system_error>
#include <vector>

#include "sim/uSimTcp.h"

namespace {
SOCKET AsSocket(int Fd) {
  return static_cast<SOCKET>(static_cast<intptr_t>(Fd));
}

std::string SocketText() {
  return std::system_category().message(WSAGetLastError());
}
}  // namespace

int SimListen(const std::string& Address, unsigned short Port, std::string& Error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(Port);
  if (inet_pton(AF_INET, Address.c_str(), &address.sin_addr) != 1) {
    Error = "not an IPv4 address: " + Address;
    return -1;
  }
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    Error = "socket: " + SocketText();
    return -1;
  }
  // Windows lets a second listener share the port with SO_REUSEADDR; exclusive use refuses it.
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0) {
    Error = "cannot listen on " + Address + ":" + std::to_string(Port) + ": " + SocketText();
    closesocket(s);
    return -1;
  }
  return static_cast<int>(s);
}

int SimAccept(int Listener) {
  const SOCKET s = accept(AsSocket(Listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return -1;
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  const int on = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<int>(s);
}

pollfd SimPollEntry(int Fd, short Events) {
  pollfd entry{};
  entry.fd = Fd < 0 ? INVALID_SOCKET : AsSocket(Fd);
  entry.events = Events;
  return entry;
}

// WSAPoll takes no empty entries, and waits for nothing when given none.
int SimPoll(pollfd* Fds, std::size_t Count, int TimeoutMs) {
  std::vector<pollfd> used;
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < Count; ++i) {
    Fds[i].revents = 0;
    if (Fds[i].fd == INVALID_SOCKET) continue;
    used.push_back(Fds[i]);
    at.push_back(i);
  }
  if (used.empty()) {
    Sleep(static_cast<DWORD>(TimeoutMs));
    return 0;
  }
  const int ready = WSAPoll(used.data(), static_cast<ULONG>(used.size()), TimeoutMs);
  for (std::size_t k = 0; ready > 0 && k < used.size(); ++k) Fds[at[k]].revents = used[k].revents;
  return ready;
}

long SimRead(int Fd, char* Buffer, std::size_t Count) {
  return recv(AsSocket(Fd), Buffer, static_cast<int>(Count), 0);
}

long SimWrite(int Fd, const char* Buffer, std::size_t Count) {
  return send(AsSocket(Fd), Buffer, static_cast<int>(Count), 0);
}

bool SimTryLater() {
  const int error = WSAGetLastError();
  return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool SimOutOfDescriptors() {
  return WSAGetLastError() == WSAEMFILE || WSAGetLastError() == WSAENOBUFS;
}

void SimClose(int Fd) {
  closesocket(AsSocket(Fd));
}
