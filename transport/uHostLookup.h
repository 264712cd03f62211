// Host-name lookup for the TCP client: turns the host text into socket addresses within the
// connect's time limit, and gives up as soon as the worker is asked to stop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "transport/uSocketHandle.h"

struct TTcpAddress {
  int Family = 0;
  int SockType = 0;
  int Protocol = 0;
  sockaddr_storage Address{};
  socklen_t Length = 0;
};

// Looks Host up for Port, blocking as long as it takes; raises ETcpError with the reason when
// the name is unknown. Tests put a lookup of their own in its place.
using THostResolver =
    std::function<std::vector<TTcpAddress>(const std::string& Host, uint16_t Port)>;

// The system's resolver (getaddrinfo), for TCP.
std::vector<TTcpAddress> SystemResolve(const std::string& Host, uint16_t Port);

// Runs Resolve and returns its addresses or raises its error. Raises ETcpError "Host lookup
// timed out" once Deadline has passed and "Connection cancelled" once ShouldStop (may be
// empty) holds, without waiting for Resolve to return.
std::vector<TTcpAddress> LookUpHost(const THostResolver& Resolve, const std::string& Host,
                                    uint16_t Port, std::chrono::steady_clock::time_point Deadline,
                                    const std::function<bool()>& ShouldStop);
