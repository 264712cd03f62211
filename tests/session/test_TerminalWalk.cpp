#include "session/uTerminalWalk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TerminalScreen.h"

namespace {

const std::string Esc = "\x1b";
constexpr TTextStyle Normal = TTextStyle::Normal;
constexpr TTextStyle Bold = TTextStyle::Bold;

TTerminalOp TextRun(const std::string& Text, TTextColor Color = clWindowText,
                    TTextStyle Style = Normal) {
  return {TTerminalOp::Text, Text, Color, Style};
}

// Writes each chunk in turn and returns what the terminal then shows.
TTerminalScreen Show(TTerminalWalk& Walk, const std::vector<std::string>& Chunks) {
  TTerminalScreen screen;
  for (const std::string& chunk : Chunks) screen.Apply(Walk.Write(chunk));
  return screen;
}

std::string Shown(const std::vector<std::string>& Chunks) {
  TTerminalWalk walk;
  return Show(walk, Chunks).Text();
}

}  // namespace

TEST(TerminalWalk, ColourTableRowsAndUnknownSequences) {
  struct TCase {
    std::string Sequence;  // between ESC and "m"
    TTextColor Color;
    TTextStyle Style;
  };
  const TCase rows[] = {
      {"[41;33;1", clRed, Bold},    {"[0;1", clGreen, Normal},      {"[36;1", clBlue, Normal},
      {"[0", clWindowText, Normal}, {"[0;31;41", clWindow, Normal}, {"[34;1", clBlue, Bold},
      {"[31", clRed, Normal},
  };
  for (const TCase& row : rows) {
    // Start from a state every row visibly changes: hidden text, or red bold for that row.
    const bool hiddenRow = row.Sequence == "[0;31;41";
    TTerminalWalk walk;
    walk.Write(Esc + (hiddenRow ? "[41;33;1m" : "[0;31;41m"));
    const TTerminalOp before =
        hiddenRow ? TextRun("a", clRed, Bold) : TextRun("a", clWindow, Normal);
    EXPECT_EQ(walk.Write("a" + Esc + row.Sequence + "mbc"),
              (std::vector<TTerminalOp>{before, TextRun("bc", row.Color, row.Style)}))
        << row.Sequence;
    EXPECT_EQ(walk.TextColor(), row.Color) << row.Sequence;
    EXPECT_EQ(walk.TextStyle(), row.Style) << row.Sequence;
  }
  // Anything else leaves colour and style as they were: near misses, other parameters, empty.
  const std::string unknown[] = {"[32", "[0;31", "[0;31;4", "[34;1;", "[ 31", "[031",
                                 "[1",  "",      "31",      "[0;0",   "[36"};
  for (const std::string& sequence : unknown) {
    TTerminalWalk walk;
    walk.Write(Esc + "[34;1m");
    EXPECT_EQ(walk.Write(Esc + sequence + "mz"),
              std::vector<TTerminalOp>{TextRun("z", clBlue, Bold)})
        << sequence;
  }
}

TEST(TerminalWalk, SplitSequencesAreAppliedOnceAndNothingIsShownTwice) {
  const std::string text = "ab" + Esc + "[41;33;1mcd\r\n" + Esc + "[0mef" + Esc + "[2Jgh\bi";
  TTerminalWalk whole;
  const TTerminalScreen expected = Show(whole, {text});
  ASSERT_EQ(expected.Text(), "gi");
  for (size_t a = 0; a <= text.size(); ++a) {
    for (size_t b = a; b <= text.size(); ++b) {
      TTerminalWalk walk;
      const TTerminalScreen screen =
          Show(walk, {text.substr(0, a), text.substr(a, b - a), text.substr(b)});
      EXPECT_EQ(screen.Cells, expected.Cells) << "split at " << a << " and " << b;
      EXPECT_EQ(walk.TerminalBuffer(), "");
    }
  }
  // The held tail is the sequence from its ESC on; the text before it is drawn at once.
  TTerminalWalk walk;
  EXPECT_EQ(walk.Write("xy" + Esc + "[3"), std::vector<TTerminalOp>{TextRun("xy")});
  EXPECT_EQ(walk.TerminalBuffer(), Esc + "[3");
  EXPECT_EQ(walk.Write("1"), std::vector<TTerminalOp>{});
  EXPECT_EQ(walk.Write("m"), std::vector<TTerminalOp>{});
  EXPECT_EQ(walk.TextColor(), clRed);
  EXPECT_EQ(walk.Write("z"), std::vector<TTerminalOp>{TextRun("z", clRed)});
}

