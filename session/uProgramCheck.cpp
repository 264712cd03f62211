#include "session/uProgramCheck.h"

#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"

namespace {

std::string NameOf(const std::string& Line) {
  return Line.substr(0, Line.find('='));
}

std::string ValueOf(const std::string& Line) {
  const size_t eq = Line.find('=');
  return eq == std::string::npos ? std::string() : Line.substr(eq + 1);
}

std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}

}  // namespace

bool HoldsRegister(TParameterList& List, const std::string& Name) {
  if (!List.GetValue(Name).empty()) return true;  // the list's own look-up, for the most
  for (int32_t i = 0; i < List.Count(); ++i)
    if (AnsiCompareText(NameOf(List.GetLine(i)), Name) == 0) return true;
  return false;
}

std::vector<TProgramDifference> CompareProgrammed(const TSubmitPlan& Plan,
                                                  TParameterList& ReadBack) {
  std::vector<std::string> sent = Plan.Lines;
  if (!Plan.Request.empty()) sent.push_back(Plan.Request);
  std::vector<TProgramDifference> differences;
  for (const std::string& line : sent) {
    if (line.starts_with(';')) continue;  // a comment entry: nothing the device holds
    TProgramDifference d{NameOf(line), ValueOf(line), ReadBack.GetValue(NameOf(line)), false};
    d.Reported = !d.Held.empty() || HoldsRegister(ReadBack, d.Name);
    if (!d.Reported || d.Held != d.Sent) differences.push_back(std::move(d));
  }
  return differences;
}

std::string ProgrammingErrorText(bool TimedOut,
                                 const std::vector<TProgramDifference>& Differences) {
  std::string text;
  if (TimedOut)
    text = "The Tallybox did not confirm the programming in time (" +
           std::to_string(kProgrammingTimeoutMs / 1000) + " s).";
  if (!Differences.empty()) {
    if (!text.empty()) text += "\r\n";
    text += "These registers do not hold what was programmed (name: value sent, value held):";
    for (const TProgramDifference& d : Differences)
      text += "\r\n" + d.Name + ": " + Quoted(d.Sent) + ", " +
              (d.Reported ? Quoted(d.Held) : std::string("not reported"));
  }
  if (!text.empty()) text += "\r\nThe registers page shows what the device holds now.";
  return text;
}
