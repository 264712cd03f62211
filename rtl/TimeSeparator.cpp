// The user's time separator as ICU's locale data gives it.
#include <unicode/udatpg.h>
#include <unicode/ustring.h>

#include <cctype>

#include "rtl/DateTime.h"
#include "rtl/UserLocale.h"

namespace {
// The text between the hour and the minute fields of the locale's best H:m:s pattern.
std::string SeparatorInPattern(const std::u16string& Pattern) {
  const size_t h = Pattern.rfind(u'H');
  const size_t m = Pattern.find(u'm', h == std::u16string::npos ? 0 : h);
  if (h == std::u16string::npos || m == std::u16string::npos || m == h + 1) return ":";
  std::u16string sep;
  for (char16_t c : Pattern.substr(h + 1, m - h - 1)) {
    if (c != u'\'') sep += c;
  }
  // Only a single punctuation mark separates; words and blanks between the fields ("14 h 03",
  // Korean unit signs) mean the locale has none, and the colon stays.
  if (sep.size() != 1 || sep[0] >= 0x80 || !std::ispunct(sep[0])) return ":";
  return std::string(1, static_cast<char>(sep[0]));
}
}  // namespace

std::string TimeSeparatorFor(const std::string& IcuLocale) {
  UErrorCode status = U_ZERO_ERROR;
  UDateTimePatternGenerator* gen = udatpg_open(IcuLocale.c_str(), &status);
  if (U_FAILURE(status)) return ":";
  UChar pattern[64];
  const int32_t n = udatpg_getBestPattern(gen, u"Hms", -1, pattern, 64, &status);
  udatpg_close(gen);
  if (U_FAILURE(status) || n <= 0 || n > 64) return ":";
  return SeparatorInPattern(std::u16string(pattern, static_cast<size_t>(n)));
}

std::string TimeSeparator() {
  static const std::string separator = TimeSeparatorFor(UserIcuLocale("LC_TIME"));
  return separator;
}
