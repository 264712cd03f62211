#include "session/uRestartSign.h"

#include <algorithm>
#include <cctype>

namespace {

const std::string PasswordRequest = "PASSWORD";
// A banner line shorter than this (once its colours are left out) could be any reply's text.
constexpr size_t MinBannerText = 8;

size_t VisibleLength(const std::string& Line) {
  size_t visible = 0;
  for (size_t at = 0; at < Line.size(); ++at) {
    if (Line[at] == '\x1b') {
      while (at + 1 < Line.size() && !std::isalpha(static_cast<unsigned char>(Line[at + 1]))) ++at;
      ++at;
    } else if (static_cast<unsigned char>(Line[at]) > ' ') {
      ++visible;
    }
  }
  return visible;
}

// Whether Line stands in Text as a line of its own.
bool HoldsLine(const std::string& Text, const std::string& Line) {
  for (size_t at = Text.find(Line); at != std::string::npos; at = Text.find(Line, at + 1)) {
    const size_t after = at + Line.size();
    const bool starts = at == 0 || Text[at - 1] == '\n' || Text[at - 1] == '\r';
    if (starts && (after == Text.size() || Text[after] == '\r' || Text[after] == '\n')) return true;
  }
  return false;
}

}  // namespace

void TRestartSign::LearnBanner(const std::string& Greeting) {
  for (size_t at = 0; at < Greeting.size();) {
    const size_t end = std::min(Greeting.find_first_of("\r\n", at), Greeting.size());
    const std::string line = Greeting.substr(at, end - at);
    if (VisibleLength(line) >= MinBannerText) {
      FBannerLine = line;
      return;
    }
    at = end + 1;
  }
}

bool TRestartSign::In(const std::string& Reply) const {
  if (AsksPassword(Reply)) return true;
  return !FBannerLine.empty() && HoldsLine(Reply, FBannerLine);
}

bool TRestartSign::AsksPassword(const std::string& Text) {
  return HoldsLine(Text, PasswordRequest);
}
