// Reports what the dial-up binding found when this program started: whether a service
// library was loaded and what its phone-book listing answered. Run by the binding's tests.
#include <cstdio>

#include "transport/Ras.h"

int main() {
  RASENTRYNAMEA entries[4] = {};
  entries[0].dwSize = sizeof(RASENTRYNAMEA);
  uint32_t size = sizeof entries;
  uint32_t count = 0;
  const uint32_t result = RasEnumEntries(nullptr, nullptr, entries, &size, &count);
  std::printf("loaded=%d listing=%u entries=%u\n", RasLoaded() ? 1 : 0, result, count);
  return 0;
}
