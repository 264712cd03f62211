// The program's own folder on Windows: each account's profile is its own, so there is no root
// that writes in another user's folder; a link (reparse point) at a file's name is still never
// written through.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>

#include "rtl/FileBytes.h"
#include "rtl/OwnFolder.h"

namespace {

constexpr int AppendFlags = _O_WRONLY | _O_APPEND | _O_BINARY | _O_NOINHERIT;

}  // namespace

TOwnFolder::TOwnFolder(const std::string& Folder) : FFolder(Folder) {
  const DWORD attributes = GetFileAttributesA(Folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    FError = ENOENT;
  else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    FError = ENOTDIR;
  else
    FFd = 0;
}

TOwnFolder::~TOwnFolder() = default;

int TOwnFolder::CreateNew(const std::string& Name, mode_t /*Mode*/) const {
  return ::_open((FFolder + "/" + Name).c_str(), AppendFlags | _O_CREAT | _O_EXCL,
                 _S_IREAD | _S_IWRITE);
}

int TOwnFolder::OpenForAppend(const std::string& Name, mode_t Mode) const {
  const DWORD attributes = GetFileAttributesA((FFolder + "/" + Name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return CreateNew(Name, Mode);
  errno = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ELOOP : EPERM;
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return -1;
  return ::_open((FFolder + "/" + Name).c_str(), AppendFlags);
}

void TOwnFolder::Replace(const std::string& Name, const std::string& Bytes,
                         const std::string& /*FileName*/) const {
  ReplaceFileBytes(FFolder + "/" + Name, Bytes);
}
