#include "session/uPageDialogs.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<std::string> SplitAt(std::string_view Text, char Separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at = Text.find(Separator); at != Text.npos; at = Text.find(Separator, start)) {
    parts.emplace_back(Text.substr(start, at - start));
    start = at + 1;
  }
  parts.emplace_back(Text.substr(start));
  return parts;
}

std::string QtEntry(const std::string& Description, const std::string& Patterns) {
  std::string qt = Patterns;
  std::replace(qt.begin(), qt.end(), ';', ' ');
  const std::string listed = "(" + Patterns + ")";
  if (Description.ends_with(listed))
    return Description.substr(0, Description.size() - listed.size()) + "(" + qt + ")";
  return Description.empty() ? "(" + qt + ")" : Description + " (" + qt + ")";
}

}  // namespace

const TFileDialogText& SaveDialogText(bool RegistersShown) {
  return RegistersShown ? kSaveRegistersDialog : kSaveInfoDialog;
}

std::string QtFileFilter(std::string_view PipeFilter) {
  if (PipeFilter.empty()) return {};
  const std::vector<std::string> parts = SplitAt(PipeFilter, '|');
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (!out.empty()) out += ";;";
    out += QtEntry(parts[i], parts[i + 1]);
  }
  return out;
}
