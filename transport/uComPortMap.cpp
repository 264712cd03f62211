#include "transport/uComPortMap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "rtl/UserFolders.h"
#include "transport/uComms.h"

namespace fs = std::filesystem;

namespace {

std::string LinkFolder() {
  const std::string config = UserConfigFolder();
  return config.empty() ? "" : config + "/TallyboxUtility";
}

std::string Resolved(const std::string& Path) {
  std::error_code ec;
  const fs::path path = fs::canonical(Path, ec);
  return ec ? "" : path.string();
}

const TSerialDevice* DeviceReached(const std::vector<TSerialDevice>& Devices,
                                   const std::string& Target, const std::string& Opens) {
  for (const TSerialDevice& device : Devices)
    if (Target == device.StablePath || Target == device.Node) return &device;
  const std::string real = Resolved(Opens);
  if (real.empty()) return nullptr;
  for (const TSerialDevice& device : Devices)
    if (Resolved(device.Node) == real) return &device;
  return nullptr;
}

TComPortEntry Entry(int32_t Number, const std::vector<TSerialDevice>& Devices,
                    const TSerialFolders& Folders) {
  TComPortEntry entry;
  entry.Number = Number;
  const std::string opens = ComDevicePath(Number, Folders.Dev);
  std::error_code ec;
  const bool linked = opens == ComLinkPath(Number);
  if (linked) entry.Link = fs::is_symlink(opens, ec) ? fs::read_symlink(opens, ec).string() : opens;
  const TSerialDevice* device = DeviceReached(Devices, linked ? entry.Link : opens, opens);
  if (device) {
    entry.Node = device->Node;
    entry.Description = device->Description;
  } else if (linked && fs::exists(opens, ec)) {
    entry.Node = entry.Link;
  }
  return entry;
}

void Fail(int32_t Number, const std::string& Reason) {
  throw ECommPort("Cannot assign COM" + std::to_string(Number) + ": " + Reason);
}

void MakeFolders(int32_t Number, const std::string& Path) {
  for (size_t slash = 1; slash != std::string::npos;) {
    slash = Path.find('/', slash + 1);
    const std::string part = Path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      Fail(Number, part + ": " + std::strerror(errno));
  }
}

// The folder itself is opened without following a link, and the new link is made and renamed
// inside that open folder, so a link swapped in for the folder cannot redirect either step.
void ReplaceLink(int32_t Number, const std::string& Folder, const std::string& Target) {
  const int folder = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) Fail(Number, Folder + ": " + std::strerror(errno));
  static std::atomic<unsigned> counter{0};
  const std::string name = "com" + std::to_string(Number);
  std::string temp;
  int error = 0;
  do {
    temp = "." + name + ".new" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    error = ::symlinkat(Target.c_str(), folder, temp.c_str()) == 0 ? 0 : errno;
  } while (error == EEXIST);
  if (error == 0 && ::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) {
    error = errno;
    ::unlinkat(folder, temp.c_str(), 0);
  }
  ::close(folder);
  if (error != 0) Fail(Number, Folder + "/" + name + ": " + std::strerror(error));
}

}  // namespace

std::string ComLinkPath(int32_t Number) {
  const std::string folder = LinkFolder();
  return folder.empty() ? "" : folder + "/com" + std::to_string(Number);
}

std::string ComDevicePath(int32_t Number, const std::string& Dev) {
  const std::string link = ComLinkPath(Number);
  struct stat info;
  if (!link.empty() && ::lstat(link.c_str(), &info) == 0) return link;
  return Dev + "/ttyS" + std::to_string(Number - 1);
}

std::vector<TComPortEntry> ListComPorts(const std::vector<TSerialDevice>& Devices,
                                        const TSerialFolders& Folders) {
  std::vector<TComPortEntry> entries;
  for (int32_t n = 1; n <= ComPortCount; ++n) entries.push_back(Entry(n, Devices, Folders));
  return entries;
}

std::string ComPortLine(const TComPortEntry& Entry) {
  std::string line = "COM" + std::to_string(Entry.Number) + " \u2014 ";
  if (Entry.Node.empty()) {
    line += "nothing";
    if (!Entry.Link.empty()) line += " (" + PrintableText(Entry.Link) + " is not there)";
  } else {
    line += PrintableText(Entry.Node);
    if (!Entry.Description.empty()) line += " (" + PrintableText(Entry.Description) + ")";
  }
  return line;
}

void AssignComPort(int32_t Number, const TSerialDevice& Device) {
  if (Number < 1 || Number > ComPortCount) Fail(Number, "there is no such COM port here");
  const std::string folder = LinkFolder();
  if (folder.empty()) Fail(Number, "there is no folder for per-user files (HOME is not set)");
  if (FolderOfAnotherUser(folder))
    Fail(Number, folder + " belongs to another user; run the program as that user");
  MakeFolders(Number, folder);
  ReplaceLink(Number, folder, Device.StablePath.empty() ? Device.Node : Device.StablePath);
}