TEST(TerminalWalk, ErasesBackspacesAndLineEnds) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"abc" + Esc + "[2Jd"}, "d"},
      {{"abc" + Esc + "[Jd"}, "abcd"},
      {{"abc" + Esc + "[1Jd"}, "abcd"},
      {{"abc" + Esc + "2Jd"}, "abcd"},
      {{"abc" + Esc + "[0Kd"}, "abcd"},
      {{"a\r\nb", Esc + "[2J"}, ""},
      {{"abc\bd"}, "abd"},
      {{"\b"}, ""},
      {{"ab\b\b\bc"}, "c"},
      {{"abc", "\b"}, "ab"},
      {{"ab\r\n\b"}, "ab"},
      {{"ab\r\n", "\b\bx"}, "ax"},
      {{"ab" + Esc + "[2J\bc"}, "c"},
      {{"a\r\nb"}, "a\nb"},
      {{"a\nb"}, "ab"},
      {{"a\rb"}, "a\nb"},
      {{"a\n\rb"}, "a\nb"},
      {{"\r\r"}, "\n\n"},
      {{std::string("a\0b", 3)}, "ab"},
      {{"\tx\x01\x7f\xff"}, "\tx\x01\x7f\xff"},
      {{"x" + Esc + "[0;31;41mpw" + Esc + "[0my"}, "xpwy"},  // hidden text stays in the text
  };
  for (const auto& [chunks, shown] : cases) EXPECT_EQ(Shown(chunks), shown) << chunks[0];
}

TEST(TerminalWalk, RunsHiddenTextAndClearsKeepTheirAttributes) {
  // Characters in the same colour and style come as one run, whatever lies between them; a
  // backspace within the chunk takes the character back, one in a later chunk asks for it.
  TTerminalWalk walk;
  EXPECT_EQ(
      walk.Write(std::string("a\0b\nc", 5) + Esc + "[0m" + Esc + "[31md" + Esc + "[31mef\b\r"),
      (std::vector<TTerminalOp>{
          TextRun("abc"), TextRun("de", clRed), {TTerminalOp::LineBreak, "", clRed, Normal}}));
  EXPECT_EQ(walk.Write("\b").at(0).Kind, TTerminalOp::Backspace);

  const TTerminalScreen screen =
      Show(walk, {Esc + "[0;31;41mp" + Esc + "[34;1mold", Esc + "[2Jn", "ew"});
  EXPECT_EQ(screen.Cells, (std::vector<TScreenCell>{
                              {'n', clBlue, Bold}, {'e', clBlue, Bold}, {'w', clBlue, Bold}}));
  walk.Reset();
  EXPECT_EQ(Show(walk, {"x" + Esc + "[0;31;41mp"}).Cells,
            (std::vector<TScreenCell>{{'x', clWindowText, Normal}, {'p', clWindow, Normal}}));
}

