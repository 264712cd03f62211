// Where the program keeps per-user files: its configuration (settings store, serial port
// links), its data, and its run-time files (the single-instance lock). The settings store and
// the serial port both ask here, so they always agree on the folder.
#pragma once

#include <string>

// The user's home folder: $HOME when it holds an absolute path, else the home folder of the
// account in the user database; "" when neither is known.
std::string UserHomeFolder();

// ${XDG_CONFIG_HOME:-<home>/.config}/Orvane. An XDG_CONFIG_HOME that is not an absolute path is
// ignored, as the XDG rules say. "" when there is no absolute XDG_CONFIG_HOME and no home.
std::string UserConfigFolder();

// ${XDG_DATA_HOME:-<home>/.local/share}/Orvane/TallyboxUtility, with the same rules; "" when
// neither is known.
std::string UserDataFolder();

// $XDG_RUNTIME_DIR when it is an absolute path, else /tmp; never "".
std::string UserRuntimeFolder();

// True when the program runs as root and Folder, or an existing folder or link above it, belongs
// to another user, looked at both as given (each link itself, before it is resolved) and on
// its real path (a relative Folder taken from the working folder): root with another user's
// home, as "sudo -E" gives, or a link another user made to a folder of root's. That user could swap
// in links between a check and a write, so the program writes nothing there: it only reads.
bool FolderOfAnotherUser(const std::string& Folder);
