// Feeds arbitrary lines (split at LF; CR, NUL and 8-bit bytes stay inside) to the parameter
// list and checks what every line must leave behind: the entry under the line's name holds
// the line's value and highlight, and the list stays strictly ordered.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  TParameterList list;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    const std::string line = input.substr(start, end - start);
    start = end + 1;
    const int32_t before = list.Count();
    list.AddLine(line);
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      if (list.Count() != before) std::abort();
      continue;
    }
    const std::string name = line.substr(0, eq);
    if (list.Count() < before || list.Count() > before + 1) std::abort();
    if (list.GetValue(name) != UnquoteValue(StripComment(line.substr(eq + 1)))) std::abort();
    if (list.IsHighlighted(name) != (line.find(";**") != std::string::npos)) std::abort();
    if (list.GetValue(name).find(';') != std::string::npos) std::abort();
  }
  std::string previous;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const std::string line = list.GetLine(i);
    const std::string name = line.substr(0, line.find('='));
    if (i > 0 && AnsiCompareText(previous, name) >= 0) std::abort();
    previous = name;
  }
  return 0;
}
