// Feeds arbitrary page bytes to the include tag scanner and expander and checks what every
// page must leave behind: tags lie in order inside the page, each starts with "<!--#" and
// ends with the comment's close, parameters all carry "=", and the expansion is exactly the
// page's text between the tags with the handler's text in place of each tag.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "markup/uIncludeTags.h"

namespace {

bool IsWord(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_';
}

bool EndsWith(const std::string& Text, const std::string& End) {
  return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string page(reinterpret_cast<const char*>(Data), Size);
  const std::vector<TIncludeTagSpan> spans = FindIncludeTags(page);

  std::string expected;
  size_t copied = 0;
  for (size_t i = 0; i < spans.size(); ++i) {
    const TIncludeTagSpan& span = spans[i];
    if (span.Start < copied || span.Length > page.size() - span.Start) std::abort();
    const std::string text = page.substr(span.Start, span.Length);
    if (text.compare(0, 5, "<!--#") != 0) std::abort();
    if (!EndsWith(text, "-->") && !EndsWith(text, "--!>")) std::abort();
    if (span.Tag.Command.empty()) std::abort();
    for (char c : span.Tag.Command)
      if (!IsWord(c)) std::abort();
    for (const std::string& param : span.Tag.Params)
      if (param.find('=') == std::string::npos) std::abort();
    expected += page.substr(copied, span.Start - copied) + "{" + std::to_string(i) + "}";
    copied = span.Start + span.Length;
  }
  expected += page.substr(copied);

  size_t calls = 0;
  const std::string expanded = ExpandIncludeTags(
      page, [&](const std::string& Command, const std::vector<std::string>& Params) {
        if (calls >= spans.size() || Command != spans[calls].Tag.Command ||
            Params != spans[calls].Tag.Params)
          std::abort();
        return "{" + std::to_string(calls++) + "}";
      });
  if (calls != spans.size() || expanded != expected) std::abort();

  // A tag written back from what was parsed (values double-quoted) parses the same way.
  for (const TIncludeTagSpan& span : spans) {
    std::string rebuilt = "#" + span.Tag.Command;
    bool quotable = true;
    for (const std::string& param : span.Tag.Params) {
      const size_t eq = param.find('=');
      const std::string name = param.substr(0, eq), value = param.substr(eq + 1);
      if (name.empty() || name.find_first_of(" \t\n\r\f=\"'") != std::string::npos ||
          value.find('"') != std::string::npos)
        quotable = false;
      rebuilt += " " + name + "=\"" + value + "\"";
    }
    TIncludeTag again;
    if (quotable && (!ParseIncludeTag(rebuilt, again) || again.Command != span.Tag.Command ||
                     again.Params != span.Tag.Params))
      std::abort();
  }
  return 0;
}
