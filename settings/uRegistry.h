// The program's per-user settings: named string and integer values under one key,
// Software\Orvane\<AppName>\. The main window opens it, reads or writes its values, and
// closes it again at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "rtl/Exceptions.h"

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
  // True while open on a store that is only read (see TRegFileStore::OpenKey); writes then fail.
  bool ReadOnly() const;
  // Where the store lives: the folder that holds its file, or on Windows its registry key.
  std::string Folder() const;

  const std::string& KeyPath() const { return FKeyPath; }

 private:
  // The open key: of the per-user file store (TRegFileStore), or on Windows of the registry.
  struct TOpenKey;
  enum class TFetch { Missing, Got, Failed };
  static constexpr const char* Root = "HKEY_CURRENT_USER\\";

  // Software\Orvane\<AppName>\, the same on every system.
  static std::string KeyPathOf(const std::string& AppName);
  // What each system does (uRegistryPosix.cpp, uRegistryWin.cpp); the reading and writing
  // rules and their messages are shared (uRegistry.cpp). Fetch gives the value's type and at
  // most Limit bytes of its data (0: all), Failed when it holds more; Store is false when the
  // value was not stored.
  TFetch Fetch(const std::string& Name, size_t Limit, uint32_t& Type, std::string& Data) const;
  bool Store(const std::string& Name, uint32_t Type, const std::string& Data);

  std::string FKeyPath;
  std::unique_ptr<TOpenKey> FKey;  // none while closed
};
