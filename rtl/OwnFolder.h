// The folder of files whose names the program builds (a fleet's per-device presets and logs, a
// new session log): those files are the program's own and never reached through a link. The
// folder is resolved once to its real path and opened from the root down, folder by folder,
// without following a link, so that a link swapped in after the check cannot redirect what is
// written; the files are then made relative to it. Used by the session log and tallybox-cli.
#pragma once

#include <sys/types.h>

#include <string>

class TOwnFolder {
 public:
  // Opens Folder (relative to the working folder when not absolute). Run as root, a folder or
  // link of another user on its path, as given or resolved, refuses it: OtherUsers() is true.
  explicit TOwnFolder(const std::string& Folder);
  ~TOwnFolder();
  TOwnFolder(const TOwnFolder&) = delete;
  TOwnFolder& operator=(const TOwnFolder&) = delete;

  bool Opened() const { return FFd >= 0; }
  bool OtherUsers() const { return FOtherUsers; }
  int Error() const { return FError; }  // errno of a failed open

  // Creates Name only where no file or link has that name, with Mode. The descriptor, opened
  // for appending, or -1 with errno set (EEXIST: taken).
  int CreateNew(const std::string& Name, mode_t Mode) const;
  // Opens Name for appending when it is a regular file of the running user with no other name,
  // else creates it with Mode. -1 with errno set; ELOOP for a link there, EPERM for anything
  // else that is not such a file (a FIFO, a device node, a file of another user, a hard link).
  int OpenForAppend(const std::string& Name, mode_t Mode) const;
  // Replaces Name crash-safely with Bytes: a temporary file in the folder, renamed over Name,
  // so a link there is replaced and what it points to never written. Raises EFCreateError or
  // EWriteError as ReplaceFileBytes does, naming FileName.
  void Replace(const std::string& Name, const std::string& Bytes,
               const std::string& FileName) const;

 private:
  std::string FFolder;
  int FFd = -1;
  int FError = 0;
  bool FOtherUsers = false;
};
