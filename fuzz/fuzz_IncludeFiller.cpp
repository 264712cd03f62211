// Hostile device values and tag parameters through the include tags: whatever the bytes, the
// replacement has exactly the shape of its tag kind, every inserted text decodes back to the
// value it came from, and none of it carries a raw <, >, " or '. Input: one byte choosing the
// command word and whether the tag has a parameter, the tag's parameter up to the first LF,
// then the device's lines, one per LF.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"
#include "session/uIncludeFiller.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

// The inserted text back as it was, refusing raw markup and any "&" that does not start one
// of the five references.
std::string Decode(const std::string& Text) {
  static const std::pair<const char*, char> refs[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  for (size_t i = 0; i < Text.size();) {
    Check(Text.find_first_of("<>\"'", i) != i);
    if (Text[i] != '&') {
      out += Text[i++];
      continue;
    }
    bool known = false;
    for (const auto& [ref, c] : refs) {
      if (Text.compare(i, std::char_traits<char>::length(ref), ref) == 0) {
        out += c;
        i += std::char_traits<char>::length(ref);
        known = true;
        break;
      }
    }
    Check(known);
  }
  return out;
}

// Takes Prefix, a quoted text up to the next '"' (decoded) and returns what follows.
std::string Quoted(std::string& Rest, const std::string& Prefix) {
  Check(Rest.compare(0, Prefix.size(), Prefix) == 0);
  const size_t close = Rest.find('"', Prefix.size());
  Check(close != std::string::npos);
  const std::string inner = Decode(Rest.substr(Prefix.size(), close - Prefix.size()));
  Rest.erase(0, close + 1);
  return inner;
}

void CheckMark(std::string& Rest, const std::string& Mark, bool Expected) {
  Check(Rest == (Expected ? Mark : std::string()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  static const char* const commands[] = {"val", "TXT", "hl", "Cb", "oP", "valx"};
  const std::string command = commands[Data[0] % 6];
  const bool withParameter = Data[0] & 0x80;
  const std::string input(reinterpret_cast<const char*>(Data) + 1, Size - 1);

  size_t end = input.find('\n');
  const std::string parameter = input.substr(0, end);
  TParameterList list;
  while (end != std::string::npos) {
    const size_t start = end + 1;
    end = input.find('\n', start);
    list.AddLine(input.substr(start, end == std::string::npos ? end : end - start));
  }
  const size_t eq = parameter.find('=');
  const std::string n = parameter.substr(0, eq);
  const std::string p = eq == std::string::npos ? std::string() : parameter.substr(eq + 1);
  const std::string v = list.GetValue(n);
  const bool same = AnsiCompareText(v, p) == 0;

  std::string out;
  FillIncludeTag(command,
                 withParameter ? std::vector<std::string>{parameter} : std::vector<std::string>{},
                 list, out);
  if (!withParameter || command == "valx") {
    Check(out.empty());
  } else if (command == "val") {
    Check(Quoted(out, "name=\"") == n && Quoted(out, " value=\"") == v && out.empty());
  } else if (command == "TXT") {
    Check(Decode(out) == v);
  } else if (command == "hl") {
    CheckMark(out, "class=\"fill\"", list.IsHighlighted(n));
  } else if (command == "Cb") {
    Check(Quoted(out, "name=\"") == n && Quoted(out, " value=\"") == p);
    CheckMark(out, " checked", same);
  } else {
    Check(Quoted(out, "value=\"") == p);
    CheckMark(out, " selected", same);
  }
  return 0;
}
