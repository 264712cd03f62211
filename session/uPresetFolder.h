// Where the register preset files of one page version are kept: "Settings/<page folder>"
// under the program folder, or under the user's own data folder where the program folder
// cannot be written (an installed copy). Load and Save Registers open their dialogs there.
#pragma once

#include <string>
#include <string_view>

// Why a folder is only read: the program runs as root and the folder belongs to another user,
// who could swap links in under what is written.
inline constexpr std::string_view kOtherUsersFolder =
    "the folder belongs to another user and this program runs as root.";

// True for a name that is one plain folder name: not empty, not "." or "..", and without
// "/", "\" or NUL. Only such a name is ever joined to a folder here.
bool IsPlainFolderName(const std::string& Name);

// The preset folder for PageVersion (the name SelectPageFolder chose, never device text),
// created with every missing parent. ProgramFolder + "Settings/" + PageVersion is used when
// it exists or can be created and may be written; otherwise UserDataFolder + "Settings/" +
// PageVersion (UserDataFolder is the caller's per-user data folder; empty means none). A
// folder of another user (see FolderOfAnotherUser) counts as one that cannot be made. When
// neither can be made, the per-user path is returned uncreated (the program folder's when
// there is none) and the file dialog opens wherever it falls back to. A PageVersion that is
// not a plain folder name raises Exception "Invalid page folder name "<name>"" and creates
// nothing. The result has no trailing "/".
std::string PresetFolder(const std::string& ProgramFolder, const std::string& PageVersion,
                         const std::string& UserDataFolder);
