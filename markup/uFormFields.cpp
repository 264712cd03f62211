// Decoding of a captured form query.
#include "markup/uFormFields.h"

namespace {

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

std::string DecodeFormComponent(std::string_view Encoded) {
  std::string out;
  out.reserve(Encoded.size());
  for (size_t i = 0; i < Encoded.size(); ++i) {
    const char c = Encoded[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < Encoded.size() && HexDigit(Encoded[i + 1]) >= 0 &&
               HexDigit(Encoded[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(Encoded[i + 1]) * 16 + HexDigit(Encoded[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> DecodeFormFields(std::string_view Query) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= Query.size()) {
    size_t end = Query.find('&', start);
    if (end == std::string_view::npos) end = Query.size();
    const std::string_view piece = Query.substr(start, end - start);
    if (!piece.empty()) {
      const size_t eq = piece.find('=');
      std::string field = DecodeFormComponent(piece.substr(0, eq));
      field += '=';
      if (eq != std::string_view::npos) field += DecodeFormComponent(piece.substr(eq + 1));
      fields.push_back(std::move(field));
    }
    start = end + 1;
  }
  return fields;
}
