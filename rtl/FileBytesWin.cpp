// Whole-file reading and replacement on Windows: the same contract as elsewhere (see the
// header), with the new content flushed to disk and moved over the old file in one step.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include "rtl/Exceptions.h"
#include "rtl/FileBytes.h"

namespace fs = std::filesystem;

namespace {
std::string SysErrorMessage(DWORD Error) {
  return std::system_category().message(static_cast<int>(Error));
}

[[noreturn]] void RaiseOpenError(const std::string& FileName, DWORD Error) {
  throw EFOpenError(Format("Cannot open file \"%s\". %s", ExpandFileName(FileName).c_str(),
                           SysErrorMessage(Error).c_str()));
}

[[noreturn]] void RaiseCreateError(const std::string& FileName, DWORD Error) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(FileName).c_str(),
                             SysErrorMessage(Error).c_str()));
}

class THandle {
 public:
  explicit THandle(HANDLE Handle) : FHandle(Handle) {}
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() { Close(); }
  HANDLE Get() const { return FHandle; }
  bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE h = FHandle;
    FHandle = INVALID_HANDLE_VALUE;
    return h == INVALID_HANDLE_VALUE || CloseHandle(h);
  }

 private:
  HANDLE FHandle;
};

// Removes the temporary file unless Commit was reached.
struct TTempName {
  std::string Path;
  ~TTempName() {
    if (!Path.empty()) DeleteFileA(Path.c_str());
  }
};

bool WriteAll(HANDLE File, const std::string& Bytes) {
  size_t done = 0;
  while (done < Bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Bytes.size() - done, 1 << 20));
    DWORD n = 0;
    if (!WriteFile(File, Bytes.data() + done, chunk, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}
}  // namespace

std::string ExpandFileName(const std::string& FileName) {
  std::error_code ec;
  const fs::path full = fs::absolute(fs::path(FileName), ec);
  return ec ? FileName : full.lexically_normal().string();
}

std::string ReadFileBytes(const std::string& FileName) {
  THandle file(CreateFileA(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) RaiseOpenError(FileName, GetLastError());
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) throw EReadError();
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

// Windows has no FIFO to wait on at a file's name; a file past the cap is still refused.
std::string ReadUserFile(const std::string& FileName, int64_t MaxBytes) {
  std::string bytes = ReadFileBytes(FileName);
  if (static_cast<int64_t>(bytes.size()) > MaxBytes)
    throw EFOpenError(Format("Cannot open file \"%s\". It is larger than %lld MiB",
                             ExpandFileName(FileName).c_str(),
                             static_cast<long long>(MaxBytes >> 20)));
  return bytes;
}

void ReplaceFileBytes(const std::string& FileName, const std::string& Bytes) {
  static std::atomic<unsigned> counter{0};
  const std::string target = ExpandFileName(FileName);
  const DWORD attributes = GetFileAttributesA(target.c_str());
  // Replacing by a move would bypass a read-only file; refuse it as truncating would.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    RaiseCreateError(FileName, ERROR_ACCESS_DENIED);
  const fs::path path(target);
  TTempName temp;
  HANDLE created = INVALID_HANDLE_VALUE;
  while (created == INVALID_HANDLE_VALUE) {
    temp.Path = (path.parent_path() /
                 ("." + path.filename().string() + ".tmp" + std::to_string(GetCurrentProcessId()) +
                  "-" + std::to_string(counter.fetch_add(1))))
                    .string();
    created = CreateFileA(temp.Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      const DWORD error = GetLastError();
      temp.Path.clear();
      RaiseCreateError(FileName, error);
    }
  }
  THandle file(created);
  if (!WriteAll(file.Get(), Bytes) || !FlushFileBuffers(file.Get()) || !file.Close())
    throw EWriteError();
  if (!MoveFileExA(temp.Path.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    RaiseCreateError(FileName, GetLastError());
  temp.Path.clear();
}

// A device the user names ("NUL", "CON", a pipe) is written as a stream, as "> NUL" would;
// anything else is replaced crash-safely.
void WriteNamedFile(const std::string& FileName, const std::string& Bytes, mode_t /*NewMode*/) {
  THandle device(CreateFileA(FileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (device.Valid() && GetFileType(device.Get()) != FILE_TYPE_DISK) {
    if (!WriteAll(device.Get(), Bytes)) throw EWriteError();
    return;
  }
  device.Close();
  ReplaceFileBytes(FileName, Bytes);
}

int OpenNamedForAppend(const std::string& FileName, mode_t /*NewMode*/) {
  return ::_open(FileName.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}
