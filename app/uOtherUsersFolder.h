// Run as root, the program saves nothing in a folder of another user: the main window and its
// helpers ask here before they write a file the user chose, and the user is told why not.
#pragma once

#include <string>

class QWidget;

// True, after a message box over Window saying NotSaved + the folder + why, when File lies in
// a folder of another user; false (nothing shown) otherwise.
bool TellOtherUsersFolder(QWidget* Window, const std::string& File, const std::string& NotSaved);
