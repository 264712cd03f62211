#include "app/core/uSubmitSequence.h"

#include <algorithm>

#include "params/uStorage.h"

namespace {

bool HoldsLineBreak(const std::string& Text) {
  return Text.find_first_of("\r\n") != std::string::npos;
}

// The name shown in the refusal, on one line.
std::string ShownName(const std::string& Text) {
  std::string name = Text.substr(0, Text.find('='));
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return name;
}

TSubmitPlan Refusal(const std::string& Offending) {
  TSubmitPlan plan;
  plan.Kind = TSubmitPlan::TKind::Refused;
  plan.Message = "The field \"" + ShownName(Offending) +
                 "\" holds a line break, which the Tallybox would take as a further command. "
                 "Nothing was programmed.";
  return plan;
}

}  // namespace

TSubmitPlan PlanSubmit(TParameterList& List, const std::vector<std::string>& Fields) {
  for (const std::string& field : Fields)
    if (HoldsLineBreak(field)) return Refusal(field);
  for (int32_t i = 0; i < List.Count(); ++i)
    if (HoldsLineBreak(List.GetLine(i))) return Refusal(List.GetLine(i));

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
