// The texts shown for the dial-up service's connection states while a modem dispatcher
// dials; the dispatcher reports them as status texts to the progress dialog.
#pragma once

#include <cstdint>
#include <string>

// The text for State; every number the service does not define gives "Unknown state".
std::string RasStateText(int32_t State);
