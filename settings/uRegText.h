// The text form of the settings store: keys holding typed values, read from and written to
// the REGEDIT4 layout. Used by the store file (uRegFileStore) and by the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

struct TRegValue {
  std::string Name;  // "" is the key's default value, written as @
  uint32_t Type = REG_NONE;
  std::string Data;  // the raw bytes; a REG_SZ holds its terminating zero byte
  bool operator==(const TRegValue&) const = default;
};

struct TRegKey {
  std::string Name;  // full path, e.g. HKEY_CURRENT_USER\Software\Orvane\TallyboxUtility
  std::vector<TRegValue> Values;
  bool operator==(const TRegKey&) const = default;

  // Value names, like key names, ignore ASCII case, as the registry does.
  const TRegValue* Find(std::string_view ValueName) const;
  // Replaces the data and type of an existing value (keeping its spelling) or appends one.
  void Put(std::string_view ValueName, uint32_t Type, std::string Data);
};

struct TRegText {
  std::vector<TRegKey> Keys;
  bool operator==(const TRegText&) const = default;

  const TRegKey* FindKey(std::string_view KeyName) const;
  TRegKey& AddKey(std::string_view KeyName);  // the existing key when there is one
};

bool SameRegName(std::string_view A, std::string_view B);
// A key name the text form can hold: not empty, no control bytes and no leading '-' (which
// would read as a deletion).
bool IsValidRegKeyName(std::string_view Name);

// False when Text is not a well-formed store; Out is then left empty.
bool ParseRegText(std::string_view Text, TRegText& Out);
std::string FormatRegText(const TRegText& Text);
