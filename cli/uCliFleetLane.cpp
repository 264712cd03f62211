#include "cli/uCliFleetLane.h"

#include <filesystem>
#include <system_error>

#include "transport/uComPortMap.h"
#include "transport/uNetSerialPort.h"

namespace {

std::string SerialLane(const TRoute& Route, const std::string& Dev) {
  TNetSerialAddress server;
  if (ParseNetSerialUrl(Route.DevicePath, server))
    return "server " + server.Host + ":" + std::to_string(server.Port);
  const std::string path =
      Route.DevicePath.empty() ? ComDevicePath(Route.ComPort, Dev) : Route.DevicePath;
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(path, error);
  return "serial " + (error ? path : real.string());
}

}  // namespace

std::string FleetLane(const TRoute& Route, const std::string& Dev) {
  switch (Route.Kind) {
    case TRouteKind::Serial:
      return SerialLane(Route, Dev);
    case TRouteKind::DialUp:
      return "dial";
    default:
      return "";
  }
}
