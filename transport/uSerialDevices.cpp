#include "transport/uSerialDevices.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

std::string Variable(const char* Name, const char* Default) {
  const char* value = std::getenv(Name);
  return value && value[0] == '/' ? value : Default;
}

// The first line of a sysfs attribute, "" when there is none.
std::string Attribute(const fs::path& File) {
  std::ifstream in(File);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// A USB adapter's own words: manufacturer and product of the USB device above the tty's
// interface ("FTDI" "FT232R USB UART"). Other buses name nothing a person would recognise.
std::string UsbDescription(const fs::path& TtyEntry) {
  std::error_code ec;
  fs::path at = fs::canonical(TtyEntry / "device", ec);
  for (int up = 0; !ec && up < 4 && at.has_relative_path(); ++up, at = at.parent_path()) {
    if (!fs::exists(at / "idVendor", ec)) continue;
    const std::string maker = Attribute(at / "manufacturer");
    const std::string product = Attribute(at / "product");
    if (maker.empty() || product.starts_with(maker)) return product;
    return product.empty() ? maker : maker + " " + product;
  }
  return "";
}

// A built-in port is listed by the kernel whether or not a UART answered; type 0 is none.
bool HasHardware(const fs::path& TtyEntry, const std::string& Name) {
  std::error_code ec;
  if (!fs::exists(TtyEntry / "device", ec)) return false;
  if (!Name.starts_with("ttyS")) return true;
  const std::string type = Attribute(TtyEntry / "type");
  return !type.empty() && type != "0";
}

// What a by-id name says when sysfs says nothing: "usb-FTDI_FT232R_USB_UART_A5-if00-port0"
// gives "FTDI FT232R USB UART A5".
std::string NameDescription(std::string Name) {
  for (const char* bus : {"usb-", "pci-", "platform-"})
    if (Name.starts_with(bus)) Name.erase(0, std::string(bus).size());
  if (const size_t cut = Name.rfind("-if"); cut != std::string::npos && cut > 0) Name.resize(cut);
  std::replace(Name.begin(), Name.end(), '_', ' ');
  return Name;
}

void AddKernelDevices(const TSerialFolders& Folders, std::map<std::string, TSerialDevice>& Found) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Folders.SysClassTty, ec)) {
    const std::string name = entry.path().filename().string();
    if (!HasHardware(entry.path(), name)) continue;
    std::string node = name;
    std::replace(node.begin(), node.end(), '!', '/');  // how sysfs writes a slash in a name
    node = Folders.Dev + "/" + node;
    std::error_code missing;
    if (!fs::exists(node, missing)) continue;
    TSerialDevice& device = Found[node];
    device.Node = node;
    device.Description = UsbDescription(entry.path());
  }
}

// udev's links are relative ("../../ttyUSB0"): resolved by name, not followed, so the node
// keeps the name the kernel gave it.
void AddStableNames(const TSerialFolders& Folders, std::map<std::string, TSerialDevice>& Found) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Folders.ById, ec)) {
    std::error_code bad;
    const fs::path target = fs::read_symlink(entry.path(), bad);
    if (bad || !fs::exists(entry.path(), bad)) continue;
    const std::string node = (fs::path(Folders.ById) / target).lexically_normal().string();
    TSerialDevice& device = Found[node];
    device.Node = node;
    if (device.StablePath.empty() || entry.path().string() < device.StablePath)
      device.StablePath = entry.path().string();
    if (device.Description.empty())
      device.Description = NameDescription(entry.path().filename().string());
  }
}

}  // namespace

TSerialFolders TSerialFolders::FromEnvironment() {
  return {Variable("TALLYBOX_SERIAL_BY_ID", "/dev/serial/by-id"),
          Variable("TALLYBOX_SYS_CLASS_TTY", "/sys/class/tty"), Variable("TALLYBOX_DEV", "/dev")};
}

std::vector<TSerialDevice> ListSerialDevices(const TSerialFolders& Folders) {
  std::map<std::string, TSerialDevice> found;
  AddKernelDevices(Folders, found);
  AddStableNames(Folders, found);
  std::vector<TSerialDevice> devices;
  for (auto& [node, device] : found) {
    device.Description = PrintableText(device.Description);
    devices.push_back(std::move(device));
  }
  return devices;
}
