#include "rtl/OwnFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "rtl/FileBytes.h"
#include "rtl/UserFolders.h"

namespace {

// Root writing where another user may rename or replace a folder on the way.
bool OfAnotherUser(const struct stat& St) {
  return ::geteuid() == 0 && St.st_uid != 0;
}

}  // namespace

TOwnFolder::TOwnFolder(const std::string& Folder) : FFolder(Folder) {
  if (FolderOfAnotherUser(FFolder)) {
    FOtherUsers = true;
    FError = EPERM;
    return;
  }
  char* resolved = ::realpath(FFolder.c_str(), nullptr);
  if (!resolved) {
    FError = errno;
    return;
  }
  const std::string real = resolved;
  std::free(resolved);
  // Each step is a folder entry of the one opened before: a link swapped in since realpath
  // looked is refused, not followed.
  int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (size_t at = 1; fd >= 0;) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || OfAnotherUser(st)) {
      FOtherUsers = OfAnotherUser(st);
      FError = FOtherUsers ? EPERM : errno;
      ::close(fd);
      return;
    }
    if (at >= real.size()) break;
    const size_t end = std::min(real.find('/', at), real.size());
    const int next = ::openat(fd, real.substr(at, end - at).c_str(),
                              O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) FError = errno;
    ::close(fd);
    fd = next;
    at = end + 1;
  }
  if (fd < 0 && FError == 0) FError = errno;
  FFd = fd;
}

TOwnFolder::~TOwnFolder() {
  if (FFd >= 0) ::close(FFd);
}

// O_EXCL never follows a link, not even one to nowhere; O_NOFOLLOW says so twice.
int TOwnFolder::CreateNew(const std::string& Name, mode_t Mode) const {
  return ::openat(FFd, Name.c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, Mode);
}

int TOwnFolder::OpenForAppend(const std::string& Name, mode_t Mode) const {
  // Non-blocking, so that a FIFO planted there is refused instead of waited on.
  const int fd = ::openat(FFd, Name.c_str(),
                          O_WRONLY | O_APPEND | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENXIO) errno = EPERM;  // a FIFO without a reader, a device node
  if (fd < 0) return errno == ENOENT ? CreateNew(Name, Mode) : -1;
  struct stat st {};
  // A second name is a hard link someone made to a file of theirs choosing.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
      st.st_nlink != 1 || ::fcntl(fd, F_SETFL, O_WRONLY | O_APPEND) != 0) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  return fd;
}

void TOwnFolder::Replace(const std::string& Name, const std::string& Bytes,
                         const std::string& FileName) const {
  ReplaceFileAt(FFd, Name, Bytes, 0666, FileName);
}
