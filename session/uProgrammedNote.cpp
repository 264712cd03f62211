#include "session/uProgrammedNote.h"

#include <algorithm>

#include "rtl/LocaleCompare.h"

std::vector<std::string> ChangedFields(TParameterList& Before,
                                       const std::vector<std::string>& Fields) {
  // A name given twice (a check box after its hidden "off") keeps its last value, as the
  // list does; a field's value as the list keeps it: comment cut, quotes gone.
  TParameterList submitted;
  std::vector<std::string> names;
  for (const std::string& field : Fields) {
    const size_t equals = field.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = field.substr(0, equals);
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& n) { return AnsiCompareText(n, name) == 0; }))
      names.push_back(name);
    submitted.AddLine(field);
  }
  std::vector<std::string> changed;
  for (const std::string& name : names) {
    const std::string value = submitted.GetValue(name);
    if (Before.GetValue(name) == value) continue;
    changed.push_back(name);
    changed.back() += '=';
    changed.back() += value;
  }
  return changed;
}

std::string ProgrammedEvent(size_t Sent, const std::vector<std::string>& Changed) {
  std::string text =
      "Programmed " + std::to_string(Sent) + (Sent == 1 ? " register" : " registers");
  if (Changed.empty()) return text + "; nothing changed";
  text += "; changed: ";
  for (size_t i = 0; i < Changed.size() && i < MaxNamed; ++i)
    text += (i > 0 ? ", " : "") + Changed[i];
  if (Changed.size() > MaxNamed)
    text += " and " + std::to_string(Changed.size() - MaxNamed) + " more";
  return text;
}

std::string ProgrammedNote(const std::vector<std::string>& Changed) {
  return Changed.empty() ? "Programmed: nothing changed"
                         : "Programmed: " + std::to_string(Changed.size()) + " changed";
}
