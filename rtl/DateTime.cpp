#include "rtl/DateTime.h"

#include <unicode/udatpg.h>
#include <unicode/ustring.h>

#include <cctype>
#include <mutex>

#include "rtl/Exceptions.h"
#include "rtl/UserLocale.h"

namespace {
std::mutex sourceLock;
std::function<std::tm()> nowSource;

std::tm SystemNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

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

std::string TwoDigits(int Value) {
  return Format("%02d", Value);
}
}  // namespace

std::tm LocalNow() {
  std::lock_guard<std::mutex> guard(sourceLock);
  return nowSource ? nowSource() : SystemNow();
}

void SetLocalNowSource(std::function<std::tm()> Source) {
  std::lock_guard<std::mutex> guard(sourceLock);
  nowSource = std::move(Source);
}

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

std::string FormatDateTime(const std::string& Pattern, const std::tm& Time,
                           const std::string& TimeSep) {
  std::string out;
  bool afterHour = false;
  size_t i = 0;
  auto takes = [&](const char* Token) {
    const std::string t(Token);
    if (Pattern.compare(i, t.size(), t) != 0) return false;
    i += t.size();
    return true;
  };
  while (i < Pattern.size()) {
    if (takes("yyyy")) {
      out += Format("%04d", Time.tm_year + 1900);
    } else if (takes("yy")) {
      out += TwoDigits((Time.tm_year + 1900) % 100);
    } else if (takes("mm")) {
      out += TwoDigits(afterHour ? Time.tm_min : Time.tm_mon + 1);
      afterHour = false;
      continue;
    } else if (takes("dd")) {
      out += TwoDigits(Time.tm_mday);
    } else if (takes("hh")) {
      out += TwoDigits(Time.tm_hour);
      afterHour = true;
      continue;
    } else if (takes("nn")) {
      out += TwoDigits(Time.tm_min);
    } else if (takes("ss")) {
      out += TwoDigits(Time.tm_sec);
    } else if (Pattern[i] == ':') {
      out += TimeSep;
      ++i;
      continue;
    } else if (Pattern[i] == '"') {
      const size_t close = Pattern.find('"', i + 1);
      const size_t end = close == std::string::npos ? Pattern.size() : close;
      out += Pattern.substr(i + 1, end - i - 1);
      i = end == Pattern.size() ? end : end + 1;
    } else {
      out += Pattern[i++];
      continue;
    }
    afterHour = false;
  }
  return out;
}

std::string FormatDateTime(const std::string& Pattern, const std::tm& Time) {
  return FormatDateTime(Pattern, Time, TimeSeparator());
}
