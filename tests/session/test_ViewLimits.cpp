#include "session/uViewLimits.h"

#include <gtest/gtest.h>

#include <string>

TEST(ViewLimits, KeepLastLinesCountsBreaksAsTheMemoDoes) {
  struct TCase {
    std::string Text;
    int32_t Lines;
    std::string Kept;
  };
  const TCase cases[] = {
      {"a\r\nb\r\nc\r\n", 2, "\r\nc\r\n"},
      {"a\r\nb\r\nc", 2, "\r\nb\r\nc"},
      {"a\rb\nc\r\nd", 3, "\rb\nc\r\nd"},  // lone CR, lone LF and CR LF count once each
      {"a\rb\nc\r\nd", 2, "\nc\r\nd"},
      {"a\r\nb", 5, "a\r\nb"},  // fewer breaks: all of it
      {"", 1, ""},
      {"a\n\rb", 1, "\rb"},  // LF CR is two breaks
      {"a\r\n", 0, "\r\n"},  // below 1 counts as 1
  };
  for (const TCase& c : cases) EXPECT_EQ(KeepLastLines(c.Text, c.Lines), c.Kept) << c.Text;
  std::string many;
  for (int i = 0; i < 2 * MemoLines; ++i) many += "line " + std::to_string(i) + "\r\n";
  EXPECT_EQ(KeepLastLines(many, MemoLines),
            "\r\n" + many.substr(many.find("line " + std::to_string(MemoLines + 1) + "\r\n")));
  EXPECT_EQ(DroppedNotice(8388608), "[8388608 bytes dropped]");
}
