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
  int32_t FInfoSize = 0;
  std::unique_ptr<char[]> FInfo;
  uint32_t FHandle = 0;

 public:
  bool Valid = false;
};
