// The simulated device's wire texts: the prompt, event lines, modem-trace lines and the ANSI
// sequences of its terminal text. Used by the device model and the session of tallybox-sim.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace simtext {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kPasswordRequest = "PASSWORD";

// Colour sequences the utility's terminal knows (the text between ESC and "m" selects them).
inline constexpr std::string_view kRedBold = "\x1b[41;33;1m";
inline constexpr std::string_view kGreen = "\x1b[0;1m";
inline constexpr std::string_view kBlue = "\x1b[36;1m";
inline constexpr std::string_view kNormal = "\x1b[0m";
inline constexpr std::string_view kHidden = "\x1b[0;31;41m";
inline constexpr std::string_view kBlueBold = "\x1b[34;1m";
inline constexpr std::string_view kRed = "\x1b[31m";
inline constexpr std::string_view kClearScreen = "\x1b[2J";

// ESC "[34;1m<Tallybox " Unit ">" ESC "[0m": the device's prompt, which ends every reply.
std::string Prompt(std::string_view Unit);

// NUL TAB ESC "[31m" Text ESC "[0m" and the line end End. CR and LF inside Text become
// blanks, since they would end the line early.
std::string EventLine(std::string_view Text, std::string_view End = kCrLf);

// The burst sent with --flood: event lines "Flood event 1", "Flood event 2", ... until at
// least Bytes bytes (none for 0), each ended by End.
std::string FloodText(std::size_t Bytes, std::string_view End = kCrLf);

// NUL TAB ESC "[31mM:" and Bytes as a quoted string, then the line end End. Bytes outside
// printable ASCII, the quote and the backslash are written as \xHH, so the line never holds a
// raw CR or LF.
std::string ModemTraceLine(std::string_view Bytes, std::string_view End = kCrLf);

// Bytes shown one per character with \xHH for anything unprintable, as the log records lines.
std::string Printable(std::string_view Bytes);

}  // namespace simtext
