// Hostile modem-trace text: decoding never reads past the text, never grows it, finds nothing
// without an opener, and whatever it decodes comes back unchanged when written as \xHH escapes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "session/uModemStrings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  const std::string decoded = ExtractModemStrings(text);
  if (decoded.size() > text.size()) std::abort();
  if (!HasModemStrings(text) && !decoded.empty()) std::abort();

  std::string escaped = "M:\"";
  for (unsigned char c : decoded) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    escaped += hex;
  }
  escaped += '"';
  if (ExtractModemStrings(escaped) != decoded) std::abort();
  return 0;
}
