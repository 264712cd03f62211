#include "rtl/DateTime.h"

#include <gtest/gtest.h>

#include <utility>

namespace {
std::tm At(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  std::tm t{};
  t.tm_year = Year - 1900;
  t.tm_mon = Month - 1;
  t.tm_mday = Day;
  t.tm_hour = Hour;
  t.tm_min = Minute;
  t.tm_sec = Second;
  return t;
}
}  // namespace

TEST(DateTime, FormatsThePatternLetters) {
  const std::tm t = At(2005, 2, 11, 14, 3, 9);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t, ":"), "2005-02-11 14:03:09");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t, "."), "2005-02-11 14.03.09");
  EXPECT_EQ(FormatDateTime("hh:mm:ss", t, ":"), "14:03:09");  // mm after hh is minutes
  EXPECT_EQ(FormatDateTime("dd/mm/yy", At(1999, 12, 31, 0, 0, 0), ":"), "31/12/99");
  EXPECT_EQ(FormatDateTime("\"at\" hh", At(2020, 1, 1, 7, 0, 0), ":"), "at 07");
}

// Locales that spell the time out in words ("14 h 03 min", "14\uC2DC 03\uBD84") have no
// separator character between the fields; the stamp then keeps the colon.
TEST(DateTime, TimeSeparatorIsTheLocalesOnePunctuationCharacter) {
  const std::pair<const char*, const char*> cases[] = {
      {"en_GB", ":"}, {"de_DE", ":"}, {"", ":"},      {"fi_FI", "."},
      {"fr_CA", ":"}, {"ko_KR", ":"}, {"da_DK", "."},
  };
  for (const auto& [locale, separator] : cases)
    EXPECT_EQ(TimeSeparatorFor(locale), separator) << locale;
}

TEST(DateTime, NowSourceCanBeReplacedAndRestored) {
  SetLocalNowSource([] { return At(2005, 2, 11, 14, 3, 9); });
  EXPECT_EQ(LocalNow().tm_min, 3);
  SetLocalNowSource({});
  EXPECT_GE(LocalNow().tm_year + 1900, 2024);
}
