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

std::string PageTemplateFolder(const std::string& ProgramFolder) {
  std::string beside = ProgramFolder.empty() ? "./" : ProgramFolder;
  if (beside.back() != '/') beside += '/';
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

bool PagesInstalled(const std::string& ProgramFolder) {
  std::string beside = ProgramFolder.empty() ? "./" : ProgramFolder;
  if (beside.back() != '/') beside += '/';
  return PageTemplateFolder(beside) != beside;
}
