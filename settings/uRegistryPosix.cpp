// The settings store as a per-user file that keeps the registry's value types.
#include <utility>

#include "rtl/UserFolders.h"
#include "settings/uRegFileStore.h"
#include "settings/uRegistry.h"

struct TOrvaneRegistry::TOpenKey {
  explicit TOpenKey(std::string Folder) : Store(std::move(Folder)) {}
  TRegFileStore Store;
};

TOrvaneRegistry::TOrvaneRegistry(const std::string& AppName) : FKeyPath(KeyPathOf(AppName)) {}

TOrvaneRegistry::~TOrvaneRegistry() {
  Close();
}

bool TOrvaneRegistry::Open() {
  std::string key = Root + FKeyPath;
  while (key.back() == '\\') key.pop_back();
  FKey = std::make_unique<TOpenKey>(UserConfigFolder());
  if (FKey->Store.OpenKey(key)) return true;
  FKey.reset();
  return false;
}

TOrvaneRegistry::TFetch TOrvaneRegistry::Fetch(const std::string& Name, size_t Limit,
                                               uint32_t& Type, std::string& Data) const {
  const TRegValue* value = FKey ? FKey->Store.Find(Name) : nullptr;
  if (!value) return TFetch::Missing;
  if (Limit > 0 && value->Data.size() > Limit) return TFetch::Failed;
  Type = value->Type;
  Data = value->Data;
  return TFetch::Got;
}

bool TOrvaneRegistry::Store(const std::string& Name, uint32_t Type, const std::string& Data) {
  return FKey && FKey->Store.Put(Name, Type, Data);
}

bool TOrvaneRegistry::ReadOnly() const {
  return FKey && FKey->Store.ReadOnly();
}

std::string TOrvaneRegistry::Folder() const {
  return UserConfigFolder();
}

void TOrvaneRegistry::Close() {
  FKey.reset();
}
