#include "rtl/ProgramFolder.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <system_error>

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  std::string exe(path, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/') + 1);
}

static bool HoldsHomePage(const std::string& Folder) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(Folder + "home.htm", ignored);
}

// A folder path as the functions here hand it back: "./" for none, always a trailing "/".
static std::string AsFolder(const std::string& Folder) {
  std::string folder = Folder.empty() ? "./" : Folder;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string PageTemplateFolder(const std::string& ProgramFolder) {
  std::string beside = AsFolder(ProgramFolder);
  if (HoldsHomePage(beside)) return beside;
  // Installed: <prefix>/bin/tallybox-utility with its pages in <prefix>/share/tallybox-utility.
  std::string installed =
      (std::filesystem::path(beside) / "../share/tallybox-utility/").lexically_normal().string();
  if (HoldsHomePage(installed)) return installed;
  return beside;
}

std::string PageTemplateFolder() {
  return PageTemplateFolder(ProgramFolder());
}

bool PagesInstalled(const std::string& PageFolder, const std::string& ProgramFolder) {
  return PageFolder != AsFolder(ProgramFolder);
}
