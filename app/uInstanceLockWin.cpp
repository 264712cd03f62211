#include <windows.h>

#include "app/uInstanceLock.h"

struct TInstanceLock::TMark {
  explicit TMark(HANDLE Mutex) : Mutex(Mutex) {}
  ~TMark() { CloseHandle(Mutex); }
  const HANDLE Mutex;
};

// Created without an owner, the mutex lives while any copy holds a handle to it. A second copy
// opens the same one (ERROR_ALREADY_EXISTS) and runs on: nothing is refused.
TInstanceLock::TInstanceLock(const std::string& Name) {
  const HANDLE mutex = CreateMutexA(nullptr, FALSE, Name.c_str());
  if (mutex) FMark = std::make_unique<TMark>(mutex);  // without a mark the program still runs
}

TInstanceLock::~TInstanceLock() = default;
