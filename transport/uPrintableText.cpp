// PrintableText (declared with the serial device list, which shows what devices call
// themselves): the same on every platform.
#include "transport/uSerialDevices.h"

namespace {

// The length of the UTF-8 sequence at Text[I], 0 when it is not a valid one.
size_t SequenceLength(const std::string& Text, size_t I) {
  const auto byte = [&](size_t K) { return static_cast<unsigned char>(Text[K]); };
  const unsigned char lead = byte(I);
  const size_t length = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5 ? 4
                                                      : 0;
  if (length == 0 || I + length > Text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((byte(I + k) & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((lead == 0xE0 && byte(I + 1) < 0xA0) || (lead == 0xED && byte(I + 1) >= 0xA0) ||
      (lead == 0xF0 && byte(I + 1) < 0x90) || (lead == 0xF4 && byte(I + 1) >= 0x90))
    return 0;
  // C1 controls (U+0080 to U+009F) act on terminals as ESC does.
  if (lead == 0xC2 && byte(I + 1) < 0xA0) return 0;
  return length;
}

}  // namespace

std::string PrintableText(const std::string& Text) {
  std::string out;
  for (size_t i = 0; i < Text.size();) {
    const size_t length = SequenceLength(Text, i);
    const unsigned char c = static_cast<unsigned char>(Text[i]);
    if (length == 0 || (length == 1 && (c < 0x20 || c == 0x7F))) {
      out += '?';
      ++i;
    } else {
      out.append(Text, i, length);
      i += length;
    }
  }
  return out;
}
