// The page version folders beside the program ("v1.00", "v1.10", ...) and the choice of one
// for a device from the version it reports. The main window lists them at start-up and
// chooses at each login (SelectPageFolder); the command-line front end does the same.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The page folder used until a device has been logged into, and the one kept when no page
// folder exists at all: the pages then fail to load under a path that names what is missing.
inline constexpr std::string_view kDefaultPageVersion = "v1.00";

// The names of the sub-folders of Folder whose names match "v*.*": a "v" in either case, then
// a "." somewhere after it. Symbolic links to folders count; files do not. Sorted by the
// user's locale ignoring case (AnsiCompareText). A missing or unreadable Folder gives an empty
// list; entries that cannot be examined are left out.
std::vector<std::string> ListPageFolders(const std::string& Folder);

// The page folder for a device reporting DeviceVersion (the "i900" value, may be empty):
// "v" + DeviceVersion when Folders holds it (ignoring case; the folder's own spelling is
// returned), else the greatest name sorting below it, else the last name. Folders must be
// sorted as ListPageFolders sorts. The result is always an entry of Folders, never device
// text; with no folders at all it is kDefaultPageVersion.
std::string SelectPageFolder(const std::vector<std::string>& Folders,
                             const std::string& DeviceVersion);
