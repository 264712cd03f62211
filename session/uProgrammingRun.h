// One programming run, the same for the main window and the command-line tool: the plan's
// lines go out, the last one awaited as a request, then the registers are read back and
// compared with what was sent. The outcome says what the device confirmed, and nothing more.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/uDialogue.h"
#include "session/uProgramCheck.h"
#include "session/uSubmitSequence.h"

struct TProgrammingOutcome {
  enum class TKind {
    Done,         // every register read back holds what was sent
    Differs,      // the read-back came, and some registers differ or are missing
    Unconfirmed,  // the lines were not all answered in time
    Failed,       // the device restarted, or the read-back could not be had
  };
  TKind Kind = TKind::Failed;
  std::vector<TProgramDifference> Differences;
  std::string Unanswered;  // the first line sent that has no answer (Unconfirmed)
  std::string Error;       // why the run failed (Failed)
  bool ReadBackWhole = false;
  std::vector<std::string> ReadBack;  // the read-back's lines, when it came whole
};

class TProgrammingRun {
 public:
  using TDone = std::function<void(const TProgrammingOutcome&)>;

  explicit TProgrammingRun(TDialogue& Dialogue) : FDialogue(Dialogue) {}

  // The time-out of the read-back; the last line keeps the longer programming one (or this,
  // when it is longer still).
  void SetRequestTimeout(uint32_t Ms) { FRequestTimeout = Ms; }
  // Sends a Send plan; Done hears the outcome once the read-back is compared. LastLineDone,
  // when given, is the completion of the last line and must call LinesDone; otherwise the
  // run calls it itself. False (nothing sent) when a run or another request is out.
  bool Start(const TSubmitPlan& Plan, TDone Done, TCompletion LastLineDone = nullptr);
  // The last line was answered, or its time ran out: the registers are read back.
  void LinesDone();
  bool Running() const { return FRunning; }
  // The connection ended: the run is over, and Done is not called.
  void Abandon() { FRunning = false; }

  // The text for the first line of Plan (Lines, then Request) still without its answer when
  // Unanswered of them were left.
  static std::string FirstUnanswered(const TSubmitPlan& Plan, int32_t Unanswered);

 private:
  void ReadBack();
  void Finish(TProgrammingOutcome Outcome);

  TDialogue& FDialogue;
  uint32_t FRequestTimeout = TDialogue::CommandTimeout;
  bool FRunning = false;
  TSubmitPlan FPlan;
  TDone FDone;
  TProgrammingOutcome FOutcome;
};

// Whether Lines hold at least one name=value line: a register or information reply that does
// not cannot be the device's answer.
bool HoldsNameValue(const std::vector<std::string>& Lines);

// The "Error" box's text for an outcome other than Done: the time-out and the first line
// without its answer, the registers that differ, or why the run failed.
std::string ProgrammingErrorText(const TProgrammingOutcome& Outcome);
