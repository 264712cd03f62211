// One device's run of tallybox-cli: connect, log in, run the prepared command, end the
// session properly whatever happens. The single-device run and each device of a fleet run
// go through it.
#pragma once

#include <atomic>
#include <ostream>
#include <string>

#include "cli/uCliOptions.h"

class TCliCommand;
class TCliOutput;

// Runs Command on the device Options name and returns its exit status; Out is flushed and
// closed when it succeeds. Raises TCliFailure as the session and the command do, after the
// session has ended (aborted on Ctrl+C) and what was printed before the failure is flushed;
// kExitFailure with the reason when the --log file could not be written.
int RunOnDevice(const TCliOptions& Options, TCliCommand& Command, const std::string& Password,
                TCliOutput& Out, std::ostream& Log, const std::atomic<bool>& Interrupted);
