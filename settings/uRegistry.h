// The program's per-user settings: named string and integer values under one key,
// Software\Orvane\<AppName>\. The main window opens it, reads or writes its values, and
// closes it again at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "rtl/Exceptions.h"

class TRegStore;

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class TOrvaneRegistry {
 public:
  explicit TOrvaneRegistry(const std::string& AppName);
  ~TOrvaneRegistry();

  bool Open();
  std::string ReadString(const std::string& Name, const std::string& Default);
  int32_t ReadInteger(const std::string& Name, int32_t Default);
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteInteger(const std::string& Name, int32_t Value);
  void Close();
  // True while open on a store that is only read (see TRegStore::OpenKey); writes then fail.
  bool ReadOnly() const;
  // Where the store lives: the folder that holds its file, or on Windows its registry key.
  std::string Folder() const;

  const std::string& KeyPath() const { return FKeyPath; }

 private:
  // Software\Orvane\<AppName>\, the same on every system.
  static std::string KeyPathOf(const std::string& AppName);

  std::string FKeyPath;
  std::unique_ptr<TRegStore> FRegistry;  // the open key; none while closed
};
