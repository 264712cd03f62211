// The user's time separator as the Windows locale settings give it.
#include <windows.h>

#include "rtl/DateTime.h"

namespace {
std::string SeparatorOf(const wchar_t* LocaleName) {
  wchar_t sep[8] = {};
  const int n = GetLocaleInfoEx(LocaleName, LOCALE_STIME, sep, 8);
  // The separator is one punctuation mark in every locale the device's code page can show.
  if (n != 2 || sep[0] >= 0x80) return ":";
  return std::string(1, static_cast<char>(sep[0]));
}
}  // namespace

// IcuLocale is a POSIX-style name ("fi_FI", "de"); Windows writes it with a hyphen.
std::string TimeSeparatorFor(const std::string& IcuLocale) {
  std::wstring name;
  for (const char c : IcuLocale) name += c == '_' ? L'-' : static_cast<wchar_t>(c);
  return SeparatorOf(name.empty() ? LOCALE_NAME_INVARIANT : name.c_str());
}

std::string TimeSeparator() {
  static const std::string separator = SeparatorOf(LOCALE_NAME_USER_DEFAULT);
  return separator;
}
