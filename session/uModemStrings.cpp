#include "session/uModemStrings.h"

#include <string_view>

namespace {

constexpr std::string_view Opener = "M:\"";

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// The value of the (up to) two characters after "\x" at Index, or -1 when they are not all
// hexadecimal digits or there are none.
int EscapedByte(std::string_view Text, size_t Index) {
  const std::string_view digits = Text.substr(Index + 2, 2);
  if (digits.empty()) return -1;
  int value = 0;
  for (char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// Decodes one string from Index (just after its opening quote) and returns the index of its
// closing quote, or the end of Text.
size_t DecodeString(std::string_view Text, size_t Index, std::string& Out) {
  while (Index < Text.size() && Text[Index] != '"') {
    if (Text[Index] == '\\' && Index + 1 < Text.size() && Text[Index + 1] == 'x') {
      const int value = EscapedByte(Text, Index);
      if (value >= 0) {
        Out += static_cast<char>(value);
        Index += 4;  // may step past the end when only one digit was left
        continue;
      }
    }
    Out += Text[Index];
    ++Index;
  }
  return Index;
}

}  // namespace

bool HasModemStrings(const std::string& Text) {
  return Text.find(Opener) != std::string::npos;
}

std::string ExtractModemStrings(const std::string& Text) {
  const std::string_view text(Text);
  std::string out;
  size_t at = text.find(Opener);
  while (at != std::string_view::npos) {
    const size_t end = DecodeString(text, at + Opener.size(), out);
    if (end >= text.size()) break;
    at = text.find(Opener, end);
  }
  return out;
}
