#include "settings/QueryVersion.h"

// The same steps on every system; each reads the record in its own way (QueryVersionPosix.cpp,
// QueryVersionWin.cpp).
TVersionReader::TVersionReader(const std::string& FileName) {
  FInfoSize = int32_t(InfoSize(FileName, FHandle));
  if (FInfoSize > 0) FInfo = std::make_unique<char[]>(size_t(FInfoSize));
  Valid = FInfoSize > 0 && CopyInfo(FileName);
  if (!Valid) return;
  // A missing entry leaves an empty text, not "?".
  FileVersion = QueryValue("FileVersion");
  FileDate = QueryValue("FileDate");
  LegalCopyright = QueryValue("LegalCopyright");
  FileDescription = QueryValue("FileDescription");
}

std::string TVersionReader::QueryValue(const std::string& Name) {
  std::string value;
  if (!FInfo || !FindValue("\\StringFileInfo\\080904E4\\" + Name, value)) return "";
  return value;
}
