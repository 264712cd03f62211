#include <windows.h>

#include "transport/uSharedLibrary.h"

// Critical errors fail and a missing file opens no message box while the library loads; the
// process's own error mode is put back afterwards.
void* OpenSharedLibrary(const std::string& Path) {
  const UINT saved = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE library = LoadLibraryA(Path.c_str());
  SetErrorMode(saved);
  return reinterpret_cast<void*>(library);
}

void* SharedLibrarySymbol(void* Library, const char* Name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(Library), Name));
}

void CloseSharedLibrary(void* Library) {
  FreeLibrary(static_cast<HMODULE>(Library));
}
