#include "settings/uRegistry.h"

// The same key on every system; each keeps its values in its own way (uRegistryPosix.cpp,
// uRegistryWin.cpp).
std::string TOrvaneRegistry::KeyPathOf(const std::string& AppName) {
  std::string path = AppName;
  if (!path.empty() && path[0] == '\\') path.erase(0, 1);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return "Software\\Orvane\\" + path;
}
