#include "session/uIncludeFiller.h"

#include "markup/uHtmlEscape.h"

#include <string.h>
#include <strings.h>

#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"

namespace {

bool SameWord(const std::string& A, const char* B) {
  return A.size() == ::strlen(B) && ::strncasecmp(A.data(), B, A.size()) == 0;
}

std::string Attribute(const char* Name, const std::string& Value) {
  return std::string(Name) + "=\"" + HtmlEscape(Value) + "\"";
}

std::string NameValue(const std::string& N, const std::string& Value) {
  return Attribute("name", N) + " " + Attribute("value", Value);
}

}  // namespace

void FillIncludeTag(const std::string& Command, const std::vector<std::string>& Params,
                    TParameterList& List, std::string& Replacement) {
  if (Params.empty()) return;
  const std::string& first = Params.front();
  const size_t eq = first.find('=');
  const std::string n = first.substr(0, eq);
  const std::string p = eq == std::string::npos ? std::string() : first.substr(eq + 1);

  if (SameWord(Command, "val")) {
    Replacement = NameValue(n, List.GetValue(n));
  } else if (SameWord(Command, "txt")) {
    Replacement = HtmlEscape(List.GetValue(n));
  } else if (SameWord(Command, "hl")) {
    if (List.IsHighlighted(n)) Replacement = "class=\"fill\"";
  } else if (SameWord(Command, "cb")) {
    Replacement += NameValue(n, p);
    if (AnsiCompareText(List.GetValue(n), p) == 0) Replacement += " checked";
  } else if (SameWord(Command, "op")) {
    Replacement += Attribute("value", p);
    if (AnsiCompareText(List.GetValue(n), p) == 0) Replacement += " selected";
  }
}
