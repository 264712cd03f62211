#include "XwdScreen.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The XWD header: 25 big-endian 32-bit fields, then the window name, the colour map
// (12 bytes an entry) and the pixels.
enum : size_t {
  kHeaderSize = 0,
  kWidth = 4,
  kHeight = 5,
  kByteOrder = 7,
  kBitsPerPixel = 11,
  kBytesPerLine = 12,
  kRedMask = 14,
  kColourCount = 19,
  kFields = 25
};

uint32_t BigEndian(const std::vector<unsigned char>& Bytes, size_t Field) {
  const unsigned char* p = Bytes.data() + Field * 4;
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

bool VisitXwdPixels(const std::string& File,
                    const std::function<void(uint8_t, uint8_t, uint8_t)>& Visit) {
  std::ifstream in(File, std::ios::binary);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
  if (bytes.size() < kFields * 4) return false;
  const uint64_t width = BigEndian(bytes, kWidth), height = BigEndian(bytes, kHeight);
  const uint64_t perLine = BigEndian(bytes, kBytesPerLine);
  const uint64_t start =
      uint64_t(BigEndian(bytes, kHeaderSize)) + uint64_t(BigEndian(bytes, kColourCount)) * 12;
  if (BigEndian(bytes, kBitsPerPixel) != 32 || BigEndian(bytes, kRedMask) != 0xff0000 ||
      BigEndian(bytes, kByteOrder) != 0 || perLine < width * 4 ||
      start + perLine * height > bytes.size())
    return false;
  for (uint64_t y = 0; y < height; ++y) {
    const unsigned char* p = bytes.data() + start + y * perLine;
    for (uint64_t x = 0; x < width; ++x, p += 4) Visit(p[2], p[1], p[0]);  // B G R X
  }
  return true;
}
