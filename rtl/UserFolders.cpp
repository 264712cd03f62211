#include "rtl/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Relative paths in these variables are invalid by the XDG rules and are treated as unset.
const char* AbsoluteVariable(const char* Name) {
  const char* value = std::getenv(Name);
  return value && value[0] == '/' ? value : nullptr;
}

std::string AccountHomeFolder() {
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_dir || found->pw_dir[0] != '/')
    return "";
  return found->pw_dir;
}

// Variable when set, else <home>/HomeRelative, without a trailing slash (so "/" gives "");
// nullopt when neither is known.
std::optional<std::string> XdgFolder(const char* Variable, const char* HomeRelative) {
  std::string folder;
  if (const char* value = AbsoluteVariable(Variable)) {
    folder = value;
  } else {
    const std::string home = UserHomeFolder();
    if (home.empty()) return std::nullopt;
    folder = home + "/" + HomeRelative;
  }
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string UserHomeFolder() {
  if (const char* home = AbsoluteVariable("HOME")) return home;
  return AccountHomeFolder();
}

std::string UserConfigFolder() {
  const auto base = XdgFolder("XDG_CONFIG_HOME", ".config");
  return base ? *base + "/Orvane" : "";
}

std::string UserDataFolder() {
  const auto base = XdgFolder("XDG_DATA_HOME", ".local/share");
  return base ? *base + "/Orvane/TallyboxUtility" : "";
}

std::string UserRuntimeFolder() {
  if (const char* folder = AbsoluteVariable("XDG_RUNTIME_DIR")) return folder;
  return "/tmp";
}

namespace {

// True when Path or a folder above it that exists belongs to another user; each is looked at
// as it is, a link included, never through it.
bool AnotherUserOnPath(fs::path Path) {
  for (;; Path = Path.parent_path()) {
    struct stat st;
    if (::lstat(Path.c_str(), &st) == 0 && st.st_uid != 0) return true;
    if (Path == Path.parent_path()) return false;
  }
}

}  // namespace

// The path as given is looked at before it is resolved: a link of another user on it could
// point anywhere next time, even where root's own folder is now.
bool FolderOfAnotherUser(const std::string& Folder) {
  if (::geteuid() != 0) return false;
  std::error_code ec;
  const fs::path given = fs::absolute(Folder, ec).lexically_normal();
  if (AnotherUserOnPath(given)) return true;
  fs::path real = fs::weakly_canonical(given, ec);
  if (ec) real = given;
  return AnotherUserOnPath(real);
}
