// Loads a library at run time and finds its entry points by name: the dial-up binding's way
// to the system's dial-up service without linking it. One implementation per platform.
#pragma once

#include <string>

// The library at Path (a file name alone is searched for as the system does), or null when it
// cannot be loaded. A missing library shows no message to the user.
void* OpenSharedLibrary(const std::string& Path);
// The system's service library Name, from where the platform keeps such libraries: on
// Windows its system folder only (a DLL of that name dropped beside the program, in a
// download folder, must never run); elsewhere beside the running program, then the library
// path. Null when it cannot be loaded.
void* OpenServiceLibrary(const std::string& Name);
// The address of the entry point Name, or null when the library has none.
void* SharedLibrarySymbol(void* Library, const char* Name);
void CloseSharedLibrary(void* Library);
