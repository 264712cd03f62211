#include "rtl/LocaleCompare.h"

#include <unicode/ucol.h>

#include "rtl/Exceptions.h"
#include "rtl/UserLocale.h"

namespace {
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};
}  // namespace

std::u16string Win1252ToUtf16(const std::string& S) {
  std::u16string out(S.size(), u'\0');
  for (size_t i = 0; i < S.size(); ++i) {
    const auto b = static_cast<unsigned char>(S[i]);
    out[i] = (b >= 0x80 && b <= 0x9F) ? Cp1252High[b - 0x80] : char16_t(b);
  }
  return out;
}

TTextCollator::TTextCollator(const std::string& IcuLocale) : FLocale(IcuLocale) {
  UErrorCode status = U_ZERO_ERROR;
  FCollator = ucol_open(IcuLocale.c_str(), &status);
  if (U_FAILURE(status)) {
    // An unknown locale id falls back inside ICU; only a missing ICU data set ends here.
    throw Exception(std::string("Collator unavailable: ") + u_errorName(status));
  }
  ucol_setStrength(FCollator, UCOL_SECONDARY);
  ucol_setAttribute(FCollator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
}

TTextCollator::~TTextCollator() {
  ucol_close(FCollator);
}

int32_t TTextCollator::Compare(const std::string& S1, const std::string& S2) const {
  const std::u16string u1 = Win1252ToUtf16(S1);
  const std::u16string u2 = Win1252ToUtf16(S2);
  return ucol_strcoll(FCollator, u1.data(), static_cast<int32_t>(u1.size()), u2.data(),
                      static_cast<int32_t>(u2.size()));
}

int32_t AnsiCompareText(const std::string& S1, const std::string& S2) {
  // A function-local static is built once, thread-safely; ucol_strcoll only reads it.
  static const TTextCollator collator(UserIcuLocale("LC_COLLATE"));
  return collator.Compare(S1, S2);
}
