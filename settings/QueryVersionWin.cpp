// The version reader on Windows: the file's VERSIONINFO resource through the version API,
// which hands back the string table's texts in the ANSI code page.
#include <windows.h>
#include <winver.h>

#include <cstring>

#include "settings/QueryVersion.h"

std::string OwnExecutable() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
}

TVersionReader::TVersionReader(const std::string& FileName) {
  DWORD handle = 0;
  FInfoSize = int32_t(GetFileVersionInfoSizeA(FileName.c_str(), &handle));
  FHandle = handle;
  if (FInfoSize > 0) FInfo = std::make_unique<char[]>(size_t(FInfoSize));
  Valid = FInfoSize > 0 &&
          GetFileVersionInfoA(FileName.c_str(), FHandle, DWORD(FInfoSize), FInfo.get()) != FALSE;
  if (!Valid) return;
  // A missing entry leaves an empty text, not "?".
  FileVersion = QueryValue("FileVersion");
  FileDate = QueryValue("FileDate");
  LegalCopyright = QueryValue("LegalCopyright");
  FileDescription = QueryValue("FileDescription");
}

std::string TVersionReader::QueryValue(const std::string& Name) {
  const std::string path = "\\StringFileInfo\\080904E4\\" + Name;
  void* text = nullptr;
  UINT length = 0;
  if (!FInfo || !VerQueryValueA(FInfo.get(), path.c_str(), &text, &length) || !text) return "";
  const auto* chars = static_cast<const char*>(text);
  return std::string(chars, strnlen(chars, length));
}
