// tallybox-cli: one request to a Tallybox from a script or a terminal, over TCP, a serial
// debug port or dial-up, with the exit status telling how it went.
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <iostream>

#include "cli/uCliCommands.h"
#include "cli/uCliConsole.h"
#include "cli/uCliExit.h"
#include "cli/uCliFleet.h"
#include "cli/uCliOptions.h"
#include "cli/uCliOutput.h"
#include "cli/uCliPassword.h"
#include "cli/uCliPorts.h"
#include "cli/uCliRun.h"
#include "cli/uCliSession.h"
#include "settings/QueryVersion.h"
#include "transport/Ras.h"

namespace {

std::atomic<bool> Interrupted{false};
std::atomic<int> Signalled{0};

// One failure, one line on standard error.
int Fail(TCliExit Code, std::string Message) {
  for (char& c : Message)
    if (c == '\r' || c == '\n') c = ' ';
  if (!Message.empty()) WriteErrorLine("tallybox-cli: " + Message);
  return Code;
}

int Interruption() {
  const int number = Signalled ? Signalled.load() : SIGINT;
  Fail(kExitInterrupted, number == SIGTERM ? "terminated" : "interrupted");
  return 128 + number;
}

int Run(const TCliOptions& Options) {
  if (!Options.FleetFile.empty()) {
    const int status = RunFleet(Options, Interrupted);
    if (Interrupted) throw TCliFailure(kExitInterrupted, "");
    return status;
  }
  std::unique_ptr<TCliCommand> command = PrepareCommand(Options);
  TCliOutput out = TCliOutput::ForStandardOutput(Options.Raw);
  std::string password;
  if (Options.Route.Kind != TRouteKind::Serial)
    password = ResolvePassword(
        {Options.PasswordFile, std::getenv("TALLYBOX_PASSWORD"), kCliTerminal}, Interrupted);
  if (Options.Route.Kind == TRouteKind::DialUp) RasLoadByName();  // before any thread starts
  TLineBuffer errors(WriteErrorLine);
  std::ostream log(&errors);
  return RunOnDevice(Options, *command, password, out, log, Interrupted);
}

}  // namespace

int main(int argc, char** argv) {
  PrepareConsole(Interrupted, Signalled);
  TCliOptions options;
  const std::string error = ParseCliOptions({argv + 1, argv + argc}, options);
  if (options.Help || options.Version) {
    // The version is the one the executable file carries, as its properties show it.
    std::cout << (options.Help
                      ? CliUsage()
                      : "tallybox-cli " + TVersionReader(OwnExecutable()).FileVersion + "\n");
    return std::cout.flush() ? kExitOk : Fail(kExitFailure, "cannot write the output");
  }
  if (!error.empty()) {
    WriteErrorLine("tallybox-cli: " + error);
    WriteErrorLine("Try 'tallybox-cli --help'");
    return kExitUsage;
  }
  try {
    if (options.Command == "ports") return RunPorts(options.Json, std::cout);
    return Run(options);
  } catch (const TCliFailure& failure) {
    return Interrupted ? Interruption() : Fail(failure.Code, failure.what());
  }
}
