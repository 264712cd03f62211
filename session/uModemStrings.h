// Decoding of the device's modem-trace lines for the modem memo: the contents of every M:"..."
// string, with \xHH escapes turned back into bytes. Used by the main window's modem view.
// Qt-free.
#pragma once

#include <string>

// True when Text holds at least one modem string opener, the three characters M:".
bool HasModemStrings(const std::string& Text);

// The decoded contents of every M:"..." string in Text, joined without a separator. Inside a
// string, a backslash, "x" and one or two hexadecimal digits become that byte; a backslash not
// followed by "x" and valid digits stays a backslash. An unclosed last string runs to the end of
// Text. Text without an opener gives an empty result; any byte sequence is accepted.
std::string ExtractModemStrings(const std::string& Text);
