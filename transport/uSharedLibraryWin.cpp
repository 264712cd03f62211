#include <windows.h>

#include "transport/uSharedLibrary.h"

namespace {

// Critical errors fail and a missing file opens no message box while the library loads; the
// process's own error mode is put back afterwards.
void* Load(const std::string& Path, DWORD Flags) {
  const UINT saved = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE library = LoadLibraryExA(Path.c_str(), nullptr, Flags);
  SetErrorMode(saved);
  return reinterpret_cast<void*>(library);
}

}  // namespace

void* OpenSharedLibrary(const std::string& Path) {
  return Load(Path, 0);
}

// The program's own folder comes first in the ordinary search order; here it never counts.
void* OpenServiceLibrary(const std::string& Name) {
  return Load(Name, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* SharedLibrarySymbol(void* Library, const char* Name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Library), Name));
}

void CloseSharedLibrary(void* Library) {
  FreeLibrary(static_cast<HMODULE>(Library));
}
