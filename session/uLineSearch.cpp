#include "session/uLineSearch.h"

#include <algorithm>
#include <array>

namespace {

// Lower case in code page 1252: ASCII, the Latin-1 letters and the code page's own few.
const std::array<unsigned char, 256>& FoldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) t[c] = static_cast<unsigned char>(c + 32);
    t[0x8A] = 0x9A, t[0x8C] = 0x9C, t[0x8E] = 0x9E, t[0x9F] = 0xFF;
    return t;
  }();
  return table;
}

// Text and Pattern compared as MatchCase asks, left to right.
size_t Search(std::string_view Text, std::string_view Pattern, bool MatchCase, size_t From) {
  if (From > Text.size()) return std::string_view::npos;
  if (MatchCase) return Text.find(Pattern, From);
  const auto& fold = FoldTable();
  const auto same = [&](char A, char B) {
    return fold[static_cast<unsigned char>(A)] == fold[static_cast<unsigned char>(B)];
  };
  const auto at = std::search(Text.begin() + static_cast<std::ptrdiff_t>(From), Text.end(),
                              Pattern.begin(), Pattern.end(), same);
  return at == Text.end() ? std::string_view::npos : static_cast<size_t>(at - Text.begin());
}

// The last match in Text starting before Before.
size_t SearchBack(std::string_view Text, std::string_view Pattern, bool MatchCase, size_t Before) {
  size_t last = std::string_view::npos;
  for (size_t at = Search(Text, Pattern, MatchCase, 0); at != std::string_view::npos && at < Before;
       at = Search(Text, Pattern, MatchCase, at + 1))
    last = at;
  return last;
}

}  // namespace

std::vector<size_t> MatchesIn(std::string_view Text, std::string_view Pattern, bool MatchCase) {
  std::vector<size_t> found;
  if (Pattern.empty()) return found;
  for (size_t at = Search(Text, Pattern, MatchCase, 0); at != std::string_view::npos;
       at = Search(Text, Pattern, MatchCase, at + Pattern.size()))
    found.push_back(at);
  return found;
}

bool FindInLines(const TLineSource& Lines, std::string_view Pattern, bool MatchCase, bool Backward,
                 TTextPos From, TTextPos& Found) {
  const int64_t count = Lines.Count();
  if (Pattern.empty() || count == 0) return false;
  int64_t index = From.Line - Lines.FirstNumber();
  int64_t column = From.Column;
  if (index < 0) index = 0, column = 0;
  if (index >= count) index = count - 1, column = INT64_MAX;
  TLine line;
  // Every line once, starting and ending with From's own, which is searched in two parts.
  for (int64_t step = 0; step <= count; ++step) {
    const int64_t i = Backward ? ((index - step) % count + count) % count : (index + step) % count;
    Lines.GetLine(i, line);
    size_t at;
    if (Backward) {
      const size_t before =
          step == 0 ? static_cast<size_t>(std::max<int64_t>(column, 0)) : std::string_view::npos;
      at = SearchBack(line.Text, Pattern, MatchCase, before);
      if (step == count && at != std::string_view::npos && at < static_cast<size_t>(column))
        at = std::string_view::npos;
    } else {
      const size_t from = step == 0 ? static_cast<size_t>(std::min<int64_t>(column, INT32_MAX)) : 0;
      at = Search(line.Text, Pattern, MatchCase, from);
      if (step == count && at != std::string_view::npos && at >= static_cast<size_t>(column))
        at = std::string_view::npos;
    }
    if (at != std::string_view::npos) {
      Found = {Lines.FirstNumber() + i, static_cast<int64_t>(at)};
      return true;
    }
  }
  return false;
}
