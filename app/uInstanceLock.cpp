#include "app/uInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "rtl/UserFolders.h"

struct TInstanceLock::TMark {
  explicit TMark(int File) : File(File) {}
  ~TMark() { close(File); }
  const int File;
};

TInstanceLock::TInstanceLock(const std::string& Name) {
  const std::string path = UserRuntimeFolder() + "/" + Name + ".lock";
  // /tmp is shared: a link planted under the lock's name must not create its target.
  const int file = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0) return;  // without a mark the program still runs
  FMark = std::make_unique<TMark>(file);
  flock(file, LOCK_SH | LOCK_NB);  // every running copy holds the mark; none is refused
}

TInstanceLock::~TInstanceLock() = default;
