// On Windows the loop polls sockets only, so the stop signal is a byte on a loopback
// connection of the simulator's own, sent from the console's control handler thread.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "sim/uSimStop.h"

namespace {
SOCKET gStopSender = INVALID_SOCKET;

BOOL WINAPI OnControl(DWORD) {
  const char byte = 1;
  send(gStopSender, &byte, 1, 0);
  return TRUE;
}

// A connected pair of loopback sockets: the receiving end is returned, the sending end kept.
SOCKET LoopbackPair() {
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  SOCKET receiver = INVALID_SOCKET;
  if (listener != INVALID_SOCKET &&
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      listen(listener, 1) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    gStopSender = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (connect(gStopSender, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
      receiver = accept(listener, nullptr, nullptr);
  }
  if (listener != INVALID_SOCKET) closesocket(listener);
  return receiver;
}
}  // namespace

int InstallStopHandlers() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return -1;
  const SOCKET receiver = LoopbackPair();
  if (receiver == INVALID_SOCKET) return -1;
  SetConsoleCtrlHandler(OnControl, TRUE);
  return static_cast<int>(receiver);
}
