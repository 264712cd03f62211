#include "session/uLineStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "session/uByteHistory.h"
#include "session/uLineSearch.h"

namespace {

std::vector<std::string> AllLines(const TLineSource& Source) {
  std::vector<std::string> lines;
  TLine line;
  for (int64_t i = 0; i < Source.Count(); ++i) {
    Source.GetLine(i, line);
    lines.push_back(line.Text);
  }
  return lines;
}

}  // namespace

TEST(LineStore, KeepsExactlyItsLastLinesAcrossBlocksAndCountsThoseThatWent) {
  TLineStore store(3000);
  std::vector<std::string> written;
  for (int i = 0; i < 10000; ++i) {
    written.push_back("line " + std::to_string(i));
    store.Append(written.back());
    store.BreakLine();
  }
  ASSERT_EQ(store.Count(), 3000);
  EXPECT_EQ(store.FirstNumber(), 10001 - 3000);
  EXPECT_EQ(store.Text(0), written[10001 - 3000]);
  EXPECT_EQ(store.Text(2998), "line 9999");
  EXPECT_EQ(store.Text(2999), "");
  EXPECT_EQ(store.Widest(), 9);
  // What the blocks hold stays near what the lines need.
  EXPECT_LT(store.HeldBytes(), 2 * (3000 + TLineStore::BlockLines) * 14);
  store.Clear();
  EXPECT_EQ(AllLines(store), std::vector<std::string>{""});
  EXPECT_EQ(store.FirstNumber(), 0);
}

TEST(LineStore, ABudgetKeepsFewerLinesTheLongerTheyAre) {
  TLineStore store(1000, 100);
  for (int i = 0; i < 50; ++i) {
    store.Append("line " + std::to_string(i) + std::string(14 - std::to_string(i).size(), '.'));
    store.BreakLine();
  }
  // Four lines of 19 characters and the empty last one: 4 * (19 + 4) + 4 bytes.
  ASSERT_EQ(store.Count(), 5);
  EXPECT_EQ(store.Text(0), "line 46............");
  store.Append("short");
  store.BreakLine();
  EXPECT_EQ(store.Count(), 5);
  EXPECT_EQ(store.Text(3), "short");
}

// A memo fed without pause: text that never ends a line, or ends one only every MiB, is broken
// into lines of at most MaxLine bytes, and the lines kept, the last one too, stay within the
// budget; what dropped lines held is given back at once, not when a whole block of lines goes.
TEST(LineStore, LongLinesAreBrokenAndTheStoreStaysWithinItsBudgetUnderAnyFlood) {
  constexpr int64_t budget = 1 << 20;
  constexpr int64_t maxLine = 4096;
  const std::string chunk(64 << 10, 'x');
  struct TFlood {
    const char* Name;
    int64_t Bytes;
    int64_t LineEvery;  // a CR LF after this many bytes; 0 never
  };
  for (const TFlood& flood :
       {TFlood{"no line end", 300 << 20, 0}, TFlood{"1 MiB lines", 64 << 20, 1 << 20},
        TFlood{"short lines", 16 << 20, 100}}) {
    SCOPED_TRACE(flood.Name);
    TLineStore store(1000000, budget, maxLine);
    int64_t peak = 0;
    int64_t sinceBreak = 0;
    for (int64_t fed = 0; fed < flood.Bytes; fed += static_cast<int64_t>(chunk.size())) {
      std::string_view rest(chunk);
      while (!rest.empty()) {
        const int64_t room = flood.LineEvery > 0 ? flood.LineEvery - sinceBreak : INT64_MAX;
        const size_t take = static_cast<size_t>(std::min<int64_t>(room, rest.size()));
        store.AppendLines(rest.substr(0, take));
        rest.remove_prefix(take);
        sinceBreak += static_cast<int64_t>(take);
        if (sinceBreak == flood.LineEvery) store.AppendLines("\r\n"), sinceBreak = 0;
      }
      peak = std::max(peak, store.HeldBytes());
    }
    EXPECT_LE(peak, budget + budget / 4);
    EXPECT_GT(store.Count(), 1);
    size_t longest = 0;
    for (int64_t i = 0; i < store.Count(); ++i) longest = std::max(longest, store.Text(i).size());
    EXPECT_LE(longest, static_cast<size_t>(maxLine));
    EXPECT_EQ(store.Text(store.Count() - 1).find_first_not_of('x'), std::string_view::npos);
  }
}

