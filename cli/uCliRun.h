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
// With Options.Retries, a failure on the way to the device or from it (the connection, the
// login, a reply; not a refused password, a --log file or a difference) is followed by another
// try, up to that many, spaced as the window's reconnecting spaces its own; each failure that is
// tried again says so on Log, and only the last try's output reaches Out.
int RunOnDevice(const TCliOptions& Options, TCliCommand& Command, const std::string& Password,
                TCliOutput& Out, std::ostream& Log, const std::atomic<bool>& Interrupted);
