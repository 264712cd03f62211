#include "cli/uCliRun.h"

#include <chrono>
#include <thread>

#include "cli/uCliCommands.h"
#include "cli/uCliExit.h"
#include "cli/uCliOutput.h"
#include "cli/uCliSession.h"
#include "session/uRetrySpacing.h"

namespace {

// One try. Retryable says whether its failure came on the way to the device or from it (the
// connection, the login, a reply), which another try may get past.
int RunOnce(const TCliOptions& Options, TCliCommand& Command, const std::string& Password,
            TCliOutput& Out, std::ostream& Log, const std::atomic<bool>& Interrupted,
            bool& Retryable) {
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
    Retryable = failure.Code == kExitFailure && session.Started() && session.LogError().empty();
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

// Waits Ms, or until Ctrl+C; false when interrupted.
bool WaitBeforeRetry(uint32_t Ms, const std::atomic<bool>& Interrupted) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (!Interrupted && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return !Interrupted;
}

void Replay(const TCliOutput& From, TCliOutput& Out) {
  for (const std::string& line : From.Captured()) Out.Line(line);
}

}  // namespace

int RunOnDevice(const TCliOptions& Options, TCliCommand& Command, const std::string& Password,
                TCliOutput& Out, std::ostream& Log, const std::atomic<bool>& Interrupted) {
  bool retryable = false;
  if (Options.Retries == 0)
    return RunOnce(Options, Command, Password, Out, Log, Interrupted, retryable);
  // Each try prints into memory: only the last one's lines reach Out.
  for (int32_t retry = 0;; ++retry) {
    TCliOutput tried = TCliOutput::Capture();
    try {
      const int status = RunOnce(Options, Command, Password, tried, Log, Interrupted, retryable);
      Replay(tried, Out);
      Out.Flush();
      Out.Close();
      return status;
    } catch (const TCliFailure& failure) {
      if (!retryable || retry >= Options.Retries || Interrupted) {
        Replay(tried, Out);
        try {
          Out.Flush();
        } catch (const TCliFailure&) {
          // The try's own failure is the one the user hears about.
        }
        throw;
      }
      const uint32_t wait = RetryDelayMs(retry);
      Log << "tallybox-cli: " << failure.what() << "; trying again in " << wait / 1000
          << " s (retry " << retry + 1 << " of " << Options.Retries << ")" << std::endl;
      if (!WaitBeforeRetry(wait, Interrupted)) throw TCliFailure(kExitInterrupted, "");
    }
  }
}
