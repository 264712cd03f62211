// Per-user folders on Windows: the roaming application data folder (%APPDATA%) for the
// configuration and the data, the user's temporary folder for run-time files.
#include <windows.h>

#include <cstdlib>

#include "rtl/UserFolders.h"

namespace {
// An absolute Windows path ("C:\...", "\\server\...") with "/" for "\", no trailing "/".
std::string AbsoluteFolder(const char* Variable) {
  const char* value = std::getenv(Variable);
  if (!value || !*value) return "";
  std::string folder = value;
  for (char& c : folder)
    if (c == '\\') c = '/';
  const bool absolute =
      (folder.size() >= 3 && folder[1] == ':' && folder[2] == '/') || folder.rfind("//", 0) == 0;
  if (!absolute) return "";
  while (folder.size() > 3 && folder.back() == '/') folder.pop_back();
  return folder;
}
}  // namespace

std::string UserHomeFolder() {
  return AbsoluteFolder("USERPROFILE");
}

std::string UserConfigFolder() {
  const std::string appData = AbsoluteFolder("APPDATA");
  return appData.empty() ? "" : appData + "/Orvane";
}

std::string UserDataFolder() {
  const std::string config = UserConfigFolder();
  return config.empty() ? "" : config + "/TallyboxUtility";
}

std::string UserRuntimeFolder() {
  char path[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof path, path);
  if (n == 0 || n > MAX_PATH) return "C:/Windows/Temp";
  std::string folder(path, n);
  for (char& c : folder)
    if (c == '\\') c = '/';
  while (folder.size() > 3 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Each account's profile is its own: there is no root that runs with another user's folders.
bool FolderOfAnotherUser(const std::string&) {
  return false;
}
