// A re-entrant lock with the enter/leave shape the queues and dispatchers use.
#pragma once

#include <mutex>

class TCriticalSection {
 public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }

  // BasicLockable, so std::lock_guard can hold it for a scope.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 protected:
  std::recursive_mutex FMutex;
};
