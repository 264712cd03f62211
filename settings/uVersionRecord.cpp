#include "settings/uVersionRecord.h"

#include <algorithm>
#include <cstring>

#include "settings/uElfSection.h"

namespace {

// Paths are compared without regard to ASCII case, whatever the locale.
char LowerAscii(char C) {
  return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C;
}

bool ReadRecord(const std::string& FileName, std::string& Info) {
  return ReadElfSection(FileName, kVersionSection, kMaxVersionRecord, Info) &&
         Info.compare(0, kVersionMagic.size(), kVersionMagic) == 0;
}

}  // namespace

uint32_t GetFileVersionInfoSize(const std::string& FileName, uint32_t& Handle) {
  Handle = 0;
  std::string info;
  return ReadRecord(FileName, info) ? uint32_t(info.size()) : 0;
}

bool GetFileVersionInfo(const std::string& FileName, uint32_t /*Handle*/, uint32_t Len,
                        void* Data) {
  std::string info;
  if (!Data || !ReadRecord(FileName, info)) return false;
  std::memcpy(Data, info.data(), std::min<size_t>(Len, info.size()));
  return true;
}

bool VerQueryValue(std::string_view Info, std::string_view SubBlock, std::string& Value) {
  Value.clear();
  if (Info.substr(0, kVersionMagic.size()) != kVersionMagic) return false;
  size_t at = kVersionMagic.size();
  // Each text must end inside the record; a cut-off pair is not an entry.
  const auto next = [&](std::string_view& Text) {
    const size_t end = Info.find('\0', at);
    if (end == std::string_view::npos) return false;
    Text = Info.substr(at, end - at);
    at = end + 1;
    return true;
  };
  std::string_view path, value;
  while (next(path) && !path.empty() && next(value)) {
    if (std::ranges::equal(path, SubBlock, {}, LowerAscii, LowerAscii)) {
      Value.assign(value);
      return true;
    }
  }
  return false;
}
