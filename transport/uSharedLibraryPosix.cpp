#include <dlfcn.h>

#include "transport/uSharedLibrary.h"

void* OpenSharedLibrary(const std::string& Path) {
  return dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* SharedLibrarySymbol(void* Library, const char* Name) {
  return dlsym(Library, Name);
}

void CloseSharedLibrary(void* Library) {
  dlclose(Library);
}
