// Local date and time for the texts the program writes (the preset file header, event
// stamps): the current local time behind a replaceable source, the user's time separator,
// and a small FormatDateTime with the toolkit's pattern letters.
#pragma once

#include <ctime>
#include <functional>
#include <string>

// The current local time. An empty source restores the system clock.
std::tm LocalNow();
void SetLocalNowSource(std::function<std::tm()> Source);

// The separator between hours, minutes and seconds in the given ICU locale ("." in "fi",
// ":" in most), and in the user's time locale (LC_ALL, LC_TIME, LANG; read once).
std::string TimeSeparatorFor(const std::string& IcuLocale);
std::string TimeSeparator();

// Pattern letters: yyyy, yy, mm (month, or minutes right after hh), dd, hh (00-23), nn, ss;
// ":" becomes the time separator, double-quoted text is copied, every other character too.
std::string FormatDateTime(const std::string& Pattern, const std::tm& Time,
                           const std::string& TimeSep);
std::string FormatDateTime(const std::string& Pattern, const std::tm& Time);
