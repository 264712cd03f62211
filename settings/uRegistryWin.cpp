// The settings store on Windows: the registry itself, under
// HKEY_CURRENT_USER\Software\Orvane\<AppName>, strings as REG_SZ and integers as REG_DWORD.
// The ANSI calls keep texts in the program's code page.
#include <windows.h>

#include "settings/uRegistry.h"

// Here the open key is one of the registry's (the file store of the other systems,
// uRegFileStore, is never built here).
struct TOrvaneRegistry::TOpenKey {
  explicit TOpenKey(HKEY Key) : Key(Key) {}
  ~TOpenKey() { RegCloseKey(Key); }
  TOpenKey(const TOpenKey&) = delete;
  TOpenKey& operator=(const TOpenKey&) = delete;

  const HKEY Key;
};

namespace {

// The key path without its closing backslash, as the registry calls take it.
std::string SubKey(const std::string& KeyPath) {
  return KeyPath.substr(0, KeyPath.find_last_not_of('\\') + 1);
}

}  // namespace

TOrvaneRegistry::TOrvaneRegistry(const std::string& AppName) : FKeyPath(KeyPathOf(AppName)) {}

TOrvaneRegistry::~TOrvaneRegistry() {
  Close();
}

bool TOrvaneRegistry::Open() {
  Close();
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SubKey(FKeyPath).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  FKey = std::make_unique<TOpenKey>(key);
  return true;
}

// Any value of that name counts, whatever its type. A value longer than Limit makes the
// query fail (ERROR_MORE_DATA).
TOrvaneRegistry::TFetch TOrvaneRegistry::Fetch(const std::string& Name, size_t Limit,
                                               uint32_t& Type, std::string& Data) const {
  DWORD size = 0;
  if (!FKey ||
      RegQueryValueExA(FKey->Key, Name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return TFetch::Missing;
  if (Limit > 0) size = DWORD(Limit);
  Data.assign(size, '\0');
  DWORD type = REG_NONE;
  if (size > 0 && RegQueryValueExA(FKey->Key, Name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(Data.data()), &size) != ERROR_SUCCESS)
    return TFetch::Failed;
  Data.resize(size);
  Type = type;
  return TFetch::Got;
}

bool TOrvaneRegistry::Store(const std::string& Name, uint32_t Type, const std::string& Data) {
  return FKey && RegSetValueExA(FKey->Key, Name.c_str(), 0, Type,
                                reinterpret_cast<const BYTE*>(Data.data()),
                                DWORD(Data.size())) == ERROR_SUCCESS;
}

// Every user may write under HKEY_CURRENT_USER: the store is never open only for reading.
bool TOrvaneRegistry::ReadOnly() const {
  return false;
}

std::string TOrvaneRegistry::Folder() const {
  return Root + SubKey(FKeyPath);
}

void TOrvaneRegistry::Close() {
  FKey.reset();
}
