#include "app/uInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "rtl/UserFolders.h"

TInstanceLock::TInstanceLock(const std::string& Name) {
  const std::string path = UserRuntimeFolder() + "/" + Name + ".lock";
  FFile = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (FFile < 0) return;  // without a mark the program still runs
  // Every copy holds a shared lock; a copy that cannot take an exclusive one is not alone.
  FOtherCopy = flock(FFile, LOCK_EX | LOCK_NB) != 0;
  flock(FFile, LOCK_SH | LOCK_NB);
}

TInstanceLock::~TInstanceLock() {
  if (FFile >= 0) close(FFile);
}
