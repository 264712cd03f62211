// What the TCP client does the same on every platform: one time limit for the whole connect
// (the lookup and however many addresses it gave) and the receive queue. The sockets
// themselves are each platform's own.
#include <chrono>

#include "transport/uTcpClient.h"

TTcpClient::TTcpClient() : FReceived(8192, 0) {}

TTcpClient::~TTcpClient() {
  Disconnect();
}

void TTcpClient::Connect(int32_t TimeoutMs) {
  Disconnect();
  FReceived.Seek(0, 2);
  FReceived.DiscardRead();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  const auto addresses = LookUpHost(Resolver, Host, Port, deadline, [this] { return Stopping(); });
  std::string lastError = "No address";
  for (const TTcpAddress& a : addresses) {
    try {
      FSocket = OpenSocket(a, deadline);
      return;
    } catch (const ETcpError& e) {
      lastError = e.what();
      if (Stopping()) break;
    }
  }
  throw ETcpError(lastError);
}

void TTcpClient::CheckWait(TDeadline Deadline) const {
  if (Stopping()) throw ETcpError("Send cancelled");
  if (std::chrono::steady_clock::now() >= Deadline) throw ETcpError("Send timed out");
}

bool TTcpClient::SendLastWord(const void* Buffer, int32_t Count, int32_t TimeoutMs) noexcept {
  std::function<bool()> stop;
  stop.swap(ShouldStop);  // the stop request is why this is the last word
  bool sent = true;
  try {
    Send(Buffer, Count, std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs));
  } catch (...) {
    sent = false;  // a peer that takes nothing more, or has gone: the close goes on
  }
  stop.swap(ShouldStop);
  return sent;
}

int32_t TTcpClient::Available() {
  return static_cast<int32_t>(FReceived.Size());
}

void TTcpClient::Take(void* Buffer, int32_t Count) {
  FReceived.Seek(0, 0);
  FReceived.ReadBuffer(Buffer, Count);
  FReceived.DiscardRead();
}
