// tallybox-cli diff FILE: the device's registers compared with a register preset, printed as
// the main window's compare page shows them, with exit status 3 when they differ.
#pragma once

#include <memory>
#include <string>

#include "cli/uCliCommands.h"

// Reads the preset at once: raises TCliFailure (kExitFailure) when FileName cannot be read.
// The captions come from the registers page of the page folder beside the program (the one
// chosen for the device's version), when there is one.
std::unique_ptr<TCliCommand> MakeDiffCommand(const std::string& FileName, bool Json);
