// The per-user file behind the settings store: where it lives, how it is read, and how it is
// replaced so that a crash or a full disk never loses what was there. TOrvaneRegistry holds
// one of these as its open key.
#pragma once

#include <string>

#include "settings/uRegText.h"

constexpr const char* kRegStoreFile = "settings.reg";

class TRegFileStore {
 public:
  explicit TRegFileStore(std::string Folder);

  // Reads the store and opens KeyName (a full key path such as
  // HKEY_CURRENT_USER\Software\Orvane\TallyboxUtility), creating the key when it is missing.
  // A store that cannot be parsed opens as empty and is set aside by the next write. A folder
  // that belongs to another user while the program runs as root is only read: the key opens
  // read-only (missing values give their defaults) and every Put fails.
  bool OpenKey(const std::string& KeyName);
  bool ReadOnly() const { return FReadOnly; }
  const TRegValue* Find(const std::string& ValueName) const;
  // Stores one value and replaces the file before returning; false when that failed, and
  // then the file on disk is as it was.
  bool Put(const std::string& ValueName, uint32_t Type, const std::string& Data);

  std::string FileName() const { return FFolder + "/" + kRegStoreFile; }

 private:
  enum class TLoad { Missing, Loaded, Damaged, Failed };
  TLoad Load(TRegText& Text) const;
  template <class Change>
  bool Update(const Change& Apply);
  bool Replace(const std::string& Text, bool KeepOldAside) const;
  bool KeepAside() const;
  void RemoveStaleTemps() const;

  std::string FFolder;
  std::string FKeyName;
  bool FReadOnly = false;
  TRegKey FKey;  // the values of the open key as last read or written
};
