// The commands of tallybox-cli, each run over a logged-in session and printing to Out:
// version, status, registers, program, diff, diag and send. main prepares the command before it
// connects (so a bad preset costs no connection) and runs it once logged in.
#pragma once

#include <memory>
#include <string>

#include "cli/uCliOptions.h"

class TCliOutput;
class TCliSession;

class TCliCommand {
 public:
  virtual ~TCliCommand() = default;
  // Runs over Session; returns the exit status. Raises TCliFailure on a failed request, or
  // when a file or the output cannot be written.
  virtual int Run(TCliSession& Session, TCliOutput& Out) = 0;
};

// The command the options name, ready to run. Raises TCliFailure (kExitFailure) when its
// file cannot be read or holds nothing that can be programmed.
std::unique_ptr<TCliCommand> PrepareCommand(const TCliOptions& Options);

// Reads a register preset into Preset; a file that cannot be read is a run failure (exit 1).
void LoadPreset(class TParameterList& Preset, const std::string& FileName);
