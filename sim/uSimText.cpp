#include "sim/uSimText.h"

#include <cstdio>

namespace simtext {

namespace {

void AppendHex(std::string& Out, unsigned char Byte) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", Byte);
  Out += hex;
}

}  // namespace

std::string Prompt(std::string_view Unit) {
  std::string prompt(kBlueBold);
  prompt += "<Tallybox ";
  for (char c : Unit)
    if (c != '>') prompt += c;  // a ">" would end the prompt early
  prompt += '>';
  prompt += kNormal;
  return prompt;
}

std::string FloodText(std::size_t Bytes, std::string_view End) {
  std::string flood;
  for (unsigned n = 1; flood.size() < Bytes; ++n)
    flood += EventLine("Flood event " + std::to_string(n), End);
  return flood;
}

std::string EventLine(std::string_view Text, std::string_view End) {
  std::string line("\0\t", 2);
  line += kRed;
  for (char c : Text) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += kNormal;
  line += End;
  return line;
}

std::string ModemTraceLine(std::string_view Bytes, std::string_view End) {
  std::string line("\0\t", 2);
  line += kRed;
  line += "M:\"";
  for (char c : Bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7e || c == '"' || c == '\\')
      AppendHex(line, byte);
    else
      line += c;
  }
  line += '"';
  line += End;
  return line;
}

std::string Printable(std::string_view Bytes) {
  std::string out;
  for (char c : Bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7e || c == '\\')
      AppendHex(out, byte);
    else
      out += c;
  }
  return out;
}

}  // namespace simtext
