#include "sim/uSimOutput.h"

#include <gtest/gtest.h>

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
