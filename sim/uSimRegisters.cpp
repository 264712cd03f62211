#include "sim/uSimRegisters.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace {

using K = TSimRegisterKind;

TSimRegisterDef Number(std::string Name, std::string Caption, long Min, long Max,
                       std::string Factory, int Since = 100) {
  return {
      std::move(Name), std::move(Caption), K::Number, std::move(Factory), Min, Max, {}, 0, Since};
}
TSimRegisterDef Flag(std::string Name, std::string Caption, std::string Factory, int Since = 100) {
  return {std::move(Name),
          std::move(Caption),
          K::Flag,
          std::move(Factory),
          0,
          0,
          {"on", "off"},
          0,
          Since};
}
TSimRegisterDef Choice(std::string Name, std::string Caption, std::vector<std::string> Choices,
                       std::string Factory, int Since = 100) {
  return {std::move(Name),
          std::move(Caption),
          K::Choice,
          std::move(Factory),
          0,
          0,
          std::move(Choices),
          0,
          Since};
}
TSimRegisterDef Text(std::string Name, std::string Caption, std::size_t MaxLength,
                     std::string Factory, int Since = 100) {
  return {
      std::move(Name), std::move(Caption), K::Text, std::move(Factory), 0, 0, {}, MaxLength, Since};
}

// The whole register set in reply order; registers introduced with 1.10 carry 110.
std::vector<TSimRegisterDef> AllRegisters() {
  return {
      Number("r100", "Site number", 0, 9999, "0"),
      Number("r101", "Counter preset", 0, 999999, "0"),
      Number("r102", "Pulse divider", 1, 1000, "1"),
      Number("r103", "Input debounce (ms)", 0, 500, "20"),
      Number("r104", "Report interval (min)", 5, 1440, "60"),
      Number("r105", "Call retries", 0, 9, "3"),
      Number("r106", "Retry delay (s)", 10, 3600, "120"),
      Number("r107", "Alarm high threshold", 0, 999999, "5000"),
      Number("r108", "Alarm low threshold", 0, 999999, "0"),
      Number("r109", "Rings before answer", 1, 15, "3"),
      Number("r110", "Idle hang-up (s)", 10, 600, "60"),
      Number("r111", "Keep-alive (s)", 0, 3600, "60", 110),
      Flag("r200", "Counting enabled", "on"),
      Flag("r201", "Automatic reports", "on"),
      Flag("r202", "Dial on alarm", "off"),
      Flag("r203", "Answer incoming calls", "on"),
      Flag("r204", "Daylight saving", "on"),
      Flag("r205", "Keypad lock", "off"),
      Flag("r206", "Modem trace", "off"),
      Flag("r207", "Remote firmware update", "off", 110),
      Choice("r300", "Input mode", {"pulse", "level", "quadrature"}, "pulse"),
      Choice("r301", "Counting edge", {"rising", "falling", "both"}, "rising"),
      Choice("r302", "Modem speed", {"1200", "2400", "9600", "14400", "33600"}, "9600"),
      Choice("r303", "Dial mode", {"tone", "pulse"}, "tone"),
      Choice("r304", "Report format", {"csv", "text", "compact"}, "csv"),
      Choice("r305", "Alarm action", {"none", "log", "call", "log+call"}, "log"),
      Choice("r306", "Time zone", {"UTC-8", "UTC-5", "UTC", "UTC+1", "UTC+2", "UTC+8"}, "UTC"),
      Choice("r307", "Report channel", {"modem", "tcp", "both"}, "modem", 110),
      Text("r400", "Site name", 32, "Tallybox"),
      Text("r401", "Report number", 24, ""),
      Text("r402", "Backup number", 24, ""),
      Text("r403", "Modem init string", 40, "ATE0V1"),
      Text("r404", "Contact", 32, ""),
      Text("r405", "Report server", 64, "", 110),
  };
}

// The installation the simulated device starts with; these differ from the factory defaults
// and are therefore reported marked.
struct TInstalled {
  const char* Name;
  const char* Value;
};
constexpr TInstalled kInstalled[] = {
    {"r100", "42"},           {"r104", "30"},
    {"r202", "on"},           {"r306", "UTC+1"},
    {"r400", "Depot north"},  {"r401", "0800 555 0142"},
    {"r404", "Service desk"}, {"r405", "collector.example"},
};

