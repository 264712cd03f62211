#include "support/LoopbackPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

TLoopbackPeer::TLoopbackPeer(const std::string& Address, int Backlog) {
  FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(6024);
  inet_pton(AF_INET, Address.c_str(), &a.sin_addr);
  if (bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(FListen, Backlog) != 0)
    throw std::runtime_error("cannot listen on " + Address + ":6024");
}

TLoopbackPeer::~TLoopbackPeer() {
  CloseConnection();
  close(FListen);
}

bool TLoopbackPeer::Accept(int TimeoutMs) {
  pollfd p{FListen, POLLIN, 0};
  if (poll(&p, 1, TimeoutMs) <= 0) return false;
  FConnection = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
  return FConnection >= 0;
}

void TLoopbackPeer::Send(const std::string& Bytes) {
  size_t sent = 0;
  while (sent < Bytes.size()) {
    const ssize_t n = send(FConnection, Bytes.data() + sent, Bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("peer send failed");
    sent += static_cast<size_t>(n);
  }
}

std::string TLoopbackPeer::Receive(size_t Count, int TimeoutMs) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  char buf[65536];
  while (out.size() < Count && std::chrono::steady_clock::now() < deadline) {
    pollfd p{FConnection, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(FConnection, buf, std::min(sizeof buf, Count - out.size()), 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

bool TLoopbackPeer::SeesClose(int TimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  char buf[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{FConnection, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(FConnection, buf, sizeof buf, 0);
    if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
  }
  return false;
}

void TLoopbackPeer::CloseConnection() {
  if (FConnection >= 0) close(FConnection);
  FConnection = -1;
}

void TLoopbackPeer::EndSending() {
  if (FConnection >= 0) shutdown(FConnection, SHUT_WR);
}
