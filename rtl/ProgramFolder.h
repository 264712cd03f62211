// The folder of the running program, with a trailing "/": the page templates and the page
// version folders sit beside the executable.
#pragma once

#include <string>

// "./" when the executable's path cannot be read.
std::string ProgramFolder();
