#include "transport/uSerialAccess.h"

#include <grp.h>
#include <pwd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "transport/uSerialDevices.h"

namespace fs = std::filesystem;

namespace {

std::string GroupName(gid_t Gid) {
  std::vector<char> buffer(16384);
  group entry;
  group* found = nullptr;
  if (::getgrgid_r(Gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return "";
  return found->gr_name;
}

// "crw-rw----", as ls shows it.
std::string ModeText(mode_t Mode) {
  std::string text = S_ISCHR(Mode) ? "c" : S_ISDIR(Mode) ? "d" : S_ISLNK(Mode) ? "l" : "-";
  const char* letters = "rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit) text += (Mode & (0400 >> bit)) ? letters[bit] : '-';
  return text;
}

std::string Refused(const std::string& Device, const struct stat* Node, const std::string& Group) {
  const bool groupMay = Node && (Node->st_mode & 060) == 060 && Node->st_gid != 0;
  if (groupMay && !Group.empty())
    return "You may not open " + Device + ": it belongs to the group " + Group +
           ". Add yourself to it (sudo adduser $USER " + Group + ") and log in again.";
  std::string text = "You may not open " + Device;
  if (Node)
    text += " (" + ModeText(Node->st_mode) + ", group " +
            (Group.empty() ? std::to_string(Node->st_gid) : Group) + ")";
  return text + ": ask the administrator of this computer for access to it.";
}

}  // namespace

std::string SerialOpenProblem(const std::string& Path, int Error) {
  std::error_code ec;
  std::string device = fs::canonical(Path, ec).string();
  if (ec) {
    // A link that leads nowhere names the adapter it was made for.
    const fs::path target = fs::read_symlink(Path, ec);
    device = ec ? Path : target.string();
  }
  struct stat node;
  const bool known = ::stat(device.c_str(), &node) == 0;
  return SerialOpenProblem(PrintableText(device), Error, known ? &node : nullptr,
                           known ? GroupName(node.st_gid) : "");
}

std::string SerialOpenProblem(const std::string& Device, int Error, const struct stat* Node,
                              const std::string& Group) {
  switch (Error) {
    case EACCES:
    case EPERM:
      return Refused(Device, Node, Group);
    case EBUSY:
    case EWOULDBLOCK:
      return Device + " is in use by another program. Close that program and try again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return Device + " is not there. Is the adapter plugged in?";
    default:
      return Device + ": " + std::strerror(Error);
  }
}
