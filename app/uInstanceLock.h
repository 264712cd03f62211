// Marks that a copy of the program runs for this user: a lock file in the user's runtime
// folder, or on Windows the named mutex, held while the program lives. It refuses nothing; a
// second copy starts normally.
#pragma once

#include <memory>
#include <string>

class TInstanceLock {
 public:
  explicit TInstanceLock(const std::string& Name);
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

 private:
  struct TMark;                  // what each system holds: the open lock file or the mutex
  std::unique_ptr<TMark> FMark;  // none when it could not be made
};
