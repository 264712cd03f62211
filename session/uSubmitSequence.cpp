#include "session/uSubmitSequence.h"

#include <algorithm>
#include <cstdio>

#include "params/uStorage.h"

namespace {

// The device's line editor acts on every control byte: CR and LF end the line, BS and DEL rub
// out what came before, so a value holding one could run a command of its own.
bool IsControl(char C) {
  return static_cast<unsigned char>(C) < 0x20 || C == 0x7F;
}

size_t FindControl(const std::string& Text) {
  const auto at = std::find_if(Text.begin(), Text.end(), IsControl);
  return at == Text.end() ? std::string::npos : static_cast<size_t>(at - Text.begin());
}

// The name shown in the refusal, on one line and unable to drive a terminal: C0 controls,
// and bytes 0x80-0x9F, which are C1 controls to some terminals and the second byte of a C1
// control in UTF-8, as blanks.
std::string ShownName(const std::string& Text) {
  std::string name = Text.substr(0, Text.find('='));
  std::replace_if(
      name.begin(), name.end(),
      [](char C) { return IsControl(C) || (static_cast<unsigned char>(C) & 0xE0) == 0x80; }, ' ');
  return name;
}

TSubmitPlan Refusal(const std::string& Offending, size_t At) {
  TSubmitPlan plan;
  plan.Kind = TSubmitPlan::TKind::Refused;
  const char c = Offending[At];
  char code[8];
  std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
  const std::string what = c == '\r' || c == '\n'
                               ? "a line break, which the Tallybox would take as a further command"
                               : std::string("the control character ") + code +
                                     ", which the Tallybox's line editor would act on";
  plan.Message =
      "The register \"" + ShownName(Offending) + "\" holds " + what + ". Nothing was programmed.";
  return plan;
}

}  // namespace

TSubmitPlan PlanSubmit(TParameterList& List, const std::vector<std::string>& Fields) {
  for (const std::string& field : Fields)
    if (const size_t at = FindControl(field); at != std::string::npos) return Refusal(field, at);
  for (int32_t i = 0; i < List.Count(); ++i) {
    const std::string line = List.GetLine(i);
    if (const size_t at = FindControl(line); at != std::string::npos) return Refusal(line, at);
  }

  for (const std::string& field : Fields) List.AddLine(field);
  TSubmitPlan plan;
  const int32_t n = List.Count();
  if (n == 0) {
    plan.Message = std::string(kNothingToProgram);
    return plan;
  }
  plan.Kind = TSubmitPlan::TKind::Send;
  for (int32_t i = 0; i < n - 1; ++i) {
    std::string line = List.GetLine(i);
    if (!line.starts_with(';')) plan.Lines.push_back(std::move(line));
  }
  plan.Request = List.GetLine(n - 1);
  return plan;
}

void SendSubmitPlan(
    const TSubmitPlan& Plan, const std::function<void(const std::string& Bytes)>& WriteOutput,
    const std::function<void(const std::string& Text, uint32_t TimeoutMs)>& SendCommand) {
  if (Plan.Kind != TSubmitPlan::TKind::Send) return;
  for (const std::string& line : Plan.Lines) WriteOutput(line + "\r\n");
  SendCommand(Plan.Request, kProgrammingTimeoutMs);
}
