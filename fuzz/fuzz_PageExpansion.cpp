// A whole page through the include tags as the main window fills them: any page text, any
// device values. Whatever the bytes, a device value never reaches the page with its markup
// raw. Input: the device's lines up to the first NUL byte (each value gets a tail of markup
// bytes), then the page text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "markup/uIncludeTags.h"
#include "params/uStorage.h"
#include "session/uIncludeFiller.h"

namespace {

// Bytes the page part can never hold (it ends at the first NUL), so finding them in the
// output means a value went through raw.
// Each markup byte fenced by \x01, which neither the page nor the lines may hold.
const std::string kMarkup = "\x01<\x01\"\x01>\x01'\x01";

// The escaping a value must get, written out here independently of the program's.
std::string Escaped(const std::string& Value) {
  std::string out;
  for (char c : Value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view input(reinterpret_cast<const char*>(Data), Size);
  const size_t split = input.find('\0');
  const std::string_view lines = input.substr(0, split);
  const std::string_view page = split == std::string_view::npos ? "" : input.substr(split + 1);

  TParameterList list;
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start);
    if (end == std::string_view::npos) end = lines.size();
    std::string line(lines.substr(start, end - start));
    if (line.find('=') != std::string::npos && line.find('\x01') == std::string::npos)
      list.AddLine(line + kMarkup);
    start = end + 1;
  }
  if (page.find('\x01') != std::string_view::npos) return 0;
  const std::string out = ExpandIncludeTags(
      page, [&list](const std::string& Command, const std::vector<std::string>& Params) {
        std::string replacement;
        FillIncludeTag(Command, Params, list, replacement);
        return replacement;
      });
  // Only values bring \x01 into the page. Once every value's escaped form is taken out, none
  // may be left: a value that went in raw, or half escaped, leaves its \x01 behind.
  std::vector<std::string> escaped;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const std::string line = list.GetLine(i);
    escaped.push_back(Escaped(list.GetValue(line.substr(0, line.find('=')))));
  }
  std::sort(escaped.begin(), escaped.end(),
            [](const std::string& A, const std::string& B) { return A.size() > B.size(); });
  std::string rest = out;
  for (const std::string& value : escaped) {
    if (value.find('\x01') == std::string::npos) continue;
    for (size_t at = rest.find(value); at != std::string::npos; at = rest.find(value, at))
      rest.erase(at, value.size());
  }
  if (rest.find('\x01') != std::string::npos) std::abort();
  return 0;
}
