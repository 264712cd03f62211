// Finding text in a view's lines (the terminal, the memos, the hex view): forwards or
// backwards from a place, wrapping round once, with or without matching case in the device's
// code page. A match never spans two lines. The views' Find and their match highlighting use it.
// Qt-free.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/uLineStore.h"

// A place in a view's lines: Line counts from the first line since the view was last cleared
// (a line source's FirstNumber() + index), Column is a byte index into that line.
struct TTextPos {
  int64_t Line = 0;
  int64_t Column = 0;

  auto operator<=>(const TTextPos&) const = default;
};

// Where in Text each match of Pattern starts, left to right, not overlapping. An empty Pattern
// matches nowhere.
std::vector<size_t> MatchesIn(std::string_view Text, std::string_view Pattern, bool MatchCase);

// The first match starting at or after From (Backward: the last one starting before From),
// going round the end once. False when Pattern is empty or found nowhere; Found is then
// unchanged. From outside the kept lines counts from the nearest end.
bool FindInLines(const TLineSource& Lines, std::string_view Pattern, bool MatchCase, bool Backward,
                 TTextPos From, TTextPos& Found);
