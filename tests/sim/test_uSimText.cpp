#include "sim/uSimText.h"

#include <gtest/gtest.h>

TEST(SimText, ModemTraceAndPrintableEscapeEverythingThatIsNotPlainText) {
  struct {
    std::string Bytes, Quoted;
  } const cases[] = {
      {"AT\r", "AT\\x0d"},
      {"\r\nOK\r\n", "\\x0d\\x0aOK\\x0d\\x0a"},
      {"say \"hi\" \\", "say \\x22hi\\x22 \\x5c"},
      {std::string("\0\xff", 2), "\\x00\\xff"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(simtext::ModemTraceLine(c.Bytes),
              std::string("\0\t\x1b[31mM:\"", 10) + c.Quoted + "\"\r\n");
  EXPECT_EQ(simtext::Printable("r1=a b\x1b[0m\t\\"), "r1=a b\\x1b[0m\\x09\\x5c");
  EXPECT_EQ(simtext::Prompt("a>b"), "\x1b[34;1m<Tallybox ab>\x1b[0m");
}
