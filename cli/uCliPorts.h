// tallybox-cli's "ports": COM1 to COM9 with the device each reaches, as the wizard's serial
// page shows them, then the serial devices found, named as --port takes them. Needs no route.
#pragma once

#include <ostream>

// Writes the list to Out, as text or as one JSON document, and returns the exit status;
// output that cannot be written raises TCliFailure.
int RunPorts(bool Json, std::ostream& Out);
