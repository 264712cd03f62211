#include "session/uProgrammingRun.h"

#include <algorithm>

#include "params/uStorage.h"

namespace {

const std::string ReadRegisters = "r?";

}  // namespace

bool HoldsNameValue(const std::vector<std::string>& Lines) {
  return std::any_of(Lines.begin(), Lines.end(), [](const std::string& Line) {
    const size_t eq = Line.find('=');
    return eq != std::string::npos && eq > 0;
  });
}

bool TProgrammingRun::Start(const TSubmitPlan& Plan, TDone Done, TCompletion LastLineDone) {
  if (FRunning || Plan.Kind != TSubmitPlan::TKind::Send || !FDialogue.CanSend()) return false;
  FRunning = true;
  FPlan = Plan;
  FDone = std::move(Done);
  FOutcome = {};
  if (!LastLineDone) LastLineDone = [this] { LinesDone(); };
  SendSubmitPlan(
      Plan, [this](const std::string& Bytes) { FDialogue.WriteAnswered(Bytes); },
      [&](const std::string& Text, uint32_t TimeoutMs) {
        FDialogue.SendCommand(Text, std::max(TimeoutMs, FRequestTimeout), std::move(LastLineDone));
      });
  return true;
}

void TProgrammingRun::LinesDone() {
  if (!FRunning) return;
  if (!FDialogue.LastRequestError().empty()) {
    FOutcome.Error = FDialogue.LastRequestError();
    return Finish(std::move(FOutcome));
  }
  if (FDialogue.LastRequestTimedOut())
    FOutcome.Unanswered = FirstUnanswered(FPlan, FDialogue.LastUnansweredLines());
  // The device's answers to the lines do not say whether each took: its registers do.
  if (!FDialogue.SendCommand(ReadRegisters, FRequestTimeout, [this] { ReadBack(); })) {
    FOutcome.Error = "The registers could not be read back: the connection is busy";
    Finish(std::move(FOutcome));
  }
}

void TProgrammingRun::ReadBack() {
  if (!FRunning) return;
  TResponseSplitter& splitter = FDialogue.Splitter();
  std::vector<std::string> lines;
  while (!splitter.IsEmpty()) lines.push_back(splitter.NextLine());
  const std::string& error = FDialogue.LastRequestError();
  if (!error.empty() || FDialogue.LastRequestTimedOut() || !HoldsNameValue(lines)) {
    FOutcome.Error = "The registers could not be read back: " +
                     (!error.empty()                    ? error
                      : FDialogue.LastRequestTimedOut() ? "no whole reply to \"r?\" in time"
                                                        : "the reply to \"r?\" held no register");
    return Finish(std::move(FOutcome));
  }
  FOutcome.ReadBackWhole = true;
  FOutcome.ReadBack = lines;
  TParameterList held;
  for (const std::string& line : lines) held.AddLine(line);
  FOutcome.Differences = CompareProgrammed(FPlan, held);
  Finish(std::move(FOutcome));
}

void TProgrammingRun::Finish(TProgrammingOutcome Outcome) {
  using TKind = TProgrammingOutcome::TKind;
  if (!Outcome.Unanswered.empty())
    Outcome.Kind = TKind::Unconfirmed;
  else if (!Outcome.Error.empty())
    Outcome.Kind = TKind::Failed;
  else
    Outcome.Kind = Outcome.Differences.empty() ? TKind::Done : TKind::Differs;
  FRunning = false;
  if (FDone) FDone(Outcome);
}

std::string TProgrammingRun::FirstUnanswered(const TSubmitPlan& Plan, int32_t Unanswered) {
  const auto lines = static_cast<int32_t>(Plan.Lines.size());
  const int32_t first = std::clamp(lines - Unanswered, 0, lines);
  return first < lines ? Plan.Lines[static_cast<size_t>(first)] : Plan.Request;
}

std::string ProgrammingErrorText(const TProgrammingOutcome& Outcome) {
  using TKind = TProgrammingOutcome::TKind;
  switch (Outcome.Kind) {
    case TKind::Done:
      return "";
    case TKind::Differs:
      return ProgrammingErrorText(false, Outcome.Differences);
    case TKind::Unconfirmed: {
      std::string text = ProgrammingErrorText(true, Outcome.Differences);
      const size_t firstLine = text.find("\r\n");
      const std::string unanswered = "\r\nNo answer came to \"" + Outcome.Unanswered + "\".";
      return text.insert(firstLine == std::string::npos ? text.size() : firstLine, unanswered);
    }
    case TKind::Failed:
      break;
  }
  return Outcome.Error + ".";
}
