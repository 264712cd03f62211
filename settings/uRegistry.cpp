#include "settings/uRegistry.h"

#include "settings/uRegText.h"

namespace {

[[noreturn]] void Fail(const char* Pattern, const std::string& Name) {
  throw ERegistryException(Format(Pattern, Name.c_str()));
}

constexpr const char* kWrongType = "Invalid data type for '%s'";
constexpr const char* kNotRead = "Failed to get data for '%s'";
constexpr const char* kNotStored = "Failed to set data for '%s'";

}  // namespace

// The same key on every system; each keeps its values in its own way (uRegistryPosix.cpp,
// uRegistryWin.cpp).
std::string TOrvaneRegistry::KeyPathOf(const std::string& AppName) {
  std::string path = AppName;
  if (!path.empty() && path[0] == '\\') path.erase(0, 1);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return "Software\\Orvane\\" + path;
}

std::string TOrvaneRegistry::ReadString(const std::string& Name, const std::string& Default) {
  uint32_t type = REG_NONE;
  std::string data;
  const TFetch fetched = Fetch(Name, 0, type, data);
  if (fetched == TFetch::Missing) return Default;
  if (fetched == TFetch::Failed) Fail(kNotRead, Name);
  if (data.empty()) return "";
  // An expandable string comes back as stored, unexpanded.
  if (type != REG_SZ && type != REG_EXPAND_SZ) Fail(kWrongType, Name);
  return data.substr(0, data.find('\0'));
}

int32_t TOrvaneRegistry::ReadInteger(const std::string& Name, int32_t Default) {
  uint32_t type = REG_NONE;
  std::string data;
  // At most four bytes are read: a longer value fails; a shorter one reads zero-extended.
  const TFetch fetched = Fetch(Name, 4, type, data);
  if (fetched == TFetch::Missing) return Default;
  if (fetched == TFetch::Failed) Fail(kNotRead, Name);
  if (type != REG_DWORD) Fail(kWrongType, Name);
  uint32_t n = 0;
  for (size_t i = 0; i < data.size(); ++i)
    n |= uint32_t(static_cast<unsigned char>(data[i])) << (8 * i);
  return static_cast<int32_t>(n);
}

void TOrvaneRegistry::WriteString(const std::string& Name, const std::string& Value) {
  if (!Store(Name, REG_SZ, Value + '\0')) Fail(kNotStored, Name);
}

void TOrvaneRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  const auto n = static_cast<uint32_t>(Value);
  if (!Store(Name, REG_DWORD, {char(n), char(n >> 8), char(n >> 16), char(n >> 24)}))
    Fail(kNotStored, Name);
}
