#include "rtl/ProgramFolder.h"

#include <filesystem>
#include <system_error>

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
