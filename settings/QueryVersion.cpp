#include "settings/QueryVersion.h"

#include <string_view>

#include "settings/uVersionRecord.h"

// The file itself even when it was replaced or removed since the program started.
std::string OwnExecutable() {
  return "/proc/self/exe";
}

TVersionReader::TVersionReader(const std::string& FileName) {
  FInfoSize = int32_t(GetFileVersionInfoSize(FileName, FHandle));
  if (FInfoSize > 0) FInfo = std::make_unique<char[]>(size_t(FInfoSize));
  Valid = FInfoSize > 0 && GetFileVersionInfo(FileName, FHandle, uint32_t(FInfoSize), FInfo.get());
  if (!Valid) return;
  // A missing entry leaves an empty text, not "?".
  FileVersion = QueryValue("FileVersion");
  FileDate = QueryValue("FileDate");
  LegalCopyright = QueryValue("LegalCopyright");
  FileDescription = QueryValue("FileDescription");
}

std::string TVersionReader::QueryValue(const std::string& Name) {
  std::string value;
  const std::string path = "\\StringFileInfo\\080904E4\\" + Name;
  if (!FInfo || !VerQueryValue(std::string_view(FInfo.get(), size_t(FInfoSize)), path, value))
    return "";
  return value;
}
