#include "dispatch/uRoute.h"

#include "dispatch/uModemDispatcher.h"
#include "dispatch/uTerminalDispatcher.h"

bool TRoute::Complete() const {
  switch (Kind) {
    case TRouteKind::DialUp:
      return !DialEntry.empty();
    case TRouteKind::Serial:
      return ThroughServer ? !TerminalServer.empty() : !DevicePath.empty() || ComPort >= 1;
    case TRouteKind::Tcp:
      return !Host.empty();
    default:
      return false;
  }
}

std::string TRoute::Name() const {
  switch (Kind) {
    case TRouteKind::DialUp:
      return DialEntry;
    case TRouteKind::Serial:
      if (ThroughServer) return TerminalServer;
      return DevicePath.empty() ? "COM" + std::to_string(ComPort) : DevicePath;
    default:
      return Host;
  }
}

TTerminalDispatcher* MakeDispatcher(const TRoute& Route) {
  switch (Route.Kind) {
    case TRouteKind::Serial:
      if (Route.ThroughServer) return new TComPortDispatcher(Route.TerminalServer);
      if (!Route.DevicePath.empty()) return new TComPortDispatcher(Route.DevicePath);
      return new TComPortDispatcher(Route.ComPort);
    case TRouteKind::Tcp:
      return new TTCPDispatcher(Route.Host);
    default:
      return new TModemDispatcher(Route.DialEntry, Route.Phone, Route.User, Route.Password);
  }
}
