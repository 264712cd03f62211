#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/uStorage.h"

namespace {

std::vector<std::string> Drain(TResponseSplitter& Splitter) {
  std::vector<std::string> lines;
  while (!Splitter.IsEmpty()) lines.push_back(Splitter.NextLine());
  return lines;
}

}  // namespace

TEST(ResponseSplitter, LineEndsAndRunsOfThemEndOneLine) {
  struct TCase {
    std::vector<std::string> Appends;
    std::vector<std::string> Lines;
  };
  const TCase cases[] = {
      {{"a=1\r\nb=2\r\n"}, {"a=1", "b=2"}},
      {{"x\r\n\r\n\ny"}, {"x", "y"}},
      {{"tail"}, {"tail"}},
      {{"\r\nz"}, {"", "z"}},
      {{"ab", "c\r\nd"}, {"abc", "d"}},
      {{"a\n\rb\rc\nd"}, {"a", "b", "c", "d"}},
      {{"\n\r\n"}, {""}},
      {{" a = 1 \t\r\n\"q\"\r\n"}, {" a = 1 \t", "\"q\""}},
      {{std::string("n\0ul\r\n", 6)}, {std::string("n\0ul", 4)}},
      {{"\x1b[34;1mtext\x1b[0m\n"}, {"\x1b[34;1mtext\x1b[0m"}},
  };
  for (const TCase& c : cases) {
    TResponseSplitter splitter;
    std::string shown;
    for (const std::string& a : c.Appends) {
      splitter.Append(a);
      shown += "[" + a + "]";
    }
    EXPECT_EQ(Drain(splitter), c.Lines) << shown;
    EXPECT_TRUE(splitter.IsEmpty());
  }
}

TEST(ResponseSplitter, EmptyGivesEmptyLinesUndrainedTextStaysAndClearDiscardsIt) {
  TResponseSplitter splitter;
  EXPECT_EQ(splitter.NextLine(), "");
  EXPECT_TRUE(splitter.IsEmpty());
  splitter.Append("i900=1.00\r\nmore\r\n");
  EXPECT_EQ(splitter.NextLine(), "i900=1.00");
  splitter.Append("x");
  EXPECT_EQ(Drain(splitter), (std::vector<std::string>{"more", "x"}));
  splitter.Append("old\r\nrest");
  splitter.Clear();
  EXPECT_TRUE(splitter.IsEmpty());
  splitter.Append("new\r\n");
  EXPECT_EQ(Drain(splitter), std::vector<std::string>{"new"});
}
