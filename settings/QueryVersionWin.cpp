// The version reader's access to a file's VERSIONINFO resource through the version API, which
// hands back the string table's texts in the ANSI code page.
#include <windows.h>
#include <winver.h>

#include <cstring>

#include "settings/QueryVersion.h"

std::string OwnExecutable() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
}

uint32_t TVersionReader::InfoSize(const std::string& FileName, uint32_t& Handle) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(FileName.c_str(), &handle);
  Handle = handle;
  return size;
}

bool TVersionReader::CopyInfo(const std::string& FileName) {
  return GetFileVersionInfoA(FileName.c_str(), FHandle, DWORD(FInfoSize), FInfo.get()) != FALSE;
}

bool TVersionReader::FindValue(const std::string& SubBlock, std::string& Value) const {
  void* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(FInfo.get(), SubBlock.c_str(), &text, &length) || !text) return false;
  const auto* chars = static_cast<const char*>(text);
  Value.assign(chars, strnlen(chars, length));
  return true;
}
