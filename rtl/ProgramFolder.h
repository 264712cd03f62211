// The folder of the running program, with a trailing "/", and the folder its page templates
// come from. The main window and the dial-up binding look for their files there.
#pragma once

#include <string>

// "./" when the executable's path cannot be read.
std::string ProgramFolder();

// The page templates' folder, with a trailing "/": ProgramFolder itself when "home.htm" lies
// there (a build tree, a copied folder), else the installed data folder beside it,
// ProgramFolder + "../share/tallybox-utility/", when that holds "home.htm". When neither
// does, ProgramFolder, so the window reports the missing page against the program's folder.
// A ProgramFolder without its trailing "/" is taken as if it had one.
std::string PageTemplateFolder(const std::string& ProgramFolder);
std::string PageTemplateFolder();

// True when PageFolder, as PageTemplateFolder(ProgramFolder) chose it, is the installed data
// folder rather than the program's own: an installed copy, whose folders belong to the
// package, not to whoever runs it.
bool PagesInstalled(const std::string& PageFolder, const std::string& ProgramFolder);
