#include "cli/uCliRun.h"

#include "cli/uCliCommands.h"
#include "cli/uCliExit.h"
#include "cli/uCliOutput.h"
#include "cli/uCliSession.h"

int RunOnDevice(const TCliOptions& Options, TCliCommand& Command, const std::string& Password,
                TCliOutput& Out, std::ostream& Log, const std::atomic<bool>& Interrupted) {
  TCliSession session(Options, Log, Interrupted);
  int status = kExitOk;
  try {
    session.Open(Password);
    status = Command.Run(session, Out);
    Out.Flush();
    session.Close(false);
    Out.Close();
  } catch (const TCliFailure& failure) {
    session.Close(failure.Code == kExitInterrupted || Interrupted);
    try {
      Out.Flush();  // what was printed before the failure
    } catch (const TCliFailure&) {
      // The first failure is the one the user hears about.
    }
    if (!session.LogError().empty()) Log << "tallybox-cli: " << session.LogError() << std::endl;
    throw;
  }
  // A log that could not be written is output that failed, told once the session has ended.
  if (!session.LogError().empty()) throw TCliFailure(kExitFailure, session.LogError());
  return status;
}
