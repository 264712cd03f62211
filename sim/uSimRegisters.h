// The simulated device's register set: a few dozen registers of four kinds (numbers, on/off
// flags, choices from a list, free text), each validated when set and reported as a
// name=value line. The device model owns one set; the register pages name the same registers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Extra registers are named r1000 .. r9999.
inline constexpr std::size_t kSimMaxExtraRegisters = 9000;

enum class TSimRegisterKind { Number, Flag, Choice, Text };

struct TSimRegisterDef {
  std::string Name;
  std::string Caption;
  TSimRegisterKind Kind;
  std::string Factory;  // factory default; a register holding anything else is reported marked
  long Min = 0;         // numbers only
  long Max = 0;
  std::vector<std::string> Choices;  // choices only
  std::size_t MaxLength = 0;         // text only
  int SinceVersion = 100;            // page version (times 100) that introduced the register
};

class TSimRegisterSet {
 public:
  // The registers that a device of this page version (times 100, 1.10 -> 110) has, holding
  // the values the device left the factory installation with, followed by Extra plain number
  // registers r1000, r1001, ... (0..999999, factory 0) for exercising large register pages.
  // Extra is capped at kSimMaxExtraRegisters.
  explicit TSimRegisterSet(int PageVersion, std::size_t Extra = 0);

  std::size_t Count() const { return FDefs.size(); }
  const TSimRegisterDef& Def(std::size_t Index) const { return FDefs[Index]; }
  const std::string& Value(std::size_t Index) const { return FValues[Index]; }

  // Index of the register named Name (letter case ignored), or -1.
  int IndexOf(const std::string& Name) const;

  // Validates Value for the register and stores it in its canonical spelling. Returns an
  // empty text on success, otherwise why it was refused (the register keeps its value).
  // Changed tells whether the stored value differs from before.
  std::string Set(const std::string& Name, const std::string& Value, bool* Changed = nullptr);

  // name=value, text quoted, with " ;** changed" when the value is not the factory default.
  std::string ReplyLine(std::size_t Index) const;

  // Every register's ReplyLine, each followed by CR LF.
  std::string Reply() const;

 private:
  std::vector<TSimRegisterDef> FDefs;
  std::vector<std::string> FValues;
};

// "1.10" -> 110; anything that is not digits, a dot and digits gives 100.
int SimPageVersionNumber(const std::string& PageVersion);
