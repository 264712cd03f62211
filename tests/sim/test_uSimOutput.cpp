#include "sim/uSimOutput.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Writes everything that is due at Now, a piece at a time, and returns the pieces.
std::vector<std::string> Drain(TSimOutput& Output, uint64_t Now) {
  std::vector<std::string> pieces;
  for (auto piece = Output.Peek(Now); !piece.empty(); piece = Output.Peek(Now)) {
    pieces.emplace_back(piece);
    Output.Consume(piece.size(), Now);
  }
  return pieces;
}

using Pieces = std::vector<std::string>;

}  // namespace

TEST(SimOutput, ChunksLeaveInOrderAndNotBeforeTheyAreDue) {
  TSimOutput output(0, 0, 0);
  output.Queue("late", 100);
  output.Queue("early", 50);  // queued after "late": it waits for it
  EXPECT_EQ(output.NextDue(), 100u);
  EXPECT_TRUE(Drain(output, 99).empty());
  EXPECT_EQ(Drain(output, 100), (Pieces{"late", "early"}));
  EXPECT_EQ(output.NextDue(), TSimOutput::kNever);
}

// Random pieces of 1..8 bytes with gaps of 0..3 ms, and a 9600 baud line: about one byte a
// millisecond (960 a second), however the output is queued.
TEST(SimOutput, RandomPiecesAndALinesSpeed) {
  TSimOutput random(8, 3, 0, {true, 7, 0});
  random.Queue(std::string(4000, 'x'), 0);
  std::set<size_t> sizes;
  uint64_t now = 0;
  for (; !random.Empty(); ++now)
    for (const std::string& piece : Drain(random, now)) sizes.insert(piece.size());
  EXPECT_EQ(sizes, (std::set<size_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_GT(now, 4000u / 8);  // the gaps took time too

  TSimOutput line(0, 0, 0, {false, 1, 9600});
  line.Queue(std::string(960, 'x'), 1000);
  line.Queue("late", 1500);  // queued behind, it leaves when the line is free
  size_t sent = 0;
  for (now = 1000; now < 2000; ++now)
    for (const std::string& piece : Drain(line, now)) sent += piece.size();
  EXPECT_GE(sent, 955u);
  EXPECT_LE(sent, 962u);
}

TEST(SimOutput, SplitCutsWritesIntoPiecesWithAGap) {
  TSimOutput output(3, 10, 0);
  output.Queue("abcdefgh", 0);
  EXPECT_EQ(Drain(output, 0), Pieces{"abc"});
  // Time counts in whole milliseconds, so the gap is kept one longer to last at least 10 ms.
  EXPECT_EQ(output.NextDue(), 11u);
  EXPECT_TRUE(Drain(output, 10).empty());
  EXPECT_EQ(Drain(output, 11), Pieces{"def"});
  EXPECT_EQ(Drain(output, 22), Pieces{"gh"});
  TSimOutput noGap(2, 0, 0);
  noGap.Queue("abcde", 0);
  EXPECT_EQ(Drain(noGap, 0), (Pieces{"ab", "cd", "e"}));
}
