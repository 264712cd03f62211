// The TCP side of tallybox-sim: a non-blocking listener on the device port and the accepted
// connections, as plain descriptors for the simulator's poll loop, with the few descriptor
// operations that loop needs. One implementation per platform: on Windows the descriptors
// are sockets (small numbers there too) and the serial terminal does not exist.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <cstddef>
#include <string>

// Listens on Address:Port. Returns the descriptor, or -1 with the reason in Error.
int SimListen(const std::string& Address, unsigned short Port, std::string& Error);

// Accepts one waiting connection as a non-blocking descriptor without Nagle delays (so split
// writes leave as separate segments), or -1 when none is waiting.
int SimAccept(int Listener);

// A descriptor's entry for SimPoll; a negative Fd is skipped.
pollfd SimPollEntry(int Fd, short Events);
// poll(): waits up to TimeoutMs for the entries; -1 on failure (an interruption counts as none).
int SimPoll(pollfd* Fds, std::size_t Count, int TimeoutMs);
// read() and write() on a connection or the terminal: the count moved, 0 at the end of the
// stream, -1 on failure; SimTryLater tells whether that failure only means "not now".
long SimRead(int Fd, char* Buffer, std::size_t Count);
long SimWrite(int Fd, const char* Buffer, std::size_t Count);
bool SimTryLater();
// The last accept failed because the process has no descriptors left.
bool SimOutOfDescriptors();
void SimClose(int Fd);
