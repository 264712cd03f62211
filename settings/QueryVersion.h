// Reads the four texts of the version record that an executable carries: description,
// version, build date and copyright line. The About box reads the running program's own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A name under which the running program's own executable file opens.
std::string OwnExecutable();

class TVersionReader {
 public:
  std::string FileVersion = "?";
  std::string FileDate = "?";
  std::string FileDescription = "?";
  std::string LegalCopyright = "\xA9 ?";  // the copyright sign in Windows-1252

  explicit TVersionReader(const std::string& FileName);
  std::string QueryValue(const std::string& Name);

 private:
  // What each system offers: the size of FileName's record, a copy of it into FInfo, and the
  // text of one entry of the copy.
  static uint32_t InfoSize(const std::string& FileName, uint32_t& Handle);
  bool CopyInfo(const std::string& FileName);
  bool FindValue(const std::string& SubBlock, std::string& Value) const;

  int32_t FInfoSize = 0;
  std::unique_ptr<char[]> FInfo;
  uint32_t FHandle = 0;

 public:
  bool Valid = false;
};
