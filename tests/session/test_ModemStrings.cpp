#include "session/uModemStrings.h"

#include <gtest/gtest.h>

#include <string>

TEST(ModemStrings, DecodesEveryStringAndItsHexEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(M:"AT\x0D")", "AT\r"},
      {R"(M:"AT\x0d")", "AT\r"},
      {R"(M:"\x4")", R"(\x4)"},  // the quote is no digit: backslash, x and 4 as they are
      {R"(M:"RING" x M:"OK\x0d\x0a")", "RINGOK\r\n"},
      {R"(M:"a"M:"b")", "ab"},
      {R"(M:"\x41\x4a\x4Bz")", "AJKz"},
      {R"(M:"\x4g\x")", R"(\x4g\x)"},
      {R"(M:"\n\\x41")", R"(\n\A)"},
      {R"(M:"\x00")", std::string("\0", 1)},
      {R"(M:"\xff")", "\xff"},
      {R"(M:"unclosed)", "unclosed"},
      {R"(M:"\x4)", "\x04"},  // one digit left before the end still counts
      {R"(M:"\x)", R"(\x)"},
      {R"(M:"xM:"y")", "xM:"},  // the next string is searched from the closing quote on
      {R"(no string m:"x" M: "y")", ""},
      {"", ""},
  };
  for (const auto& [text, decoded] : cases) {
    EXPECT_EQ(ExtractModemStrings(text), decoded) << text;
    EXPECT_EQ(HasModemStrings(text), text.find("M:\"") != std::string::npos) << text;
  }
}

TEST(ModemStrings, TraceLineFromTheDevice) {
  const char raw[] = "\0\t\x1b[31mM:\"ATDT123\\x0d\\x0a\"~\x1b[0m\r\n";
  const std::string line(raw, sizeof raw - 1);
  EXPECT_TRUE(HasModemStrings(line));
  EXPECT_EQ(ExtractModemStrings(line), "ATDT123\r\n");
}
