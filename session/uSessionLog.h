// The session log file: everything received from and sent to the device, appended as the log
// lines of TLogLines to a plain text file. The dialogue feeds it the bytes as they cross, tells
// it while the device asks for the password, and ticks it; the main window and tallybox-cli
// open and close it. A write failure stops the log and is told once. A log file is private to
// its user: a new one is created 0600.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "session/uLogLines.h"

class TOwnFolder;

class TSessionLog {
 public:
  using TWallClock = std::function<TLogTime()>;
  // A received line waits this long for its end before it is written as far as it came.
  static constexpr std::chrono::milliseconds LineWait{1000};

  explicit TSessionLog(TWallClock Now = [] { return std::chrono::system_clock::now(); });
  ~TSessionLog();
  TSessionLog(const TSessionLog&) = delete;
  TSessionLog& operator=(const TSessionLog&) = delete;

  // Opens FileName, a file the user named, for appending as ">> FILE" in a shell would: through
  // a link, into a FIFO or a device node as a stream, created when missing. Closes any file
  // open before. False when it cannot be opened: Error() says why, and nothing is logged.
  bool Open(const std::string& FileName);
  // Opens a new log named Name in Folder, a file of the program's own: created only where no
  // file or link has that name (else Name with "-2", "-3", ... before its extension), never
  // through a link. Run as root, never in a folder of another user on Folder's real path (see
  // TOwnFolder): then nothing is opened, Refused() is true and Error() says why.
  bool Create(const std::string& Folder, const std::string& Name);
  // Opens Name in Folder, a log of the program's own kept from one run to the next: appended
  // to when it is a plain file of the running user, created when missing, refused when
  // anything else (a link, a FIFO, another user's file) has the name. Folder as for Create.
  bool Append(const std::string& Folder, const std::string& Name);
  // Writes the open lines and closes the file. Nothing when none is open.
  void Close();
  bool Active() const { return FFile != nullptr; }
  const std::string& FileName() const { return FFileName; }
  // Why the last Open failed or the log stopped; empty otherwise.
  const std::string& Error() const { return FError; }
  // The last Create was refused by the rule above rather than failed.
  bool Refused() const { return FRefused; }
  // Runs once when a write fails: the file is closed and nothing more is logged.
  std::function<void(const std::string& Error)> OnFailed;

  void Received(std::string_view Bytes);
  void Sent(std::string_view Bytes);
  // While the device asks for the password, what is sent is masked.
  void SetPasswordAsked(bool Asked) { FPasswordAsked = Asked; }
  bool PasswordAsked() const { return FPasswordAsked; }
  // Writes the received line that waited LineWait for its end, and flushes the file.
  void Tick();
  // The connection closed: the open lines are written as far as they came, and flushed.
  void EndLines();

 private:
  bool FolderUsable(const TOwnFolder& Opened, const std::string& Folder, const std::string& Name);
  bool Adopt(int Fd, const std::string& FileName);
  void Put(const std::string& Lines);
  void Fail();

  TWallClock FNow;
  TLogLines FLines;
  std::FILE* FFile = nullptr;
  std::string FFileName;
  std::string FError;
  bool FPasswordAsked = false;
  bool FRefused = false;
};

// The file name a log of a session with the device at Address started at At gets unless the
// user chooses another: "tallybox-yyyy-mm-dd-hhmmss-<address>.log" in local time, with every
// character of Address that is not a letter, digit, dot or hyphen as "_".
std::string SessionLogName(TLogTime At, const std::string& Address);
