// COM1 to COM9 on Windows: COMn is the system's own COMn, so there are no links to keep.
#include <string>

#include "transport/uComPortMap.h"
#include "transport/uComms.h"

std::string ComLinkPath(int32_t) {
  return "";
}

std::string ComDevicePath(int32_t Number, const std::string&) {
  return "\\\\.\\COM" + std::to_string(Number);
}

std::vector<TComPortEntry> ListComPorts(const std::vector<TSerialDevice>& Devices,
                                        const TSerialFolders&) {
  std::vector<TComPortEntry> entries;
  for (int32_t n = 1; n <= ComPortCount; ++n) {
    TComPortEntry entry;
    entry.Number = n;
    for (const TSerialDevice& device : Devices) {
      if (device.Node != "COM" + std::to_string(n)) continue;
      entry.Node = device.Node;
      entry.Description = device.Description;
    }
    entries.push_back(entry);
  }
  return entries;
}

// "COM3 — USB Serial Port (COM3)", "COM1 — present", "COM5 — nothing".
std::string ComPortLine(const TComPortEntry& Entry) {
  std::string line = "COM" + std::to_string(Entry.Number) + " \u2014 ";
  if (Entry.Node.empty()) return line + "nothing";
  return line + PrintableText(Entry.Description.empty() ? "present" : Entry.Description);
}

void AssignComPort(int32_t Number, const TSerialDevice&) {
  throw ECommPort("Cannot assign COM" + std::to_string(Number) +
                  ": Windows numbers its ports itself (Device Manager, Ports, Advanced)");
}
