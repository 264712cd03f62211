// Appends arbitrary text in chunks and drains the splitter. Every input byte must come back
// either inside a line or as one of the CR/LF bytes passed over, no line may hold a line end,
// and when all text is appended before draining the lines are exactly the input's text runs
// (plus one empty line when it starts with a line end).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "params/uStorage.h"

namespace {

bool IsLineEnd(char C) {
  return C == '\r' || C == '\n';
}

std::vector<std::string> ExpectedLines(const std::string& S) {
  std::vector<std::string> lines;
  if (!S.empty() && IsLineEnd(S[0])) lines.emplace_back();
  std::string run;
  for (char c : S) {
    if (!IsLineEnd(c)) {
      run += c;
    } else if (!run.empty()) {
      lines.push_back(run);
      run.clear();
    }
  }
  if (!run.empty()) lines.push_back(run);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const bool interleave = Data[0] & 1;
  const size_t chunk = 1 + Data[1] % 64;
  const std::string text(reinterpret_cast<const char*>(Data + 2), Size - 2);

  TResponseSplitter splitter;
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < text.size(); pos += chunk) {
    splitter.Append(text.substr(pos, chunk));
    while (interleave && !splitter.IsEmpty()) lines.push_back(splitter.NextLine());
  }
  while (!splitter.IsEmpty()) lines.push_back(splitter.NextLine());
  if (splitter.NextLine() != "" || !splitter.IsEmpty()) std::abort();

  size_t accounted = 0;
  for (const std::string& line : lines) {
    for (char c : line)
      if (IsLineEnd(c)) std::abort();
    accounted += line.size();
  }
  for (char c : text) accounted += IsLineEnd(c) ? 1 : 0;
  if (accounted != text.size()) std::abort();
  if (!interleave && lines != ExpectedLines(text)) std::abort();
  return 0;
}
