#include "sim/uSimRegisters.h"

#include <gtest/gtest.h>

TEST(SimRegisters, PageVersionNumberParsesOnlyDigitsDotDigits) {
  struct {
    const char* Text;
    int Number;
  } const cases[] = {{"1.00", 100}, {"1.10", 110}, {"2.5", 205},  {"", 100},
                     {"1", 100},    {"x.10", 100}, {"1.1a", 100}, {".5", 100}};
  for (const auto& c : cases) EXPECT_EQ(SimPageVersionNumber(c.Text), c.Number) << c.Text;
}

TEST(SimRegisters, SetValidatesEachKind) {
  struct {
    std::string Name;
    std::string Value;
    bool Accepted;
    const char* Stored;
  } const cases[] = {
      {"r105", "9", true, "9"},
      {"r105", "10", false, "3"},
      {"r105", "-1", false, "3"},
      {"r105", "+4", true, "4"},
      {"r105", "4x", false, "3"},
      {"r105", "", false, "3"},
      {"r200", "OFF", true, "off"},
      {"r200", "maybe", false, "on"},
      {"r302", "14400", true, "14400"},
      {"r302", "300", false, "9600"},
      {"R301", "Both", true, "both"},
      {"r400", "Yard 7", true, "Yard 7"},
      {"r400", "a;b", false, "Depot north"},
      {"r400", "a\"b", false, "Depot north"},
      {"r400", std::string(33, 'x'), false, "Depot north"},
      {"r402", "", true, ""},
      {"nothing", "1", false, nullptr},
  };
  for (const auto& c : cases) {
    TSimRegisterSet set(100);
    const auto error = set.Set(c.Name, c.Value);
    EXPECT_EQ(error.empty(), c.Accepted) << c.Name << "=" << c.Value << ": " << error;
    if (c.Stored) EXPECT_EQ(set.Value(set.IndexOf(c.Name)), c.Stored) << c.Name << "=" << c.Value;
  }
}

TEST(SimRegisters, ReplyLineQuotesTextAndMarksValuesOffTheFactoryDefault) {
  TSimRegisterSet set(100);
  set.Set("r100", "0");
  for (const char* line : {"r105=3", "r100=0", "r400=\"Depot north\" ;** changed", "r402=\"\""})
    EXPECT_EQ(set.ReplyLine(set.IndexOf(std::string(line).substr(0, 4))), line);
  EXPECT_EQ(TSimRegisterSet(100).IndexOf("r307"), -1);
  EXPECT_GE(TSimRegisterSet(110).IndexOf("R307"), 0);
}
