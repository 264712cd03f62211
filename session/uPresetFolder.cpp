#include "session/uPresetFolder.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "rtl/Exceptions.h"
#include "rtl/UserFolders.h"

namespace fs = std::filesystem;

namespace {

fs::path PresetPath(const std::string& Base, const std::string& PageVersion) {
  return fs::path(Base) / "Settings" / PageVersion;
}

// An existing folder lets create_directories succeed without writing anything, so whether
// files can go in it is asked separately.
bool MadeWritable(const fs::path& Folder) {
  if (FolderOfAnotherUser(Folder.string())) return false;
  std::error_code ec;
  fs::create_directories(Folder, ec);
  return !ec && fs::is_directory(Folder, ec) && ::access(Folder.string().c_str(), W_OK) == 0;
}

}  // namespace

bool IsPlainFolderName(const std::string& Name) {
  return !Name.empty() && Name != "." && Name != ".." &&
         Name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string PresetFolder(const std::string& ProgramFolder, const std::string& PageVersion,
                         const std::string& UserDataFolder) {
  if (!IsPlainFolderName(PageVersion))
    throw Exception(Format("Invalid page folder name \"%s\"", PageVersion.c_str()));
  const fs::path beside = PresetPath(ProgramFolder, PageVersion);
  if (MadeWritable(beside) || UserDataFolder.empty()) return beside.string();
  const fs::path own = PresetPath(UserDataFolder, PageVersion);
  MadeWritable(own);
  return own.string();
}
