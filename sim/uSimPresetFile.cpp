#include "sim/uSimPresetFile.h"

#include "sim/uSimRegisters.h"

#include <fstream>
#include <iterator>

bool SimParseRegisterLine(std::string_view Line, std::string& Name, std::string& Value) {
  const auto equals = Line.find('=');
  if (equals == std::string_view::npos) return false;
  Name.assign(Line.substr(0, equals));
  std::string_view rest = Line.substr(equals + 1);
  rest = rest.substr(0, rest.find(';'));
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    rest = rest.substr(0, rest.find('"'));
  }
  Value.assign(rest);
  return true;
}

std::vector<std::pair<std::string, std::string>> SimParseRegisterText(std::string_view Text) {
  Text = Text.substr(0, Text.find('\0'));
  std::vector<std::pair<std::string, std::string>> pairs;
  std::size_t start = 0;
  while (start < Text.size()) {
    auto end = Text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = Text.size();
    std::string name, value;
    if (SimParseRegisterLine(Text.substr(start, end - start), name, value))
      pairs.emplace_back(std::move(name), std::move(value));
    if (end == Text.size()) break;
    start = end + 1;
    if (Text[end] == '\r' && start < Text.size() && Text[start] == '\n') ++start;
  }
  return pairs;
}

bool SimLoadRegisterFile(const std::string& FileName, TSimRegisterSet& Registers,
                         std::vector<std::string>& Warnings) {
  std::ifstream file(FileName, std::ios::binary);
  if (!file) return false;
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return false;
  for (const auto& [name, value] : SimParseRegisterText(text)) {
    const auto error = Registers.Set(name, value);
    if (!error.empty()) Warnings.push_back(name + "=" + value + ": " + error);
  }
  return true;
}
