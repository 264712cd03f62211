// The name comparison on Windows: CompareStringEx under the user's locale with case ignored
// and nothing more, so names sort as the system's own lists sort them (word sort: a hyphen or
// an apostrophe weighs less than a letter, blanks still count).
#include <windows.h>

#include "rtl/AnsiText.h"
#include "rtl/LocaleCompare.h"

namespace {
constexpr DWORD kCompareFlags = NORM_IGNORECASE;

std::wstring WindowsLocaleName(const std::string& IcuLocale) {
  std::wstring name;
  for (const char c : IcuLocale) name += c == '_' ? L'-' : static_cast<wchar_t>(c);
  return name;
}

int32_t CompareIn(const wchar_t* Locale, const std::string& S1, const std::string& S2) {
  const std::u16string u1 = AnsiToUtf16(S1);
  const std::u16string u2 = AnsiToUtf16(S2);
  const int result =
      CompareStringEx(Locale, kCompareFlags, reinterpret_cast<const wchar_t*>(u1.data()),
                      static_cast<int>(u1.size()), reinterpret_cast<const wchar_t*>(u2.data()),
                      static_cast<int>(u2.size()), nullptr, nullptr, 0);
  if (result == 0) return S1 < S2 ? -1 : S1 > S2 ? 1 : 0;  // an unknown locale: plain order
  return result - CSTR_EQUAL;
}
}  // namespace

TTextCollator::TTextCollator(const std::string& IcuLocale) : FLocale(IcuLocale) {}

TTextCollator::~TTextCollator() = default;

int32_t TTextCollator::Compare(const std::string& S1, const std::string& S2) const {
  const std::wstring name = WindowsLocaleName(FLocale);
  return CompareIn(name.empty() ? LOCALE_NAME_INVARIANT : name.c_str(), S1, S2);
}

int32_t AnsiCompareText(const std::string& S1, const std::string& S2) {
  return CompareIn(LOCALE_NAME_USER_DEFAULT, S1, S2);
}
