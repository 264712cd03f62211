// Why a serial device would not open, in words that say what to do about it: the group to
// join when the user may not open the node, another program when it is busy. The serial
// dispatcher adds it to its "Could not open" error.
#pragma once

#include <sys/stat.h>

#include <string>

// For Path (what the port tried to open, perhaps the user's COM link) and the error open
// gave: looks at the node itself, its real name and its group.
std::string SerialOpenProblem(const std::string& Path, int Error);

// The same from what is known: the device as it is to be named, the node's status (null when
// it could not be read) and the name of its group ("" when unknown). EACCES or EPERM on a
// node whose group may read and write it, other than root's, gives:
//   You may not open /dev/ttyUSB0: it belongs to the group dialout. Add yourself to it (sudo
//   adduser $USER dialout) and log in again.
// EBUSY or EWOULDBLOCK (another program holds the port, exclusively or by its lock) says the
// port is in use; a missing node says it is not there; anything else gives the system's text.
std::string SerialOpenProblem(const std::string& Device, int Error, const struct stat* Node,
                              const std::string& Group);
