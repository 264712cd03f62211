// Marks that a copy of the program runs for this user: a lock file in the user's runtime
// folder, held while the program lives. It refuses nothing; a second copy starts normally.
#pragma once

#include <string>

class TInstanceLock {
 public:
  explicit TInstanceLock(const std::string& Name);
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

 private:
  int FFile = -1;
};
