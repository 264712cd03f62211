// The serial ports Windows knows: the COM names the drivers registered (the serial device map)
// with the names Device Manager shows for them (SetupAPI's friendly names).
#include <windows.h>
// SetupAPI after windows.h.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>

#include "transport/uSerialDevices.h"

namespace {

// COM number order: COM2 before COM10.
bool ComBefore(const std::string& A, const std::string& B) {
  return A.size() != B.size() ? A.size() < B.size() : A < B;
}

std::string RegistryText(HKEY Key, const char* Name) {
  char text[256] = {};
  DWORD size = sizeof text - 1, type = 0;
  if (RegQueryValueExA(Key, Name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return "";
  return std::string(text, strnlen(text, size));
}

// "COM3" -> "USB Serial Port (COM3)" for the ports of the Ports device class.
std::map<std::string, std::string> FriendlyNames() {
  std::map<std::string, std::string> names;
  HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::string port = RegistryText(key, "PortName");
    RegCloseKey(key);
    char friendly[256] = {};
    if (!port.empty() && SetupDiGetDeviceRegistryPropertyA(
                             set, &device, SPDRP_FRIENDLYNAME, nullptr,
                             reinterpret_cast<BYTE*>(friendly), sizeof friendly - 1, nullptr))
      names[port] = friendly;
  }
  SetupDiDestroyDeviceInfoList(set);
  return names;
}

// The COM names in HARDWARE\DEVICEMAP\SERIALCOMM: one value per port a driver has made.
std::vector<std::string> RegisteredPorts() {
  std::vector<std::string> ports;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return ports;
  for (DWORD i = 0;; ++i) {
    char name[256], data[256] = {};
    DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
    const LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS && type == REG_SZ) ports.emplace_back(data, strnlen(data, dataSize));
  }
  RegCloseKey(key);
  return ports;
}

}  // namespace

// Windows needs no folders to be told: the lists come from the system.
TSerialFolders TSerialFolders::FromEnvironment() {
  return {};
}

std::vector<TSerialDevice> ListSerialDevices(const TSerialFolders&) {
  std::vector<std::string> ports = RegisteredPorts();
  std::sort(ports.begin(), ports.end(), ComBefore);
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  const std::map<std::string, std::string> names = FriendlyNames();
  std::vector<TSerialDevice> devices;
  for (const std::string& port : ports) {
    TSerialDevice device;
    device.Node = PrintableText(port);
    if (const auto named = names.find(port); named != names.end())
      device.Description = PrintableText(named->second);
    devices.push_back(std::move(device));
  }
  return devices;
}
