// The settings store as a per-user file that keeps the registry's value types.
#include "settings/uRegistry.h"

#include "rtl/UserFolders.h"
#include "settings/uRegStore.h"

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER\\";

[[noreturn]] void Fail(const char* Pattern, const std::string& Name) {
  throw ERegistryException(Format(Pattern, Name.c_str()));
}

}  // namespace

TOrvaneRegistry::TOrvaneRegistry(const std::string& AppName) : FKeyPath(KeyPathOf(AppName)) {}

TOrvaneRegistry::~TOrvaneRegistry() {
  Close();
}

bool TOrvaneRegistry::Open() {
  std::string key = kRoot + FKeyPath;
  while (key.back() == '\\') key.pop_back();
  FRegistry = std::make_unique<TRegStore>(UserConfigFolder());
  if (FRegistry->OpenKey(key)) return true;
  FRegistry.reset();
  return false;
}

std::string TOrvaneRegistry::ReadString(const std::string& Name, const std::string& Default) {
  const TRegValue* value = FRegistry ? FRegistry->Find(Name) : nullptr;
  if (!value) return Default;
  if (value->Data.empty()) return "";
  if (value->Type != REG_SZ && value->Type != REG_EXPAND_SZ)
    Fail("Invalid data type for '%s'", Name);
  // An expandable string comes back as stored, unexpanded.
  return value->Data.substr(0, value->Data.find('\0'));
}

int32_t TOrvaneRegistry::ReadInteger(const std::string& Name, int32_t Default) {
  const TRegValue* value = FRegistry ? FRegistry->Find(Name) : nullptr;
  if (!value) return Default;
  const std::string& d = value->Data;
  if (d.size() > 4) Fail("Failed to get data for '%s'", Name);
  if (value->Type != REG_DWORD) Fail("Invalid data type for '%s'", Name);
  // A hand-made value shorter than four bytes reads zero-extended.
  uint32_t n = 0;
  for (size_t i = 0; i < d.size(); ++i) n |= uint32_t(static_cast<unsigned char>(d[i])) << (8 * i);
  return static_cast<int32_t>(n);
}

void TOrvaneRegistry::WriteString(const std::string& Name, const std::string& Value) {
  if (!FRegistry || !FRegistry->Put(Name, REG_SZ, Value + '\0'))
    Fail("Failed to set data for '%s'", Name);
}

void TOrvaneRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  const auto n = static_cast<uint32_t>(Value);
  const std::string data{char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
  if (!FRegistry || !FRegistry->Put(Name, REG_DWORD, data))
    Fail("Failed to set data for '%s'", Name);
}

bool TOrvaneRegistry::ReadOnly() const {
  return FRegistry && FRegistry->ReadOnly();
}

std::string TOrvaneRegistry::Folder() const {
  return UserConfigFolder();
}

void TOrvaneRegistry::Close() {
  FRegistry.reset();
}
