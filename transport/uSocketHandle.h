// The system's socket handle as the TCP client and the keep-alive call pass it around.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using TSocketHandle = intptr_t;  // a SOCKET; INVALID_SOCKET reads as -1
#else
#include <sys/socket.h>
using TSocketHandle = int;
#endif
