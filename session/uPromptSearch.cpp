#include "session/uPromptSearch.h"

#include <cstring>

#include "streams/uStreamFork.h"

TPromptAt FindPrompt(TSFSegment& Terminal, int32_t From) {
  TPromptAt at;
  at.Start = Terminal.Find(From, kPromptStart, at.Started);
  if (!at.Started) return at;
  at.End = Terminal.Find(at.Start, kPromptEnd, at.Whole);
  if (at.Whole) at.End += static_cast<int32_t>(kPromptEnd.size());
  return at;
}

size_t PromptFiller(const std::string& Text) {
  size_t at = 0;
  while (at < Text.size()) {
    if (Text[at] != '\0' && std::strchr(" \t\r\n\v\f", Text[at])) {
      ++at;
      continue;
    }
    if (Text.compare(at, 2, "\x1b[") != 0) break;
    size_t end = at + 2;
    while (end < Text.size() && Text[end] >= 0x20 && Text[end] <= 0x3F) ++end;
    if (end == Text.size() || Text[end] < 0x40 || Text[end] > 0x7E || Text[end] == 'm') break;
    at = end + 1;
  }
  return at;
}
