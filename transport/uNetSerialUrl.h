// The address of a serial line behind a terminal server, as the user types it:
// "tcp://HOST:PORT" (the device's bytes as they are) or "rfc2217://HOST:PORT" (telnet with the
// COM-PORT-OPTION). The serial dispatcher, the command line and the connection wizard read it.
#pragma once

#include <cstdint>
#include <string>

struct TNetSerialAddress {
  bool Rfc2217 = false;
  std::string Host;
  uint16_t Port = 0;
};

// True for a text that names a network line ("scheme://..."), good or bad.
bool IsNetSerialUrl(const std::string& Text);
// "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (an IPv6 address in brackets, a port from 1 to
// 65535); false for anything else.
bool ParseNetSerialUrl(const std::string& Url, TNetSerialAddress& Address);
std::string NetSerialUrl(const TNetSerialAddress& Address);
