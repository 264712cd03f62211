#include <windows.h>

#include <string>

#include "rtl/ProgramFolder.h"

// The folders are written with "/" as everywhere else in the program; Windows takes both.
std::string ProgramFolder() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "./";
  std::string exe(path, length);
  for (char& c : exe)
    if (c == '\\') c = '/';
  return exe.substr(0, exe.rfind('/') + 1);
}
