// Reads register preset files (the name=value text that the utility saves) and parses single
// name=value lines the same way, for the simulator's start-up preset and its received
// register lines.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TSimRegisterSet;

// Splits Line at its first "=": Name is the text before it as it stands; Value is the rest up
// to any ";", without trailing blanks and tabs, and without its quotes when it starts with a
// double quote. False (nothing parsed) when the line has no "=".
bool SimParseRegisterLine(std::string_view Line, std::string& Name, std::string& Value);

// The name=value pairs of a whole file's text, in file order. CR LF, a lone CR or a lone LF
// end a line, a NUL ends the text, and lines without "=" (the header, comments) are skipped.
std::vector<std::pair<std::string, std::string>> SimParseRegisterText(std::string_view Text);

// Loads FileName into Registers. Pairs that name no register or hold a value the register
// refuses are skipped, each with a line in Warnings. False when the file cannot be read.
bool SimLoadRegisterFile(const std::string& FileName, TSimRegisterSet& Registers,
                         std::vector<std::string>& Warnings);
