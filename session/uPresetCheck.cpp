#include "session/uPresetCheck.h"

#include <algorithm>

#include "markup/uIncludeTags.h"
#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"
#include "session/uProgramCheck.h"

namespace {

std::string NameOf(const std::string& Param) {
  return Param.substr(0, Param.find('='));
}

bool Listed(const std::vector<std::string>& Names, const std::string& Name) {
  return std::any_of(Names.begin(), Names.end(),
                     [&](const std::string& n) { return AnsiCompareText(n, Name) == 0; });
}

}  // namespace

std::vector<std::string> PageRegisters(std::string_view Page) {
  std::vector<std::string> names;
  for (const TIncludeTagSpan& span : FindIncludeTags(Page)) {
    const std::string& command = span.Tag.Command;
    const bool field = AnsiCompareText(command, "val") == 0 ||
                       AnsiCompareText(command, "cb") == 0 || AnsiCompareText(command, "op") == 0;
    if (!field || span.Tag.Params.empty()) continue;
    const std::string name = NameOf(span.Tag.Params.front());
    if (!name.empty() && !Listed(names, name)) names.push_back(name);
  }
  return names;
}

std::vector<std::string> MissingRegisters(const std::vector<std::string>& Registers,
                                          TParameterList& List) {
  std::vector<std::string> missing;
  for (const std::string& name : Registers)
    if (!HoldsRegister(List, name)) missing.push_back(name);
  return missing;
}

std::string MissingRegistersText(const std::vector<std::string>& Missing) {
  if (Missing.empty()) return {};
  std::string text = "These registers are not in the preset and would be programmed empty: ";
  for (size_t i = 0; i < Missing.size(); ++i) text += (i ? ", " : "") + Missing[i];
  return text;
}

bool MarksMissingRegister(const std::string& Command, const std::vector<std::string>& Params,
                          const std::vector<std::string>& Missing) {
  return !Params.empty() && AnsiCompareText(Command, "hl") == 0 &&
         Listed(Missing, NameOf(Params.front()));
}
