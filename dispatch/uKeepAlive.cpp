#include "dispatch/uKeepAlive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>

#include "transport/uTcpClient.h"

namespace {
// The socket takes whole seconds; round up so a short time never means "off".
int Seconds(int32_t Ms) {
  return static_cast<int>(std::max<int64_t>(1, (int64_t{Ms} + 999) / 1000));
}

bool SetOption(int Socket, int Level, int Name, int Value) {
  return setsockopt(Socket, Level, Name, &Value, sizeof Value) == 0;
}
}  // namespace

int32_t SetKeepAlive(TSocketHandle Socket, int32_t TimeMs, int32_t IntervalMs) {
  if (TimeMs <= 0) return SetOption(Socket, SOL_SOCKET, SO_KEEPALIVE, 0) ? 0 : -1;
  const bool ok = SetOption(Socket, IPPROTO_TCP, TCP_KEEPIDLE, Seconds(TimeMs)) &&
                  SetOption(Socket, IPPROTO_TCP, TCP_KEEPINTVL, Seconds(IntervalMs)) &&
                  SetOption(Socket, SOL_SOCKET, SO_KEEPALIVE, 1);
  return ok ? 0 : -1;
}

void SetConnectionKeepAlive(TTcpClient& Connection, int32_t TimeMs, int32_t IntervalMs) {
  SetKeepAlive(Connection.SocketHandle(), TimeMs, IntervalMs);
}
