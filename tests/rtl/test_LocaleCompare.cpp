#include "rtl/LocaleCompare.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "rtl/AnsiText.h"

#include "rtl/UserLocale.h"

namespace {

struct TCompareCase {
  const char* Locale;
  std::string A, B;
  int Expected;
};

// Restores one environment variable when the test ends.
struct TEnvGuard {
  explicit TEnvGuard(const char* Name) : FName(Name) {
    if (const char* v = std::getenv(Name)) FOld = v;
  }
  ~TEnvGuard() { FOld ? setenv(FName, FOld->c_str(), 1) : unsetenv(FName); }
  const char* FName;
  std::optional<std::string> FOld;
};

}  // namespace

// Names are Windows-1252 bytes: \xC4 is Ä, \xE4 is ä, \x8A is Š, \x9A is š.
TEST(LocaleCompare, IgnoresCaseButNotAccentsOrBlanks) {
  const TCompareCase cases[] = {
      {"", "abc", "ABC", 0},
      {"", "R100", "r100", 0},
      {"", "\xC4rger", "\xE4rger", 0},
      {"de_DE", "\xC4rger", "\xE4rger", 0},
      {"", "\x8Akoda", "\x9AKODA", 0},
      {"", "Arger", "\xC4rger", -1},
      {"", "r1 ", "r1", 1},
      {"", "r10", "r2", -1},
      {"", "a", "B", -1},
      {"", "", "", 0},
      {"", "", "a", -1},
      {"", "a\001b", "a\002b", 0},  // controls carry no weight
      {"de_DE", "\xE4", "z", -1},   // German sorts ä with a
      {"sv_SE", "\xE4", "z", 1},    // Swedish sorts ä after z
  };
  for (const auto& c : cases) {
    TTextCollator collator(c.Locale);
    EXPECT_EQ(collator.Compare(c.A, c.B), c.Expected)
        << "locale '" << c.Locale << "': '" << c.A << "' vs '" << c.B << "'";
    EXPECT_EQ(collator.Compare(c.B, c.A), -c.Expected) << "reversed, locale '" << c.Locale << "'";
  }
}

// The user's compare ignores case in any locale, also from several threads at once.
TEST(LocaleCompare, UserCompareIsSafeFromSeveralThreads) {
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (size_t t = 0; t < wrong.size(); ++t) {
    threads.emplace_back([&wrong, t] {
      for (int i = 0; i < 2000; ++i) {
        const std::string a = "r" + std::to_string(i), b = "R" + std::to_string(i);
        if (AnsiCompareText(a, b) != 0 || AnsiCompareText(a, b + "x") != -1 ||
            AnsiCompareText("\xC4rger", "\xE4RGER") != 0 || AnsiCompareText("r2", "R1") != 1)
          ++wrong[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

// Every byte maps to one character and back; a character the code page lacks is named.
TEST(AnsiText, EveryByteRoundTripsAndMissingCharactersAreNamed) {
  EXPECT_EQ(AnsiToUtf16("A\x80\xC4\x9F\xFF\x81"), u"A\u20AC\u00C4\u0178\u00FF\u0081");
  EXPECT_EQ(AnsiToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(AnsiToUtf8("\x80 \x93x\x94 \x96 \xE9"), "\u20AC \u201Cx\u201D \u2013 \u00E9");
  std::string all, back;
  for (int b = 0; b < 256; ++b) all += char(b);
  char32_t missing = 0;
  ASSERT_TRUE(Utf16ToAnsi(AnsiToUtf16(all), back, missing));
  EXPECT_EQ(back, all);
  EXPECT_FALSE(Utf16ToAnsi(u"ok \u2713", back, missing));
  EXPECT_EQ(missing, U'\u2713');
  EXPECT_EQ(back, "");
  EXPECT_FALSE(Utf16ToAnsi(u"\U0001F600", back, missing));
  EXPECT_EQ(missing, U'\U0001F600');
}

TEST(UserLocale, PosixNamesBecomeIcuIds) {
  const std::pair<const char*, const char*> cases[] = {
      {"de_DE.UTF-8", "de_DE"},
      {"de_DE.ISO-8859-1@euro", "de_DE"},
      {"sv_SE", "sv_SE"},
      {"C.UTF-8", ""},
      {"POSIX", ""},
      {"", ""},
  };
  for (const auto& [posix, icu] : cases) EXPECT_EQ(IcuLocaleFromPosix(posix), icu) << posix;
}

TEST(UserLocale, LcAllWinsOverCategoryWinsOverLang) {
  TEnvGuard all("LC_ALL"), collate("LC_COLLATE"), lang("LANG");
  unsetenv("LC_ALL");
  unsetenv("LC_COLLATE");
  setenv("LANG", "fr_FR.UTF-8", 1);
  EXPECT_EQ(UserIcuLocale("LC_COLLATE"), "fr_FR");
  setenv("LC_COLLATE", "sv_SE.UTF-8", 1);
  EXPECT_EQ(UserIcuLocale("LC_COLLATE"), "sv_SE");
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(UserIcuLocale("LC_COLLATE"), "sv_SE");
  setenv("LC_ALL", "de_AT.UTF-8", 1);
  EXPECT_EQ(UserIcuLocale("LC_COLLATE"), "de_AT");
  unsetenv("LC_ALL");
  unsetenv("LC_COLLATE");
  unsetenv("LANG");
  EXPECT_EQ(UserIcuLocale("LC_COLLATE"), "");
}
