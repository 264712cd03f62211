#include "session/uPageFolders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "rtl/LocaleCompare.h"

namespace {

bool SortsBefore(const std::string& A, const std::string& B) {
  return AnsiCompareText(A, B) < 0;
}

bool IsPageFolderName(const std::string& Name) {
  return !Name.empty() && (Name[0] == 'v' || Name[0] == 'V') && Name.find('.', 1) != Name.npos;
}

}  // namespace

std::vector<std::string> ListPageFolders(const std::string& Folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code statError;
    if (IsPageFolderName(name) && it->is_directory(statError)) names.push_back(name);
  }
  std::stable_sort(names.begin(), names.end(), SortsBefore);
  return names;
}

std::string SelectPageFolder(const std::vector<std::string>& Folders,
                             const std::string& DeviceVersion) {
  if (Folders.empty()) return std::string(kDefaultPageVersion);
  const std::string wanted = "v" + DeviceVersion;
  const auto at = std::lower_bound(Folders.begin(), Folders.end(), wanted, SortsBefore);
  if (at != Folders.end() && AnsiCompareText(*at, wanted) == 0) return *at;
  if (at != Folders.begin()) return *(at - 1);
  return Folders.back();
}
