#include "rtl/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "rtl/Exceptions.h"

namespace fs = std::filesystem;

namespace {
std::string SysErrorMessage(int Error) {
  return std::generic_category().message(Error);
}

[[noreturn]] void RaiseOpenError(const std::string& FileName, int Error) {
  throw EFOpenError(Format("Cannot open file \"%s\". %s", ExpandFileName(FileName).c_str(),
                           SysErrorMessage(Error).c_str()));
}

[[noreturn]] void RaiseCreateError(const std::string& FileName, int Error) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(FileName).c_str(),
                             SysErrorMessage(Error).c_str()));
}

// Closes the descriptor and removes the temporary file unless Commit was reached.
class TTempFile {
 public:
  TTempFile(int FolderFd, std::string Name, int Fd)
      : FFolderFd(FolderFd), FName(std::move(Name)), FFd(Fd) {}
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  ~TTempFile() {
    if (FFd >= 0) ::close(FFd);
    if (!FName.empty()) ::unlinkat(FFolderFd, FName.c_str(), 0);
  }
  int Fd() const { return FFd; }
  const std::string& Name() const { return FName; }
  bool Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }
  void Commit() { FName.clear(); }

 private:
  int FFolderFd;
  std::string FName;
  int FFd;
};

// A descriptor closed when it goes out of scope.
class TFd {
 public:
  explicit TFd(int Fd) : FFd(Fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  int Get() const { return FFd; }

 private:
  int FFd;
};

// The path a write replaces: the name itself, never what a link there points to, so a link
// planted in a folder another user controls cannot send the bytes anywhere else.
fs::path TargetPath(const std::string& FileName) {
  std::error_code ec;
  const fs::path given = fs::absolute(fs::path(FileName), ec);
  return ec ? fs::path(FileName) : given.lexically_normal();
}

TTempFile CreateTempBeside(int FolderFd, const std::string& Name, const std::string& FileName,
                           mode_t Mode) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    const std::string temp = "." + Name + ".tmp" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter.fetch_add(1));
    const int fd = ::openat(FolderFd, temp.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, Mode);
    if (fd >= 0) return TTempFile(FolderFd, temp, fd);
    if (errno != EEXIST) RaiseCreateError(FileName, errno);
  }
}

