// Hostile settings store files: whatever parses must write back to a text that parses to the
// same store, so a save never turns a readable store into a damaged one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/uRegText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TRegText text;
  if (!ParseRegText(std::string_view(reinterpret_cast<const char*>(Data), Size), text)) return 0;
  TRegText again;
  if (!ParseRegText(FormatRegText(text), again) || !(again == text)) std::abort();
  return 0;
}
