#include "rtl/AnsiText.h"

namespace {

constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

void AppendUtf8(std::string& Out, char32_t Code) {
  if (Code < 0x80) {
    Out += char(Code);
  } else if (Code < 0x800) {
    Out += char(0xC0 | (Code >> 6));
    Out += char(0x80 | (Code & 0x3F));
  } else {
    Out += char(0xE0 | (Code >> 12));
    Out += char(0x80 | ((Code >> 6) & 0x3F));
    Out += char(0x80 | (Code & 0x3F));
  }
}

}  // namespace

char16_t AnsiToUnicode(unsigned char Byte) {
  return Byte >= 0x80 && Byte <= 0x9F ? kHigh[Byte - 0x80] : char16_t(Byte);
}

int UnicodeToAnsi(char32_t Code) {
  if (Code < 0x80 || (Code >= 0xA0 && Code <= 0xFF)) return int(Code);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == Code) return 0x80 + i;
  return -1;
}

std::u16string AnsiToUtf16(std::string_view Text) {
  std::u16string out(Text.size(), u'\0');
  for (size_t i = 0; i < Text.size(); ++i)
    out[i] = AnsiToUnicode(static_cast<unsigned char>(Text[i]));
  return out;
}

std::string AnsiToUtf8(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (const char c : Text) AppendUtf8(out, AnsiToUnicode(static_cast<unsigned char>(c)));
  return out;
}

bool Utf16ToAnsi(std::u16string_view Text, std::string& Out, char32_t& Missing) {
  Out.clear();
  for (size_t i = 0; i < Text.size(); ++i) {
    char32_t code = Text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
        Text[i + 1] <= 0xDFFF)
      code = 0x10000 + ((code - 0xD800) << 10) + (Text[++i] - 0xDC00);
    const int byte = UnicodeToAnsi(code);
    if (byte < 0) {
      Missing = code;
      Out.clear();
      return false;
    }
    Out += char(byte);
  }
  return true;
}