bool WriteAll(int Fd, const std::string& Bytes) {
  size_t done = 0;
  while (done < Bytes.size()) {
    const ssize_t n = ::write(Fd, Bytes.data() + done, Bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void SyncFolder(int FolderFd) {
  const int fd = ::openat(FolderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The new file is complete and in place; a failing folder sync only weakens durability
  // after a power cut, which the caller could not mend anyway.
  (void)::fsync(fd);
  ::close(fd);
}

// A FIFO or a device node takes the bytes as a stream; truncating or replacing it would be
// wrong, and a reader may be waiting at the other end.
void WriteStream(int Fd, const std::string& Bytes) {
  if (!WriteAll(Fd, Bytes)) throw EWriteError();
}

// The path the system reached when it opened Fd, links resolved by the kernel; "" when the
// system does not say (no /proc).
std::string OpenedPath(int Fd) {
  std::error_code ec;
  const fs::path real = fs::read_symlink("/proc/self/fd/" + std::to_string(Fd), ec);
  return ec || !real.is_absolute() ? std::string() : real.string();
}

// Without the opened file's path the file is rewritten in place, as a shell would.
void RewriteInPlace(const std::string& FileName, int Fd, const std::string& Bytes) {
  if (::ftruncate(Fd, 0) != 0) RaiseCreateError(FileName, errno);
  if (!WriteAll(Fd, Bytes) || ::fsync(Fd) != 0) throw EWriteError();
}

bool SameFile(int FolderFd, const std::string& Name, const struct stat& Opened) {
  struct stat now {};
  return ::fstatat(FolderFd, Name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
         now.st_dev == Opened.st_dev && now.st_ino == Opened.st_ino;
}

// The regular file the kernel opened as Fd for FileName is replaced crash-safely where it
// lies; one the call itself Created goes again when the replacement fails.
void ReplaceOpened(const std::string& FileName, int Fd, const struct stat& Opened, bool Created,
                   const std::string& Bytes) {
  const fs::path real = OpenedPath(Fd);
  if (real.empty()) return RewriteInPlace(FileName, Fd, Bytes);
  const TFd folder(::open(real.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  const std::string name = real.filename().string();
  if (folder.Get() < 0) RaiseCreateError(FileName, errno);
  if (!SameFile(folder.Get(), name, Opened)) RaiseCreateError(FileName, EBUSY);
  try {
    ReplaceFileAt(folder.Get(), name, Bytes, Opened.st_mode & 07777, FileName);
  } catch (...) {
    if (Created && SameFile(folder.Get(), name, Opened)) ::unlinkat(folder.Get(), name.c_str(), 0);
    throw;
  }
}

}  // namespace

std::string ExpandFileName(const std::string& FileName) {
  std::error_code ec;
  const fs::path full = fs::absolute(fs::path(FileName), ec);
  return ec ? FileName : full.lexically_normal().string();
}

namespace {

// Reads Fd to its end, or until it holds more than Limit bytes (a negative Limit: none);
// closes it.
std::string ReadToEnd(int Fd, int64_t Limit) {
  const TFd file(Fd);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError();
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(n));
    if (Limit >= 0 && static_cast<int64_t>(bytes.size()) > Limit) return bytes;
  }
}

std::string SizeText(int64_t Bytes) {
  if (Bytes > 0 && Bytes % (1 << 20) == 0) return std::to_string(Bytes >> 20) + " MiB";
  if (Bytes > 0 && Bytes % 1024 == 0) return std::to_string(Bytes >> 10) + " KiB";
  return std::to_string(Bytes) + " bytes";
}

[[noreturn]] void RaiseOpenError(const std::string& FileName, const std::string& Reason) {
  throw EFOpenError(
      Format("Cannot open file \"%s\". %s", ExpandFileName(FileName).c_str(), Reason.c_str()));
}

}  // namespace

std::string ReadFileBytes(const std::string& FileName) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseOpenError(FileName, errno);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    RaiseOpenError(FileName, EISDIR);
  }
  return ReadToEnd(fd, -1);
}

std::string ReadUserFile(const std::string& FileName, int64_t MaxBytes) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseOpenError(FileName, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : 0;
    ::close(fd);
    if (error != 0) RaiseOpenError(FileName, error);
    RaiseOpenError(FileName, std::string("It is not a regular file"));
  }
  // A file that grows while it is read is cut at the cap too.
  std::string bytes = ReadToEnd(fd, MaxBytes);
  if (static_cast<int64_t>(bytes.size()) > MaxBytes)
    RaiseOpenError(FileName, "It is larger than " + SizeText(MaxBytes));
  return bytes;
}

void ReplaceFileAt(int FolderFd, const std::string& Name, const std::string& Bytes, mode_t NewMode,
                   const std::string& FileName) {
  struct stat old {};
  const bool regular =
      ::fstatat(FolderFd, Name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
  // Replacing by rename would bypass a write-protected file; refuse it as truncating would.
  if (regular && ::faccessat(FolderFd, Name.c_str(), W_OK, 0) != 0)
    RaiseCreateError(FileName, errno);
  TTempFile temp = CreateTempBeside(FolderFd, Name, FileName, NewMode);
  if (regular) (void)::fchmod(temp.Fd(), old.st_mode & 07777);
  if (!WriteAll(temp.Fd(), Bytes) || ::fsync(temp.Fd()) != 0 || !temp.Close()) {
    throw EWriteError();
  }
  if (::renameat(FolderFd, temp.Name().c_str(), FolderFd, Name.c_str()) != 0)
    RaiseCreateError(FileName, errno);
  temp.Commit();
  SyncFolder(FolderFd);
}

void ReplaceFileBytes(const std::string& FileName, const std::string& Bytes) {
  const fs::path target = TargetPath(FileName);
  const TFd folder(::open(target.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) RaiseCreateError(FileName, errno);
  ReplaceFileAt(folder.Get(), target.filename().string(), Bytes, 0666, FileName);
}

// The kernel follows any link at FileName, as it does for "> FILE" in a shell, so the
// system's own rules for links and files in shared folders (fs.protected_symlinks,
// fs.protected_regular) apply; O_CREAT is what makes the second apply.
void WriteNamedFile(const std::string& FileName, const std::string& Bytes, mode_t NewMode) {
  constexpr int Flags = O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC;
  bool created = true;
  int fd = ::open(FileName.c_str(), Flags | O_EXCL, NewMode);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::open(FileName.c_str(), Flags, NewMode);
  }
  if (fd < 0) RaiseCreateError(FileName, errno);
  const TFd file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) RaiseCreateError(FileName, errno);
  if (!S_ISREG(st.st_mode)) return WriteStream(fd, Bytes);
  ReplaceOpened(FileName, fd, st, created, Bytes);
}

int OpenNamedForAppend(const std::string& FileName, mode_t NewMode) {
  return ::open(FileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, NewMode);
}
