#include "rtl/LocaleCompare.h"

#include <unicode/ucol.h>

#include "rtl/AnsiText.h"
#include "rtl/Exceptions.h"
#include "rtl/UserLocale.h"

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
  const std::u16string u1 = AnsiToUtf16(S1);
  const std::u16string u2 = AnsiToUtf16(S2);
  return ucol_strcoll(FCollator, u1.data(), static_cast<int32_t>(u1.size()), u2.data(),
                      static_cast<int32_t>(u2.size()));
}

int32_t AnsiCompareText(const std::string& S1, const std::string& S2) {
  // A function-local static is built once, thread-safely; ucol_strcoll only reads it.
  static const TTextCollator collator(UserIcuLocale("LC_COLLATE"));
  return collator.Compare(S1, S2);
}
