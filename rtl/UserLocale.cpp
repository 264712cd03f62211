#include "rtl/UserLocale.h"

#include <cstdlib>

std::string IcuLocaleFromPosix(const std::string& PosixName) {
  std::string name = PosixName.substr(0, PosixName.find_first_of(".@"));
  if (name == "C" || name == "POSIX") return {};
  return name;
}

std::string UserIcuLocale(const char* CategoryVariable) {
  for (const char* var : {"LC_ALL", CategoryVariable, "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return IcuLocaleFromPosix(value);
  }
  return {};
}
