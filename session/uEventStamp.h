// Event lines as the events memo shows them: the device's red event marker becomes the local
// time of display, "hh:mm:ss" and a space, and the colour reset is dropped. Used by the main
// window's events view. Qt-free.
#pragma once

#include <ctime>
#include <string>

// "hh:mm:ss " (24-hour, two digits each) for Time, with the user's time separator.
std::string EventStamp(const std::tm& Time);

// Text with every event marker replaced by Stamp and every ESC "[0m" removed. The marker is
// NUL TAB ESC "[31m"; a NUL TAB not followed by ESC "[31m" is taken as a marker too, so no
// stray NUL or TAB reaches the memo. Empty text stays empty; other bytes pass unchanged.
std::string StampEvents(const std::string& Text, const std::string& Stamp);

// StampEvents with the stamp of the current local time (LocalNow).
std::string StampEvents(const std::string& Text);