TEST(LineStore, RunsBackspacesAndLineBreaksAsTheTerminalDrawsThem) {
  TLineStore store(10);
  store.Append("ab");
  store.Append("cd", clRed, TTextStyle::Bold);
  store.Append("e", clRed, TTextStyle::Bold);
  store.BreakLine();
  store.Append("x", clBlue);
  store.Backspace();  // the run goes with its last character
  store.Backspace();  // the line break
  store.Backspace();
  store.Append("\tz");
  EXPECT_EQ(AllLines(store), std::vector<std::string>{"abcd\tz"});
  const std::vector<TTextRun> runs(store.Runs(0).begin(), store.Runs(0).end());
  EXPECT_EQ(runs, (std::vector<TTextRun>{{2, clRed, TTextStyle::Bold},
                                         {4, clWindowText, TTextStyle::Normal}}));
  EXPECT_EQ(store.Widest(), 9);  // the tab reaches column 8
  store.Clear();
  store.Backspace();  // nothing to take back
  EXPECT_EQ(store.Count(), 1);
}

TEST(LineStore, AppendLinesBreaksAtEachLineEndOnceAndJoinsASplitCrLf) {
  TLineStore store(100);
  for (const char* part : {"a\r\nb", "\r", "\nc\rd\ne", "\n\r", "f"}) store.AppendLines(part);
  EXPECT_EQ(AllLines(store), (std::vector<std::string>{"a", "b", "c", "d", "e", "", "f"}));
}

TEST(LineSearch, FindsForwardsAndBackwardsRoundTheEndWithOrWithoutCase) {
  TLineStore store(4);
  for (const char* line : {"gone", "Alpha beta", "gamma \xC9t\xE9", "beta"}) {
    store.AppendLines(line);
    store.AppendLines("\n");
  }
  store.AppendLines("tail");  // "gone" went: the lines are numbered from 1
  ASSERT_EQ(store.FirstNumber(), 1);
  TTextPos found;
  ASSERT_TRUE(FindInLines(store, "beta", true, false, {1, 0}, found));
  EXPECT_EQ(found, (TTextPos{1, 6}));
  ASSERT_TRUE(FindInLines(store, "beta", true, false, {1, 10}, found));
  EXPECT_EQ(found, (TTextPos{3, 0}));
  ASSERT_TRUE(FindInLines(store, "beta", true, false, {3, 1}, found));
  EXPECT_EQ(found, (TTextPos{1, 6}));  // round the end
  ASSERT_TRUE(FindInLines(store, "beta", true, true, {1, 6}, found));
  EXPECT_EQ(found, (TTextPos{3, 0}));  // backwards round the start
  ASSERT_TRUE(FindInLines(store, "\xE9T\xC9", false, false, {0, 0}, found));
  EXPECT_EQ(found, (TTextPos{2, 6}));  // letters of the code page fold too
  EXPECT_FALSE(FindInLines(store, "ALPHA", true, false, {1, 0}, found));
  EXPECT_FALSE(FindInLines(store, "", false, false, {1, 0}, found));
  EXPECT_EQ(MatchesIn("aaaa", "aa", true), (std::vector<size_t>{0, 2}));
  EXPECT_EQ(MatchesIn("xAxa", "a", false), (std::vector<size_t>{1, 3}));
}

TEST(ByteHistory, HexRowsShowEveryByteOnceInOrderWithTheSentOnesMarked) {
  TByteHistory bytes(64);
  THexRows rows(bytes);
  EXPECT_EQ(AllLines(rows), std::vector<std::string>{""});
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  bytes.Append(all.substr(0, 200), false);
  bytes.Append(all.substr(200, 2), true);  // the user's
  bytes.Append(all.substr(202), false);
  // Only the last 64 bytes are kept; their offsets still count from the first byte.
  EXPECT_EQ(bytes.FirstOffset(), 192);
  const std::vector<std::string> lines = AllLines(rows);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "000000c0  c0 c1 c2 c3 c4 c5 c6 c7  c8 c9 ca cb cc cd ce cf  ................");
  EXPECT_EQ(lines[3],
            "000000f0  f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff  ................");
  TLine row;
  rows.GetLine(0, row);
  const TTextColor sent = THexRows::SentColor;
  EXPECT_EQ(row.Runs, (std::vector<TTextRun>{{35, sent, TTextStyle::Bold},
                                             {37, clWindowText, TTextStyle::Normal},
                                             {38, sent, TTextStyle::Bold},
                                             {40, clWindowText, TTextStyle::Normal},
                                             {68, sent, TTextStyle::Bold},
                                             {70, clWindowText, TTextStyle::Normal}}));
  bytes.Clear();
  bytes.Append(" AB~\x7f", false);
  EXPECT_EQ(AllLines(rows),
            std::vector<std::string>{
                "00000000  20 41 42 7e 7f                                     AB~."});
  EXPECT_EQ(rows.Widest(), 76);
}
