// Keep-alive on Windows: the values go to the socket in one SIO_KEEPALIVE_VALS record.
#include <winsock2.h>
// mstcpip.h after winsock2.h.
#include <mstcpip.h>

#include "dispatch/uKeepAlive.h"
#include "transport/uTcpClient.h"

int32_t SetKeepAlive(TSocketHandle Socket, int32_t TimeMs, int32_t IntervalMs) {
  tcp_keepalive values{};
  if (TimeMs > 0)
    values = {0xFFFFFFFFu, static_cast<ULONG>(TimeMs), static_cast<ULONG>(IntervalMs)};
  DWORD returned = 0;
  return WSAIoctl(static_cast<SOCKET>(Socket), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr,
                  0, &returned, nullptr, nullptr);
}

void SetConnectionKeepAlive(TTcpClient& Connection, int32_t TimeMs, int32_t IntervalMs) {
  SetKeepAlive(Connection.SocketHandle(), TimeMs, IntervalMs);
}
