#include "session/uSessionLog.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

TSessionLog::TSessionLog(TWallClock Now) : FNow(std::move(Now)) {}

TSessionLog::~TSessionLog() {
  Close();
}

bool TSessionLog::Open(const std::string& FileName) {
  Close();
  FLines = TLogLines();
  FFileName = FileName;
  FError.clear();
  FFile = std::fopen(FileName.c_str(), "ab");
  if (FFile) return true;
  FError = "The session log " + FileName + " cannot be opened: " + std::strerror(errno);
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
