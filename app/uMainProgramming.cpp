#include "app/uMainProgramming.h"

#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "session/uProgramCheck.h"
#include "session/uProgrammedNote.h"

TMainProgramming::TMainProgramming(QWidget* Window, TDialogue& Dialogue, TParameterList& Params,
                                   TProgrammingHost Host)
    : FWindow(Window),
      FDialogue(Dialogue),
      FParams(Params),
      FHost(std::move(Host)),
      FRun(Dialogue) {}

void TMainProgramming::Submit(const std::vector<std::string>& Results) {
  if (FRun.Running() || !FDialogue.CanSend()) return;
  std::vector<std::string> changed = ChangedFields(FParams, Results);
  const TSubmitPlan plan = PlanSubmit(FParams, Results);
  if (plan.Kind == TSubmitPlan::TKind::Refused) {
    TModal::MessageBox(FWindow, ToQ(plan.Message), "Error", TModal::MB_ICONERROR);
    return;
  }
  if (plan.Kind == TSubmitPlan::TKind::Nothing) {
    TModal::MessageBox(FWindow, ToQ(plan.Message), "Info", TModal::MB_ICONINFORMATION);
    return;
  }
  FHost.Starting();
  FChanged = std::move(changed);
  FSent = plan.Lines.size() + 1;
  FRun.Start(
      plan, [this](const TProgrammingOutcome& Outcome) { Finished(Outcome); }, FHost.LinesDone);
  FHost.SetStatusText(std::string(kProgrammingStatus));
  FHost.ShowWaitPage();
}

void TMainProgramming::LinesDone() {
  FRun.LinesDone();
}

void TMainProgramming::Finished(const TProgrammingOutcome& Outcome) {
  FHost.SetStatusText(std::string(kProgrammedStatus));
  const std::string error = ProgrammingErrorText(Outcome);
  if (error.empty()) {
    FHost.ShowHomePage();
    if (FHost.Programmed)
      FHost.Programmed(ProgrammedEvent(FSent, FChanged), ProgrammedNote(FChanged));
    return;
  }
  if (Outcome.ReadBackWhole) {
    FParams.Clear();  // the reply's own lines keep the device's highlight marks
    for (const std::string& line : Outcome.ReadBack) FParams.AddLine(line);
  }
  FHost.ShowRegisters();
  TModal::MessageBox(FWindow, ToQ(error), "Error", TModal::MB_ICONERROR);
}
