#include "app/uMainProgramming.h"

#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "session/uProgramCheck.h"

TMainProgramming::TMainProgramming(QWidget* Window, TDialogue& Dialogue, TParameterList& Params,
                                   TProgrammingHost Host)
    : FWindow(Window), FDialogue(Dialogue), FParams(Params), FHost(std::move(Host)) {}

void TMainProgramming::Submit(const std::vector<std::string>& Results) {
  if (FRunning || !FDialogue.CanSend()) return;
  const TSubmitPlan plan = PlanSubmit(FParams, Results);
  if (plan.Kind == TSubmitPlan::TKind::Refused) {
    TModal::MessageBox(FWindow, ToQ(plan.Message), "Error", TModal::MB_ICONERROR);
    return;
  }
  if (plan.Kind == TSubmitPlan::TKind::Nothing) {
    TModal::MessageBox(FWindow, ToQ(plan.Message), "Info", TModal::MB_ICONINFORMATION);
    return;
  }
  FRunning = true;
  FSent = plan;
  FHost.Starting();
  SendSubmitPlan(
      plan, [this](const std::string& Bytes) { FDialogue.WriteAnswered(Bytes); },
      [this](const std::string& Text, uint32_t Timeout) {
        FDialogue.SendCommand(Text, Timeout, FHost.LinesDone);
      });
  FHost.SetStatusText(std::string(kProgrammingStatus));
  FHost.ShowWaitPage();
}

// The device's answers to the lines do not say whether each took: its registers are read
// back and compared with what was sent.
void TMainProgramming::LinesDone() {
  const bool timedOut = FDialogue.LastRequestTimedOut();
  if (!FDialogue.SendCommand("r?", TDialogue::CommandTimeout,
                             [this, timedOut] { ReadBack(timedOut); })) {
    FRunning = false;
    FHost.ShowHomePage();
  }
}

void TMainProgramming::ReadBack(bool RunTimedOut) {
  FRunning = false;
  const bool readBackComplete = !FDialogue.LastRequestTimedOut();
  std::vector<std::string> reply;
  TResponseSplitter& splitter = FDialogue.Splitter();
  while (!splitter.IsEmpty()) reply.push_back(splitter.NextLine());
  TParameterList held;
  for (const std::string& line : reply) held.AddLine(line);
  const std::string error =
      ProgrammingErrorText(RunTimedOut || !readBackComplete, CompareProgrammed(FSent, held));
  FHost.SetStatusText(std::string(kProgrammedStatus));
  if (error.empty()) {
    FHost.ShowHomePage();
    return;
  }
  if (readBackComplete) {
    FParams.Clear();  // the reply's own lines keep the device's highlight marks
    for (const std::string& line : reply) FParams.AddLine(line);
  }
  FHost.ShowRegisters();
  TModal::MessageBox(FWindow, ToQ(error), "Error", TModal::MB_ICONERROR);
}
