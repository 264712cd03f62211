// Find's wrap-around: the search goes round the end once and comes back to the part of its
// starting line it skipped, so Find Next finds the text wherever it is on the current line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "session/uLineSearch.h"
#include "session/uLineStore.h"

namespace {

// Lines without a last line end: the store holds exactly these lines.
void Fill(TLineStore& Store, const std::vector<std::string>& Lines) {
  for (size_t i = 0; i < Lines.size(); ++i) Store.AppendLines((i ? "\n" : "") + Lines[i]);
}

}  // namespace

TEST(LineSearch, WrapsBackToTheStartLinesSkippedPart) {
  const std::vector<std::string> one{"id beta zz"};  // the only match at column 3
  const std::vector<std::string> three{"alpha", "xx beta yy", "gamma"};
  const struct {
    const char* Name;
    std::vector<std::string> Lines;
    bool Backward;
    TTextPos From;
    std::optional<TTextPos> Found;
  } cases[] = {
      {"one line, from before the match", one, false, {0, 0}, TTextPos{0, 3}},
      {"one line, from inside the match", one, false, {0, 4}, TTextPos{0, 3}},
      {"one line, from the match's end (Find Next)", one, false, {0, 7}, TTextPos{0, 3}},
      {"one line, from the line's end", one, false, {0, 10}, TTextPos{0, 3}},
      {"one line, backwards from after the match", one, true, {0, 10}, TTextPos{0, 3}},
      {"one line, backwards from its start (Find Previous)", one, true, {0, 3}, TTextPos{0, 3}},
      {"one line, backwards from before the match", one, true, {0, 1}, TTextPos{0, 3}},
      {"three lines, from after the only match", three, false, {1, 5}, TTextPos{1, 3}},
      {"three lines, backwards from before it", three, true, {1, 2}, TTextPos{1, 3}},
      {"three lines, from a later line", three, false, {2, 0}, TTextPos{1, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLineStore store(16);
    Fill(store, c.Lines);
    ASSERT_EQ(store.Count(), int64_t(c.Lines.size()));
    TTextPos found{-1, -1};
    EXPECT_EQ(FindInLines(store, "beta", true, c.Backward, c.From, found), c.Found.has_value());
    if (c.Found) EXPECT_EQ(found, *c.Found);
  }
  // Text that is nowhere is not found, however the search goes round.
  TLineStore store(16);
  Fill(store, one);
  TTextPos untouched{7, 7};
  for (const bool backward : {false, true}) {
    EXPECT_FALSE(FindInLines(store, "delta", true, backward, {0, 5}, untouched));
    EXPECT_EQ(untouched, (TTextPos{7, 7}));
  }
}
