#include "rtl/Exceptions.h"

#include <cstdarg>
#include <cstdio>

std::string Format(const char* Pattern, ...) {
  va_list args;
  va_start(args, Pattern);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, Pattern, args);
  va_end(args);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, Pattern, again);
  va_end(again);
  return out;
}
