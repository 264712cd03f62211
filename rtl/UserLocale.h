// The user's locale as the environment names it (LC_ALL, then the category's own variable,
// then LANG), turned into an ICU locale id. The name comparison and the time format use it.
#pragma once

#include <string>

// "de_DE.UTF-8@euro" -> "de_DE"; "C", "POSIX" and "" -> "" (ICU's root locale). The POSIX
// locale is deliberately not mapped to ICU's en_US_POSIX, whose order puts case first.
std::string IcuLocaleFromPosix(const std::string& PosixName);

// CategoryVariable is "LC_COLLATE", "LC_TIME" and the like; an empty variable counts as unset.
std::string UserIcuLocale(const char* CategoryVariable);
