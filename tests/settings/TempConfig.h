// Test support: a fresh temporary folder used as XDG_CONFIG_HOME for one test, removed again
// afterwards, and small file helpers for looking at the settings store beside it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class TTempConfig {
 public:
  TTempConfig() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tbx-settings-XXXXXX").string();
    Folder = ::mkdtemp(pattern.data()) ? pattern : "";
    EXPECT_FALSE(Folder.empty());
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) FOld = old, FHadOld = true;
    ::setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
  }
  ~TTempConfig() {
    if (FHadOld) {
      ::setenv("XDG_CONFIG_HOME", FOld.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }
  std::string StoreFolder() const { return Folder + "/Orvane"; }
  std::string StoreFile() const { return StoreFolder() + "/settings.reg"; }
  // Names in the store folder that start with Prefix, e.g. "settings.reg.damaged-".
  std::vector<std::string> FilesStartingWith(const std::string& Prefix) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(StoreFolder(), ec)) {
      const std::string name = e.path().filename().string();
      if (name.compare(0, Prefix.size(), Prefix) == 0) names.push_back(name);
    }
    return names;
  }

  std::string Folder;

 private:
  std::string FOld;
  bool FHadOld = false;
};

inline std::string ReadFileBytes(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFileBytes(const std::string& Name, const std::string& Bytes) {
  std::filesystem::create_directories(std::filesystem::path(Name).parent_path());
  std::ofstream(Name, std::ios::binary | std::ios::trunc) << Bytes;
}
