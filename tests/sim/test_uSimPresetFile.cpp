#include "sim/uSimPresetFile.h"

#include "sim/uSimRegisters.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

TEST(SimPresetFile, ParsesLinesAsTheUtilityWritesAndReadsThem) {
  struct {
    const char* Line;
    bool Parsed;
    const char* Name;
    const char* Value;
  } const cases[] = {
      {"r5=12 ;** changed", true, "r5", "12"},
      {"r1 =5", true, "r1 ", "5"},
      {"r1= 5", true, "r1", " 5"},
      {"a=b=c", true, "a", "b=c"},
      {"name=", true, "name", ""},
      {"=x", true, "", "x"},
      {"t=\"hello world\" ; note", true, "t", "hello world"},
      {"t=\"x;y\"", true, "t", "x"},
      {"t=\"abc", true, "t", "abc"},
      {"t=\"", true, "t", ""},
      {"t=\"a\"b", true, "t", "a"},
      {"abc", false, "", ""},
  };
  for (const auto& c : cases) {
    std::string name, value;
    EXPECT_EQ(SimParseRegisterLine(c.Line, name, value), c.Parsed) << c.Line;
    if (!c.Parsed) continue;
    EXPECT_EQ(name, c.Name) << c.Line;
    EXPECT_EQ(value, c.Value) << c.Line;
  }
}

TEST(SimPresetFile, EveryLineEndGivesTheSamePairs) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const Pairs expected{{"r1", "a"}, {"r2", "b"}, {"r3", "c"}};
  for (const char* text : {"; Saved x\r\nr1=a\r\nr2=b\r\nr3=c\r\n", "r1=a\nr2=b\rr3=c",
                           "\r\nr1=a\r\r\nr2=b\n\nr3=c\n", "r1=a\nr2=b\nr3=c\n"})
    EXPECT_EQ(SimParseRegisterText(text), expected) << text;
  EXPECT_EQ(SimParseRegisterText(std::string("r1=a\nr2=b\nr3=c\n\0r4=d\n", 19)), expected);
}

TEST(SimPresetFile, LoadSetsKnownRegistersAndWarnsAboutTheRest) {
  const std::string path = ::testing::TempDir() + "sim_preset_test.rgp";
  {
    std::ofstream file(path, std::ios::binary);
    file << "; Saved 2026-01-02 03:04:05\r\nr105=5\r\nr999=1\r\nr200=perhaps\r\nR400=Shed\r\n";
  }
  TSimRegisterSet set(100);
  std::vector<std::string> warnings;
  ASSERT_TRUE(SimLoadRegisterFile(path, set, warnings));
  EXPECT_EQ(set.Value(set.IndexOf("r105")), "5");
  EXPECT_EQ(set.Value(set.IndexOf("r400")), "Shed");
  EXPECT_EQ(set.Value(set.IndexOf("r200")), "on");
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0], "r999=1: no such register");
  std::remove(path.c_str());
  EXPECT_FALSE(SimLoadRegisterFile(path, set, warnings));
}
