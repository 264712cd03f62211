// The version reader's access to the record the build places in an ELF section.
#include <string_view>

#include "settings/QueryVersion.h"
#include "settings/uVersionRecord.h"

// The file itself even when it was replaced or removed since the program started.
std::string OwnExecutable() {
  return "/proc/self/exe";
}

uint32_t TVersionReader::InfoSize(const std::string& FileName, uint32_t& Handle) {
  return GetFileVersionInfoSize(FileName, Handle);
}

bool TVersionReader::CopyInfo(const std::string& FileName) {
  return GetFileVersionInfo(FileName, FHandle, uint32_t(FInfoSize), FInfo.get());
}

bool TVersionReader::FindValue(const std::string& SubBlock, std::string& Value) const {
  return VerQueryValue(std::string_view(FInfo.get(), size_t(FInfoSize)), SubBlock, Value);
}
