// The folder a file dialog offers for what the user keeps (session logs, saved views): the
// documents folder the desktop names, made when it is missing, else the home folder. Used by
// the main window's Log Session and Save As.
#pragma once

#include <string>

// Documents when it is a folder or can be made (with its missing parents, which must lie
// inside Home); else Home when that is a folder; else "".
std::string DocumentsOrHome(const std::string& Documents, const std::string& Home);
