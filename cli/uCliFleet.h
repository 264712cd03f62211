// tallybox-cli fleet FILE COMMAND [ARG]: the command on every device of a device list, a
// number of them at once, each device's session run exactly as a single run does it. main
// hands fleet runs here.
#pragma once

#include <atomic>

#include "cli/uCliOptions.h"

// Reads the list, prepares every device's command and password, then runs them Options.Jobs
// at once (a serial port or the dial-up service never twice at once), prints each device's
// outcome as it ends, and the summary on standard error. Returns the run's exit status.
// Raises TCliFailure before anything connects: kExitUsage for a bad list, a password that
// cannot be had or a --log that names a file (with fleet it names a folder, one log per
// device), kExitFailure when the command cannot be prepared (a preset that cannot be read, a
// folder for registers DIR or --log DIR that cannot be made). On Ctrl+C (Interrupted) every open
// session ends properly and no further device is started.
int RunFleet(const TCliOptions& Options, const std::atomic<bool>& Interrupted);
