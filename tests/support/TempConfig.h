// Test support for the settings and serial port tests: a fresh temporary folder used as
// XDG_CONFIG_HOME for one test and removed afterwards, with the places the program keeps in it
// (the settings store, and the com<n> links that point COM ports at devices).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TempFolder.h"

#ifdef _WIN32
// The C run-time's names for the same two calls.
inline int setenv(const char* Name, const char* Value, int) {
  return ::_putenv_s(Name, Value);
}
inline int unsetenv(const char* Name) {
  return ::_putenv_s(Name, "");
}
#endif

class TTempConfig {
 public:
  TTempConfig() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) FOld = old;
    ::setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
  }
  ~TTempConfig() {
    if (FOld) {
      ::setenv("XDG_CONFIG_HOME", FOld->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  TTempConfig(const TTempConfig&) = delete;
  TTempConfig& operator=(const TTempConfig&) = delete;

  std::filesystem::path Root() const { return Folder; }
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

  // Where the link for COM<Port> goes; its folder is made on the way.
  std::string LinkPath(int Port) const {
    const std::string folder = StoreFolder() + "/TallyboxUtility";
    std::filesystem::create_directories(folder);
    return folder + "/com" + std::to_string(Port);
  }
  // Makes COM<Port> resolve to Target.
  std::string Link(int Port, const std::string& Target) const {
    const std::string link = LinkPath(Port);
    std::filesystem::remove(link);
    std::filesystem::create_symlink(Target, link);
    return link;
  }

  TTempFolder FTemp{"tbx-config"};  // removed after XDG_CONFIG_HOME is restored
  std::string Folder = FTemp.Folder.string();

 private:
  std::optional<std::string> FOld;
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
