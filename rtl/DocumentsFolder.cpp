#include "rtl/DocumentsFolder.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool IsFolder(const std::string& Path) {
  std::error_code ec;
  return !Path.empty() && fs::is_directory(Path, ec);
}

// Only a folder below the home folder is made: a documents folder elsewhere that is missing
// (an unmounted share) is not recreated on the local disk.
bool Within(const fs::path& Path, const fs::path& Folder) {
  const fs::path relative = Path.lexically_normal().lexically_relative(Folder.lexically_normal());
  return !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
}

}  // namespace

std::string DocumentsOrHome(const std::string& Documents, const std::string& Home) {
  if (IsFolder(Documents)) return Documents;
  std::error_code ec;
  if (!Documents.empty() && IsFolder(Home) && Within(Documents, Home) &&
      fs::create_directories(Documents, ec) && !ec)
    return Documents;
  return IsFolder(Home) ? Home : std::string();
}
