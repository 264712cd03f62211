#include "settings/uRegFileStore.h"

#include "rtl/Exceptions.h"
#include "rtl/FileBytes.h"
#include "rtl/UserFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// Far beyond any real store; a bigger file is treated as damaged rather than read whole.
constexpr off_t kMaxStoreSize = 16 << 20;
// Temporary files of a save are named "." + store file + ".tmp…" beside the store.
constexpr const char* kTempSuffix = ".tmp";
constexpr const char* kAsideInfix = ".damaged-";

class TFd {
 public:
  explicit TFd(int Fd = -1) : FFd(Fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  bool Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }

 private:
  int FFd;
};

bool MakeFolders(const std::string& Path) {
  for (size_t slash = 1; slash != std::string::npos;) {
    slash = Path.find('/', slash + 1);
    const std::string part = Path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return ::stat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TRegFileStore::TRegFileStore(std::string Folder) : FFolder(std::move(Folder)) {}

bool TRegFileStore::OpenKey(const std::string& KeyName) {
  FKeyName = KeyName;
  FKey = {KeyName, {}};
  if (FFolder.empty() || !IsValidRegKeyName(KeyName)) return false;
  FReadOnly = FolderOfAnotherUser(FFolder);
  if (!FReadOnly && !MakeFolders(FFolder)) return false;
  TRegText text;
  const TLoad loaded = Load(text);
  if (FReadOnly) {
    if (const TRegKey* key = loaded == TLoad::Loaded ? text.FindKey(KeyName) : nullptr) FKey = *key;
    return true;
  }
  switch (loaded) {
    case TLoad::Failed:
      return false;
    case TLoad::Damaged:
      return true;  // reads give their defaults; the next write sets the file aside
    case TLoad::Loaded:
      if (const TRegKey* key = text.FindKey(KeyName)) {
        FKey = *key;
        return true;
      }
      break;
    case TLoad::Missing:
      break;
  }
  return Update([&](TRegText& Text) { Text.AddKey(KeyName); });
}

const TRegValue* TRegFileStore::Find(const std::string& ValueName) const {
  return FKey.Find(ValueName);
}

bool TRegFileStore::Put(const std::string& ValueName, uint32_t Type, const std::string& Data) {
  if (FKeyName.empty() || FReadOnly) return false;
  return Update([&](TRegText& Text) { Text.AddKey(FKeyName).Put(ValueName, Type, Data); });
}

TRegFileStore::TLoad TRegFileStore::Load(TRegText& Text) const {
  Text = {};
  // Without O_NONBLOCK a pipe put where the store belongs would hold the open indefinitely.
  TFd fd(::open(FileName().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) return errno == ENOENT ? TLoad::Missing : TLoad::Failed;
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return TLoad::Failed;
  if (st.st_size > kMaxStoreSize) return TLoad::Damaged;
  std::string content(size_t(st.st_size), '\0');
  size_t got = 0;
  while (got < content.size()) {
    const ssize_t n = ::read(fd.Get(), content.data() + got, content.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return TLoad::Failed;
    if (n == 0) break;
    got += size_t(n);
  }
  content.resize(got);
  return ParseRegText(content, Text) ? TLoad::Loaded : TLoad::Damaged;
}

// Read, change and replace under one lock, so that two programs saving at the same time
// both keep their values; what is read here is what was last written, not the snapshot.
template <class Change>
bool TRegFileStore::Update(const Change& Apply) {
  const std::string lockName = FileName() + ".lock";
  // A link planted in the lock's place fails the save instead of creating its target.
  TFd lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!lock.Valid()) return false;
  while (::flock(lock.Get(), LOCK_EX) != 0)
    if (errno != EINTR) return false;
  TRegText text;
  const TLoad loaded = Load(text);
  if (loaded == TLoad::Failed) return false;  // never overwrite what could not be read
  Apply(text);
  const std::string formatted = FormatRegText(text);
  if (formatted.size() > size_t(kMaxStoreSize)) return false;
  RemoveStaleTemps();
  if (!Replace(formatted, loaded == TLoad::Damaged)) return false;
  if (const TRegKey* key = text.FindKey(FKeyName)) FKey = *key;
  return true;
}

// Writes the new store beside the old one and renames it into place: at every moment the
// file name holds either the old store or the new one, complete.
bool TRegFileStore::Replace(const std::string& Text, bool KeepOldAside) const {
  if (KeepOldAside && !KeepAside()) return false;
  try {
    ReplaceFileBytes(FileName(), Text);
    return true;
  } catch (const EStreamError&) {
    return false;  // the caller reports the failed write in its own words
  }
}

// A store that could not be parsed is kept under a name of its own for the user to look at.
bool TRegFileStore::KeepAside() const {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = FileName() + kAsideInfix + stamp;
  for (int n = 1; n < 1000; ++n) {
    const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
    if (::link(FileName().c_str(), aside.c_str()) == 0) return true;
    if (errno == EEXIST) continue;
    // A file system without hard links: move it instead (the new store follows at once).
    struct stat st;
    if (::lstat(aside.c_str(), &st) == 0) continue;
    return ::rename(FileName().c_str(), aside.c_str()) == 0;
  }
  return false;
}

// Temporary files are only ever open under the lock, so any left now are from a writer
// that died mid-save.
void TRegFileStore::RemoveStaleTemps() const {
  DIR* dir = ::opendir(FFolder.c_str());
  if (!dir) return;
  const std::string prefix = "." + std::string(kRegStoreFile) + kTempSuffix;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) == 0) ::unlink((FFolder + "/" + name).c_str());
  }
  ::closedir(dir);
}
