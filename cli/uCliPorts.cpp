#include "cli/uCliPorts.h"

#include <string>
#include <vector>

#include "cli/uCliExit.h"
#include "cli/uJson.h"
#include "transport/uComPortMap.h"
#include "transport/uSerialDevices.h"

namespace {

// Paths and descriptions are UTF-8 (made printable first), not the device's code page, so
// they are written as they are with only the two characters JSON reserves escaped.
std::string Utf8Json(const std::string& Text) {
  if (Text.empty()) return "null";
  std::string out = "\"";
  for (const char c : PrintableText(Text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string PortsJson(const std::vector<TComPortEntry>& Ports,
                      const std::vector<TSerialDevice>& Devices) {
  std::vector<std::string> ports, devices;
  for (const TComPortEntry& p : Ports)
    ports.push_back(JsonObject({{"com", std::to_string(p.Number)},
                                {"device", Utf8Json(p.Node)},
                                {"description", Utf8Json(p.Description)},
                                {"link", Utf8Json(p.Link)}}));
  for (const TSerialDevice& d : Devices)
    devices.push_back(JsonObject({{"device", Utf8Json(d.Node)},
                                  {"stable", Utf8Json(d.StablePath)},
                                  {"description", Utf8Json(d.Description)}}));
  return JsonObject({{"ports", JsonArray(ports)}, {"devices", JsonArray(devices)}});
}

void PortsText(const std::vector<TComPortEntry>& Ports, const std::vector<TSerialDevice>& Devices,
               std::ostream& Out) {
  for (const TComPortEntry& p : Ports) Out << ComPortLine(p) << "\n";
  if (Devices.empty()) {
    Out << "\nNo serial devices found.\n";
    return;
  }
  Out << "\nSerial devices found (for --port, or to assign in the wizard):\n";
  for (const TSerialDevice& d : Devices) {
    Out << "  " << PrintableText(d.StablePath.empty() ? d.Node : d.StablePath);
    if (!d.StablePath.empty()) Out << "  " << PrintableText(d.Node);
    if (!d.Description.empty()) Out << "  (" << d.Description << ")";
    Out << "\n";
  }
}

}  // namespace

int RunPorts(bool Json, std::ostream& Out) {
  const TSerialFolders folders = TSerialFolders::FromEnvironment();
  const std::vector<TSerialDevice> devices = ListSerialDevices(folders);
  const std::vector<TComPortEntry> ports = ListComPorts(devices, folders);
  if (Json) {
    Out << PortsJson(ports, devices) << "\n";
  } else {
    PortsText(ports, devices, Out);
  }
  Out.flush();
  if (Out) return kExitOk;
  throw TCliFailure(kExitFailure, "cannot write the output");
}
