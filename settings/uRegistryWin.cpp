// The settings store on Windows: the registry itself, under
// HKEY_CURRENT_USER\Software\Orvane\<AppName>, strings as REG_SZ and integers as REG_DWORD.
// The ANSI calls keep texts in the program's code page.
#include <windows.h>

#include "settings/uRegistry.h"

// Here the store is the registry, and TRegStore only its open key (uRegStore.h is the file
// store of the other systems, never built here).
class TRegStore {
 public:
  explicit TRegStore(HKEY Key) : Key(Key) {}
  ~TRegStore() { RegCloseKey(Key); }
  TRegStore(const TRegStore&) = delete;
  TRegStore& operator=(const TRegStore&) = delete;

  const HKEY Key;
};

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER\\";

[[noreturn]] void Fail(const char* Pattern, const std::string& Name) {
  throw ERegistryException(Format(Pattern, Name.c_str()));
}

// The key path without its closing backslash, as the registry calls take it.
std::string SubKey(const std::string& KeyPath) {
  return KeyPath.substr(0, KeyPath.find_last_not_of('\\') + 1);
}

// Any value of that name counts, whatever its type; Size is its data size in bytes.
bool Exists(const TRegStore* Store, const std::string& Name, DWORD& Size) {
  Size = 0;
  return Store && RegQueryValueExA(Store->Key, Name.c_str(), nullptr, nullptr, nullptr, &Size) ==
                      ERROR_SUCCESS;
}

void Put(const TRegStore* Store, const std::string& Name, DWORD Type, const void* Data,
         DWORD Size) {
  if (!Store || RegSetValueExA(Store->Key, Name.c_str(), 0, Type, static_cast<const BYTE*>(Data),
                               Size) != ERROR_SUCCESS)
    Fail("Failed to set data for '%s'", Name);
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
  FRegistry = std::make_unique<TRegStore>(key);
  return true;
}

std::string TOrvaneRegistry::ReadString(const std::string& Name, const std::string& Default) {
  DWORD size = 0;
  if (!Exists(FRegistry.get(), Name, size)) return Default;
  if (size == 0) return "";
  std::string data(size, '\0');
  DWORD type = REG_NONE;
  if (RegQueryValueExA(FRegistry->Key, Name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
    Fail("Failed to get data for '%s'", Name);
  // An expandable string comes back as stored, unexpanded.
  if (type != REG_SZ && type != REG_EXPAND_SZ) Fail("Invalid data type for '%s'", Name);
  data.resize(size);
  return data.substr(0, data.find('\0'));
}

int32_t TOrvaneRegistry::ReadInteger(const std::string& Name, int32_t Default) {
  DWORD size = 0;
  if (!Exists(FRegistry.get(), Name, size)) return Default;
  // At most four bytes are read: a longer value fails; a shorter one reads zero-extended.
  uint32_t n = 0;
  size = sizeof n;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(FRegistry->Key, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&n),
                       &size) != ERROR_SUCCESS)
    Fail("Failed to get data for '%s'", Name);
  if (type != REG_DWORD) Fail("Invalid data type for '%s'", Name);
  return static_cast<int32_t>(n);
}

void TOrvaneRegistry::WriteString(const std::string& Name, const std::string& Value) {
  Put(FRegistry.get(), Name, REG_SZ, Value.c_str(), DWORD(Value.size() + 1));
}

void TOrvaneRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  const auto n = static_cast<uint32_t>(Value);
  Put(FRegistry.get(), Name, REG_DWORD, &n, sizeof n);
}

// Every user may write under HKEY_CURRENT_USER: the store is never open only for reading.
bool TOrvaneRegistry::ReadOnly() const {
  return false;
}

std::string TOrvaneRegistry::Folder() const {
  return kRoot + SubKey(FKeyPath);
}

void TOrvaneRegistry::Close() {
  FRegistry.reset();
}
