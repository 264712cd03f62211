// The TCP side of tallybox-sim: a non-blocking listener on the device port and the accepted
// connections, as plain descriptors for the simulator's poll loop.
#pragma once

#include <string>

// Listens on Address:Port. Returns the descriptor, or -1 with the reason in Error.
int SimListen(const std::string& Address, unsigned short Port, std::string& Error);

// Accepts one waiting connection as a non-blocking descriptor without Nagle delays (so split
// writes leave as separate segments), or -1 when none is waiting.
int SimAccept(int Listener);
