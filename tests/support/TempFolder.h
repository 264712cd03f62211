// A fresh temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& Prefix = "tallybox") {
    std::string pattern = (std::filesystem::temp_directory_path() / (Prefix + "-XXXXXX")).string();
#ifdef _WIN32
    if (::_mktemp_s(pattern.data(), pattern.size() + 1) != 0 ||
        !std::filesystem::create_directory(pattern))
#else
    if (!::mkdtemp(pattern.data()))
#endif
      throw std::runtime_error("cannot create a temporary folder");
    Folder = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  std::string Path(const std::string& Name) const {
    return (Folder / Name).string();
  }

  std::filesystem::path Folder;
};
