// A re-entrant lock with the enter/leave shape the queues and dispatchers use.
#pragma once

#include <mutex>

class TCriticalSection {
 public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }

 protected:
  std::recursive_mutex FMutex;
};
