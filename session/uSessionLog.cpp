#include "session/uSessionLog.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "rtl/FileBytes.h"
#include "rtl/OwnFolder.h"
#include "session/uPresetFolder.h"

namespace {

constexpr mode_t LogMode = 0600;  // the dialogue is the user's own, password masked or not
constexpr int MaxSuffix = 1000;

// Name with "-N" before its extension.
std::string Suffixed(const std::string& Name, int N) {
  if (N == 1) return Name;
  const size_t dot = Name.rfind('.');
  const size_t at = dot == std::string::npos || dot == 0 ? Name.size() : dot;
  return Name.substr(0, at) + "-" + std::to_string(N) + Name.substr(at);
}

}  // namespace

TSessionLog::TSessionLog(TWallClock Now) : FNow(std::move(Now)) {}

TSessionLog::~TSessionLog() {
  Close();
}

bool TSessionLog::Open(const std::string& FileName) {
  Close();
  return Adopt(OpenNamedForAppend(FileName, LogMode), FileName);
}

bool TSessionLog::Create(const std::string& Folder, const std::string& Name) {
  Close();
  const TOwnFolder folder(Folder);
  if (!FolderUsable(folder, Folder, Name)) return false;
  std::string file;
  int fd = -1;
  for (int n = 1; fd < 0 && n <= MaxSuffix; ++n) {
    file = Folder + "/" + Suffixed(Name, n);
    fd = folder.CreateNew(Suffixed(Name, n), LogMode);
    if (fd < 0 && errno != EEXIST) break;
  }
  return Adopt(fd, file);
}

bool TSessionLog::Append(const std::string& Folder, const std::string& Name) {
  Close();
  const TOwnFolder folder(Folder);
  if (!FolderUsable(folder, Folder, Name)) return false;
  const std::string file = Folder + "/" + Name;
  const int fd = folder.OpenForAppend(Name, LogMode);
  if (fd < 0 && (errno == ELOOP || errno == EPERM)) {
    FFileName = file;
    FError =
        "The session log " + file + " is left alone: only a plain file of this user is appended to";
    return false;
  }
  return Adopt(fd, file);
}

// False after saying why nothing can be logged in Folder: refused by the rule for root, or
// not there.
bool TSessionLog::FolderUsable(const TOwnFolder& Opened, const std::string& Folder,
                               const std::string& Name) {
  FRefused = Opened.OtherUsers();
  if (FRefused) {
    FFileName.clear();
    FError = "The session is not logged in " + Folder + ": " + std::string(kOtherUsersFolder);
    return false;
  }
  if (Opened.Opened()) return true;
  errno = Opened.Error();
  return Adopt(-1, Folder + "/" + Name);
}

// The log goes on in Fd (the file opened for FileName), or says why there is none.
bool TSessionLog::Adopt(int Fd, const std::string& FileName) {
  FLines = TLogLines();
  FFileName = FileName;
  FError.clear();
  FRefused = false;
  if (Fd >= 0) FFile = ::fdopen(Fd, "ab");
  if (FFile) return true;
  const int error = errno;
  if (Fd >= 0) ::close(Fd);
  FError = "The session log " + FileName + " cannot be opened: " + std::strerror(error);
  return false;
}

void TSessionLog::Close() {
  if (!FFile) return;
  Put(FLines.Finish());
  if (!FFile) return;
  const bool failed = std::fflush(FFile) != 0;
  const int error = errno;
  std::fclose(FFile);
  FFile = nullptr;
  if (failed) {
    errno = error;
    FError = "The session log " + FFileName + " could not be written: " + std::strerror(errno);
    if (OnFailed) OnFailed(FError);
  }
}

void TSessionLog::Received(std::string_view Bytes) {
  if (FFile) Put(FLines.Add(TLogDirection::Received, Bytes, FNow(), false));
}

void TSessionLog::Sent(std::string_view Bytes) {
  if (FFile) Put(FLines.Add(TLogDirection::Sent, Bytes, FNow(), FPasswordAsked));
}

void TSessionLog::Tick() {
  if (!FFile) return;
  Put(FLines.Expire(FNow(), LineWait));
  if (FFile && std::fflush(FFile) != 0) Fail();
}

void TSessionLog::EndLines() {
  if (!FFile) return;
  Put(FLines.Finish());
  if (FFile && std::fflush(FFile) != 0) Fail();
}

void TSessionLog::Put(const std::string& Lines) {
  if (Lines.empty() || !FFile) return;
  if (std::fwrite(Lines.data(), 1, Lines.size(), FFile) != Lines.size()) Fail();
}

// The file is given up at the first failed write: what follows would leave gaps in it.
void TSessionLog::Fail() {
  FError = "The session log " + FFileName + " could not be written: " + std::strerror(errno);
  std::fclose(FFile);
  FFile = nullptr;
  if (OnFailed) OnFailed(FError);
}

std::string SessionLogName(TLogTime At, const std::string& Address) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(At);
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
  std::string address = Address.empty() ? "device" : Address;
  for (char& c : address)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
  return std::string("tallybox-") + stamp + "-" + address + ".log";
}