TEST(TerminalWalk, LongUnfinishedSequenceFedInPiecesAndReset) {
  TTerminalWalk walk;
  walk.Write("a" + Esc + "[3");
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(walk.Write(i == 49 ? "1" : ""), std::vector<TTerminalOp>{});
  EXPECT_EQ(walk.Write("mb" + Esc + "[1;2;3;"), std::vector<TTerminalOp>{TextRun("b", clRed)});
  walk.Write("4;5");
  EXPECT_EQ(walk.TerminalBuffer(), Esc + "[1;2;3;4;5");
  EXPECT_EQ(walk.Write("mc"), std::vector<TTerminalOp>{TextRun("c", clRed)});  // unknown: still red

  walk.Write(Esc + "[34;1m" + Esc + "[3");
  walk.Reset();
  EXPECT_EQ(walk.TerminalBuffer(), "");
  EXPECT_EQ(walk.TextColor(), clWindowText);
  EXPECT_EQ(walk.TextStyle(), Normal);
  EXPECT_EQ(walk.Write("1md"), std::vector<TTerminalOp>{TextRun("1md")});  // the tail was forgotten
}

TEST(TerminalWalk, LongLinesBreakAndEscapeNoiseIsDropped) {
  const size_t width = TTerminalWalk::MaxLineLength;
  // A line without CR breaks every MaxLineLength characters; a CR starts the count again.
  EXPECT_EQ(Shown({std::string(width + 5, 'a'), "b\rc"}),
            std::string(width, 'a') + "\n" + "aaaaab\nc");
  EXPECT_EQ(Shown({std::string(width - 1, 'a') + "\r", std::string(width, 'b')}),
            std::string(width - 1, 'a') + "\n" + std::string(width, 'b'));
  // A sequence whose letter has not come within 64 bytes is noise: dropped, never held longer.
  TTerminalWalk walk;
  const std::string noise = Esc + "[" + std::string(62, '1');  // 64 bytes, no letter
  EXPECT_EQ(walk.Write(noise.substr(0, 40)), std::vector<TTerminalOp>{});
  EXPECT_EQ(walk.TerminalBuffer(), noise.substr(0, 40));
  EXPECT_EQ(walk.Write(noise.substr(40) + "2;3mx"), std::vector<TTerminalOp>{TextRun("2;3mx")});
  EXPECT_EQ(walk.TerminalBuffer(), "");
  std::string stream;
  for (int i = 0; i < 1000; ++i) stream += Esc + std::string(200, ';');
  walk.Write(stream);
  EXPECT_LE(walk.TerminalBuffer().size(), TTerminalWalk::MaxEscapeLength);
  // A sequence of exactly 64 bytes still counts; one byte more and it is noise.
  const TTerminalOp clear{TTerminalOp::Clear, {}, clWindowText, Normal};
  EXPECT_EQ(walk.Write(Esc + "[" + std::string(61, '2') + "Jred"),
            (std::vector<TTerminalOp>{clear, TextRun("red")}));
  EXPECT_EQ(walk.Write(Esc + "[" + std::string(62, '2') + "Jred"),
            std::vector<TTerminalOp>{TextRun("Jred")});
}

TEST(TerminalWalk, KeepLastLinesLeavesWhatTheTerminalWouldStillShow) {
  TTerminalWalk walk;
  std::string text = "old" + Esc + "[31m";
  for (int i = 0; i < 10; ++i) text += "line " + std::to_string(i) + "\r";
  text += "tail";
  std::vector<TTerminalOp> ops = walk.Write(text);
  const TTerminalScreen whole = [&] {
    TTerminalScreen s;
    s.Apply(ops);
    return s;
  }();
  KeepLastLines(ops, 3);
  TTerminalScreen kept;
  kept.Cells = {{'x', clWindowText, Normal}};  // what the terminal held before is cleared
  kept.Apply(ops);
  EXPECT_EQ(kept.Text(), "line 8\nline 9\ntail");
  EXPECT_EQ(ops.front().Kind, TTerminalOp::Clear);
  EXPECT_EQ(kept.Cells.back(), whole.Cells.back());  // colours as drawn in full
  std::vector<TTerminalOp> few = walk.Write("a\rb");
  const std::vector<TTerminalOp> before = few;
  KeepLastLines(few, 3);
  EXPECT_EQ(few, before);  // fewer breaks than lines: untouched
}