bool EqualNoCase(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

std::string CheckNumber(const TSimRegisterDef& Def, const std::string& Value, std::string& Out) {
  long number = 0;
  const char* first = Value.data();
  const char* last = first + Value.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, number);
  if (first == last || error != std::errc() || end != last) return "not a number";
  if (number < Def.Min || number > Def.Max)
    return "out of range " + std::to_string(Def.Min) + ".." + std::to_string(Def.Max);
  Out = std::to_string(number);
  return {};
}

std::string CheckChoice(const TSimRegisterDef& Def, const std::string& Value, std::string& Out) {
  for (const auto& choice : Def.Choices)
    if (EqualNoCase(choice, Value)) {
      Out = choice;
      return {};
    }
  std::string list;
  for (const auto& choice : Def.Choices) list += (list.empty() ? "" : "|") + choice;
  return "expected " + list;
}

std::string CheckText(const TSimRegisterDef& Def, const std::string& Value, std::string& Out) {
  if (Value.size() > Def.MaxLength)
    return "longer than " + std::to_string(Def.MaxLength) + " characters";
  // A ";" or a quote could not be read back from the reply line, which quotes the text.
  for (char c : Value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ';' || c == '"')
      return "contains a character the device cannot store";
  Out = Value;
  return {};
}

}  // namespace

int SimPageVersionNumber(const std::string& PageVersion) {
  const auto dot = PageVersion.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 >= PageVersion.size()) return 100;
  int major = 0, minor = 0;
  const char* text = PageVersion.data();
  const auto [endMajor, e1] = std::from_chars(text, text + dot, major);
  const auto [endMinor, e2] = std::from_chars(text + dot + 1, text + PageVersion.size(), minor);
  if (e1 != std::errc() || e2 != std::errc() || endMajor != text + dot ||
      endMinor != text + PageVersion.size() || major > 99 || minor > 99)
    return 100;
  return major * 100 + minor;
}

TSimRegisterSet::TSimRegisterSet(int PageVersion, std::size_t Extra) {
  for (auto& def : AllRegisters())
    if (def.SinceVersion <= PageVersion) {
      FValues.push_back(def.Factory);
      FDefs.push_back(std::move(def));
    }
  for (std::size_t n = 0; n < std::min(Extra, kSimMaxExtraRegisters); ++n) {
    const std::string name = "r" + std::to_string(1000 + n);
    FDefs.push_back(Number(name, "Extra register " + name, 0, 999999, "0"));
    FValues.push_back("0");
  }
  for (const auto& installed : kInstalled) Set(installed.Name, installed.Value);
}

int TSimRegisterSet::IndexOf(const std::string& Name) const {
  for (std::size_t i = 0; i < FDefs.size(); ++i)
    if (EqualNoCase(FDefs[i].Name, Name)) return static_cast<int>(i);
  return -1;
}

std::string TSimRegisterSet::Set(const std::string& Name, const std::string& Value, bool* Changed) {
  if (Changed) *Changed = false;
  const int index = IndexOf(Name);
  if (index < 0) return "no such register";
  const auto& def = FDefs[index];
  std::string canonical;
  std::string error;
  switch (def.Kind) {
    case K::Number:
      error = CheckNumber(def, Value, canonical);
      break;
    case K::Flag:
    case K::Choice:
      error = CheckChoice(def, Value, canonical);
      break;
    case K::Text:
      error = CheckText(def, Value, canonical);
      break;
  }
  if (!error.empty()) return error;
  if (Changed) *Changed = FValues[index] != canonical;
  FValues[index] = std::move(canonical);
  return {};
}

std::string TSimRegisterSet::ReplyLine(std::size_t Index) const {
  const auto& def = FDefs[Index];
  std::string line = def.Name + "=";
  if (def.Kind == K::Text)
    line += "\"" + FValues[Index] + "\"";
  else
    line += FValues[Index];
  if (FValues[Index] != def.Factory) line += " ;** changed";
  return line;
}

std::string TSimRegisterSet::Reply() const {
  std::string reply;
  for (std::size_t i = 0; i < FDefs.size(); ++i) reply += ReplyLine(i) + "\r\n";
  return reply;
}
