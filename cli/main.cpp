// tallybox-cli: one request to a Tallybox from a script or a terminal, over TCP, a serial
// debug port or dial-up, with the exit status telling how it went.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <iostream>

#include "cli/uCliCommands.h"
#include "cli/uCliExit.h"
#include "cli/uCliOptions.h"
#include "cli/uCliPassword.h"
#include "cli/uCliSession.h"
#include "transport/Ras.h"

namespace {

std::atomic<bool> Interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
  Interrupted = true;
}

// Ctrl+C and a polite kill end the session cleanly; a second Ctrl+C ends at once. No
// SA_RESTART, so a password being typed is given up too.
void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int Fail(const TCliFailure& Failure) {
  if (Failure.Code == kExitInterrupted) {
    std::cerr << "Aborted" << std::endl;
  } else if (*Failure.what()) {
    std::cerr << Failure.what() << std::endl;
  }
  return Failure.Code;
}

int Run(const TCliOptions& Options) {
  std::unique_ptr<TCliCommand> command = PrepareCommand(Options);
  std::string password;
  if (Options.Route != TCliRoute::Serial)
    password = ResolvePassword({Options.PasswordFile, std::getenv("TALLYBOX_PASSWORD"), 0},
                               std::cerr, Interrupted);
  if (Options.Route == TCliRoute::DialUp) RasLoadByName();  // before any thread starts
  TCliSession session(Options, std::cerr, Interrupted);
  try {
    session.Open(password);
    const int status = command->Run(session, std::cout);
    std::cout.flush();
    session.Close(false);
    return status;
  } catch (const TCliFailure& failure) {
    std::cout.flush();
    session.Close(failure.Code == kExitInterrupted || Interrupted);
    throw;
  }
}

}  // namespace

int main(int argc, char** argv) {
  CatchInterrupts();
  TCliOptions options;
  const std::string error = ParseCliOptions({argv + 1, argv + argc}, options);
  if (options.Help) {
    std::cout << CliUsage();
    return kExitOk;
  }
  if (!error.empty()) {
    std::cerr << "tallybox-cli: " << error << "\n" << CliUsage();
    return kExitUsage;
  }
  try {
    return Run(options);
  } catch (const TCliFailure& failure) {
    return Interrupted ? Fail(TCliFailure(kExitInterrupted, "")) : Fail(failure);
  }
}
