// A way to the device: the route the wizard confirms, the main window remembers and offers
// again on Reconnect, the settings keep, and tallybox-cli takes from its options or from a
// line of a device list. MakeDispatcher is the one place a route becomes a connection worker.
#pragma once

#include <cstdint>
#include <string>

class TTerminalDispatcher;

// The values are those the settings keep under "Method"; a stored value outside them is kept
// as it is and offers no route.
enum class TRouteKind : int32_t { None = -1, DialUp = 0, Serial = 1, Tcp = 2 };

struct TRoute {
  TRouteKind Kind = TRouteKind::DialUp;
  std::string DialEntry;  // dial-up: the phone-book entry
  int32_t ComPort = -1;   // serial: COM1..COM255, below 1 for none
  std::string Host;       // TCP/IP: host name or address, as typed
  // Serial: a device opened by its path (or a terminal server's URL) instead of a COM number.
  std::string DevicePath;
  // Serial through a terminal server (tcp://HOST:PORT or rfc2217://HOST:PORT); the address is
  // kept while the COM port is the choice.
  std::string TerminalServer;
  bool ThroughServer = false;
  // Dial-up: the number, user name and password used instead of the entry's own ("" keeps it).
  std::string Phone, User, Password;

  // Whether MakeDispatcher can take it: the chosen kind has what it needs.
  bool Complete() const;
  // What the user knows the device by: "COM3", the device path or server, the host, the entry.
  std::string Name() const;

  bool operator==(const TRoute&) const = default;
};

// A new, suspended connection worker for Route; the caller owns it. Route must be Complete().
TTerminalDispatcher* MakeDispatcher(const TRoute& Route);
