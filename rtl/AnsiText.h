// The device's character set, the Windows ANSI code page 1252, against Unicode: the one
// conversion used wherever text crosses between the device and the user (the windows, the
// command-line tool's terminal output and JSON, typed keys, passwords and fields). Bytes
// 0x80-0x9F are the code page's own characters (euro sign, curly quotes, dashes); the five
// it leaves undefined map to the C1 control of the same value, as Windows maps them.
#pragma once

#include <string>
#include <string_view>

char16_t AnsiToUnicode(unsigned char Byte);
// The byte that stands for Code in the code page, or -1 when it has none.
int UnicodeToAnsi(char32_t Code);

std::u16string AnsiToUtf16(std::string_view Text);
std::string AnsiToUtf8(std::string_view Text);

// Text in the code page. False when a character has no byte there: Missing is then the
// first such character (a surrogate pair counts as one) and Out is left empty. Nothing is
// ever replaced by "?".
bool Utf16ToAnsi(std::u16string_view Text, std::string& Out, char32_t& Missing);
