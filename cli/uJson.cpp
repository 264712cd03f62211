#include "cli/uJson.h"

#include <cstdio>

#include "rtl/AnsiText.h"

std::string JsonString(const std::string& Text) {
  std::string out = "\"";
  for (const char c : Text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escape[7];
      std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(AnsiToUnicode(byte)));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

namespace {

template <class TItem, class TWrite>
std::string Join(char Open, const std::vector<TItem>& Items, char Close, TWrite Write) {
  std::string out(1, Open);
  for (size_t i = 0; i < Items.size(); ++i) {
    if (i > 0) out += ", ";
    out += Write(Items[i]);
  }
  return out + Close;
}

}  // namespace

std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& Members) {
  return Join('{', Members, '}',
              [](const auto& M) { return JsonString(M.first) + ": " + M.second; });
}

std::string JsonArray(const std::vector<std::string>& Items) {
  return Join('[', Items, ']', [](const std::string& Item) { return Item; });
}
