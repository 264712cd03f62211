// The lane a fleet device runs in: devices of one lane run one after another, all others at
// once. A serial device's lane is the device node itself, however the list names it; the
// dial-up service is one lane, as its notifier serves one dial at a time. Used by the fleet run.
#pragma once

#include <string>

#include "dispatch/uRoute.h"

// "serial <node>" for a serial device, the COM number, path or link resolved to the node it
// reaches (the path as given where it leads nowhere); "server <host>:<port>" for a terminal
// server's port, whichever scheme names it; "dial" for dial-up; "" (no lane) for TCP. Dev is the
// folder of the built-in ports that an unlinked COM number opens.
std::string FleetLane(const TRoute& Route, const std::string& Dev);
