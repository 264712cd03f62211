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
  TTempFile(std::string Path, int Fd) : FPath(std::move(Path)), FFd(Fd) {}
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  ~TTempFile() {
    if (FFd >= 0) ::close(FFd);
    if (!FPath.empty()) ::unlink(FPath.c_str());
  }
  int Fd() const { return FFd; }
  const std::string& Path() const { return FPath; }
  bool Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }
  void Commit() { FPath.clear(); }

 private:
  std::string FPath;
  int FFd;
};

// The path a write replaces: the name itself, never what a link there points to, so a link
// planted in a folder another user controls cannot send the bytes anywhere else.
fs::path TargetPath(const std::string& FileName) {
  std::error_code ec;
  const fs::path given = fs::absolute(fs::path(FileName), ec);
  return ec ? fs::path(FileName) : given.lexically_normal();
}

TTempFile CreateTempBeside(const std::string& FileName, const fs::path& Target, mode_t Mode) {
  static std::atomic<unsigned> counter{0};
  const fs::path folder = Target.parent_path();
  for (;;) {
    const fs::path temp =
        folder / ("." + Target.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                  std::to_string(counter.fetch_add(1)));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, Mode);
    if (fd >= 0) return TTempFile(temp.string(), fd);
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

// Where the system lands when it follows the links at Path: each link's target is taken
// against the real folder of the link, as the kernel takes it.
fs::path FollowLinks(const std::string& FileName, fs::path Path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(Path, ec))) return Path;
    const fs::path to = fs::read_symlink(Path, ec);
    if (ec) return Path;
    const fs::path folder = fs::canonical(Path.parent_path(), ec);
    Path = (to.is_absolute() || ec ? to : folder / to).lexically_normal();
  }
  RaiseCreateError(FileName, ELOOP);
}

// A FIFO or a device node takes the bytes as a stream; truncating or replacing it would be
// wrong, and a reader may be waiting at the other end.
void WriteStream(const std::string& FileName, const fs::path& Target, const std::string& Bytes) {
  const int fd = ::open(Target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) RaiseCreateError(FileName, errno);
  const bool written = WriteAll(fd, Bytes);
  const bool closed = ::close(fd) == 0 || errno == EINTR;
  if (!written || !closed) throw EWriteError();
}

void SyncFolder(const fs::path& Folder) {
  const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The new file is complete and in place; a failing folder sync only weakens durability
  // after a power cut, which the caller could not mend anyway.
  (void)::fsync(fd);
  ::close(fd);
}

void ReplaceAt(const std::string& FileName, const fs::path& Target, const std::string& Bytes,
               mode_t NewMode) {
  struct stat old {};
  const bool exists = ::lstat(Target.c_str(), &old) == 0;
  // Replacing by rename would bypass a write-protected file; refuse it as truncating would.
  if (exists && S_ISREG(old.st_mode) && ::access(Target.c_str(), W_OK) != 0) {
    RaiseCreateError(FileName, errno);
  }
  TTempFile temp = CreateTempBeside(FileName, Target, NewMode);
  if (exists && S_ISREG(old.st_mode)) (void)::fchmod(temp.Fd(), old.st_mode & 07777);
  if (!WriteAll(temp.Fd(), Bytes) || ::fsync(temp.Fd()) != 0 || !temp.Close()) {
    throw EWriteError();
  }
  if (::rename(temp.Path().c_str(), Target.c_str()) != 0) RaiseCreateError(FileName, errno);
  temp.Commit();
  SyncFolder(Target.parent_path());
}

}  // namespace

std::string ExpandFileName(const std::string& FileName) {
  std::error_code ec;
  const fs::path full = fs::absolute(fs::path(FileName), ec);
  return ec ? FileName : full.lexically_normal().string();
}

std::string ReadFileBytes(const std::string& FileName) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseOpenError(FileName, errno);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    RaiseOpenError(FileName, EISDIR);
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      throw EReadError();
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return bytes;
}

void ReplaceFileBytes(const std::string& FileName, const std::string& Bytes) {
  ReplaceAt(FileName, TargetPath(FileName), Bytes, 0666);
}

void WriteNamedFile(const std::string& FileName, const std::string& Bytes, mode_t NewMode) {
  const fs::path target = FollowLinks(FileName, TargetPath(FileName));
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
    return WriteStream(FileName, target, Bytes);
  ReplaceAt(FileName, target, Bytes, NewMode);
}

int OpenNamedForAppend(const std::string& FileName, mode_t NewMode) {
  return ::open(FileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_CLOEXEC, NewMode);
}

// O_EXCL never follows a link, not even one to nowhere; O_NOFOLLOW says so twice.
int CreateOwnFile(const std::string& FileName, mode_t NewMode) {
  return ::open(FileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                NewMode);
}
