#include "app/uInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "rtl/UserFolders.h"

TInstanceLock::TInstanceLock(const std::string& Name) {
  const std::string path = UserRuntimeFolder() + "/" + Name + ".lock";
  // /tmp is shared: a link planted under the lock's name must not create its target.
  FFile = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (FFile < 0) return;            // without a mark the program still runs
  flock(FFile, LOCK_SH | LOCK_NB);  // every running copy holds the mark; none is refused
}

TInstanceLock::~TInstanceLock() {
  if (FFile >= 0) close(FFile);
}
