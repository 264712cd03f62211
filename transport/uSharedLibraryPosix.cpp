#include <dlfcn.h>

#include "rtl/ProgramFolder.h"
#include "transport/uSharedLibrary.h"

void* OpenSharedLibrary(const std::string& Path) {
  return dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* OpenServiceLibrary(const std::string& Name) {
  void* library = OpenSharedLibrary(ProgramFolder() + Name);
  return library ? library : OpenSharedLibrary(Name);
}

void* SharedLibrarySymbol(void* Library, const char* Name) {
  return dlsym(Library, Name);
}

void CloseSharedLibrary(void* Library) {
  dlclose(Library);
}
