// Preloaded into ser2net by the tests: its address lookups ask only for address families
// that have a configured address, and loopback does not count, so in a test's own network
// namespace (loopback alone) it could not listen even on 127.0.0.1. This drops that flag.
#include <dlfcn.h>
#include <netdb.h>

extern "C" int getaddrinfo(const char* Node, const char* Service, const addrinfo* Hints,
                           addrinfo** Result) {
  using TLookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const auto real = reinterpret_cast<TLookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
  addrinfo hints{};
  if (Hints) {
    hints = *Hints;
    hints.ai_flags &= ~AI_ADDRCONFIG;
    Hints = &hints;
  }
  return real(Node, Service, Hints, Result);
}
