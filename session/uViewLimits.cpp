#include "session/uViewLimits.h"

#include <algorithm>

std::string KeepLastLines(const std::string& Text, int32_t Lines) {
  const int32_t wanted = std::max(Lines, 1);
  int32_t breaks = 0;
  for (size_t i = Text.size(); i > 0;) {
    const char c = Text[i - 1];
    if (c != '\n' && c != '\r') {
      --i;
      continue;
    }
    // Going backwards, the LF of a CR LF comes first: the pair is one break.
    i -= (c == '\n' && i >= 2 && Text[i - 2] == '\r') ? 2 : 1;
    if (++breaks == wanted) return Text.substr(i);
  }
  return Text;
}

std::string DroppedNotice(int64_t Bytes) {
  return "[" + std::to_string(Bytes) + " bytes dropped]";
}
