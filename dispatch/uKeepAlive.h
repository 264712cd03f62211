// TCP keep-alive for the device connection: probes start after a quiet spell, so a device
// that vanished without closing the connection is noticed.
#pragma once

#include <cstdint>

#include "transport/uSocketHandle.h"

class TTcpClient;

// TimeMs > 0 switches keep-alive on with that idle time and IntervalMs between probes;
// otherwise it switches it off. Returns 0 on success, -1 on failure.
int32_t SetKeepAlive(TSocketHandle Socket, int32_t TimeMs, int32_t IntervalMs);

// The same on a connected client; the result is dropped (the connection works without it).
void SetConnectionKeepAlive(TTcpClient& Connection, int32_t TimeMs, int32_t IntervalMs);
