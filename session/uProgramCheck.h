// Whether a programming run took: each register sent compared with what the device reports
// when its registers are read back afterwards. The main window shows the differences in one
// box and the device's values on the registers page.
#pragma once

#include <string>
#include <vector>

#include "session/uSubmitSequence.h"

class TParameterList;

struct TProgramDifference {
  std::string Name;
  std::string Sent;
  std::string Held;       // what the device reports; empty when it does not report the name
  bool Reported = false;  // the read-back named the register at all
};

// Every register the plan sent (Lines, then Request) whose read-back value differs, or which
// the read-back lacks, in the order sent. Names compare as the parameter list compares them,
// values exactly.
std::vector<TProgramDifference> CompareProgrammed(const TSubmitPlan& Plan,
                                                  TParameterList& ReadBack);

// The "Error" box's text for a run that timed out (TimedOut) or left registers that differ;
// empty when neither happened. One line per register: name, value sent, value held.
std::string ProgrammingErrorText(bool TimedOut, const std::vector<TProgramDifference>& Differences);

// Whether List holds an entry called Name, whatever its value.
bool HoldsRegister(TParameterList& List, const std::string& Name);
