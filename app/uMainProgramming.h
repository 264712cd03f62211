// Programming the device from the registers page: the submitted fields planned into lines, the
// lines sent, the registers read back and compared with what was sent, and the user told what
// did not take. One run at a time; the main window's ProgrammingDone hands the run's end here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "params/uStorage.h"
#include "session/uDialogue.h"
#include "session/uProgrammingRun.h"

class QWidget;

// What a run asks of the main window.
struct TProgrammingHost {
  std::function<void(const std::string& Text)> SetStatusText;
  std::function<void()> ShowWaitPage, ShowHomePage;
  std::function<void()> ShowRegisters;  // the registers page with what the device holds
  std::function<void()> Starting;       // the lines are about to go out
  TCompletion LinesDone;                // the completion of the run's last line
  // What the device took, once it is confirmed: a line for the events panel, and a short
  // note beside the status text.
  std::function<void(const std::string& Event, const std::string& Note)> Programmed;
};

class TMainProgramming {
 public:
  TMainProgramming(QWidget* Window, TDialogue& Dialogue, TParameterList& Params,
                   TProgrammingHost Host);

  // Programs the page's fields ("name=value"). Nothing is sent while a run or another request
  // is out, since the lines would go out without the request that frames their answers; a
  // refused or empty plan is told in a message box.
  void Submit(const std::vector<std::string>& Results);
  // The run's last line was answered (or timed out): the registers are read back.
  void LinesDone();
  // The connection ended: a new run may start on the next one.
  void Reset() { FRun.Abandon(); }

 private:
  void Finished(const TProgrammingOutcome& Outcome);

  QWidget* FWindow;
  TDialogue& FDialogue;
  TParameterList& FParams;
  TProgrammingHost FHost;
  TProgrammingRun FRun;
  std::vector<std::string> FChanged;  // the run's fields that differ from what was read
  size_t FSent = 0;                   // lines of the run
};
