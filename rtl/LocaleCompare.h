// Locale-aware comparison of names that ignores case: the order and equality of parameter
// names, page folder names and every other place that compares names the user's way.
// Texts are 8-bit Windows-1252 strings, as everywhere in the core.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct UCollator;

// A collator for one ICU locale at secondary strength: case is ignored, accents are not
// ("abc" equals "ABC", "Ärger" equals "ärger", "Arger" differs). Blanks and punctuation
// always count, so "r1 " and "r1" stay two names. Compare is const and thread-safe.
class TTextCollator {
 public:
  explicit TTextCollator(const std::string& IcuLocale);
  ~TTextCollator();
  TTextCollator(const TTextCollator&) = delete;
  TTextCollator& operator=(const TTextCollator&) = delete;

  // -1, 0 or +1.
  int32_t Compare(const std::string& S1, const std::string& S2) const;
  std::string LocaleName() const { return FLocale; }

 private:
  std::string FLocale;
  UCollator* FCollator = nullptr;
};

// Compares under the user's collation locale (LC_ALL, LC_COLLATE, LANG), read once and
// cached for the life of the process: -1, 0 or +1. Safe to call from any thread.
int32_t AnsiCompareText(const std::string& S1, const std::string& S2);
