#include "settings/uVersionRecord.h"

#include <gtest/gtest.h>

#include <string>

#include "TempConfig.h"

using namespace std::string_literals;

namespace {

std::string Record(const std::string& Pairs) {
  return std::string(kVersionMagic) + Pairs;
}

const std::string kRecord = Record(
    "\\StringFileInfo\\080904E4\\FileDescription\0Tallybox Utility\0"
    "\\StringFileInfo\\080904E4\\FileVersion\0"
    "1.0.9.7\0"
    "\\StringFileInfo\\080904E4\\Empty\0\0"
    "\\StringFileInfo\\040904B0\\FileVersion\0"
    "2.0.0.0\0"
    "\0"s);

}  // namespace

TEST(VersionRecord, QueryFindsEntriesByPath) {
  const struct {
    std::string Path;
    bool Found;
    std::string Value;
  } cases[] = {
      {"\\StringFileInfo\\080904E4\\FileDescription", true, "Tallybox Utility"},
      {"\\StringFileInfo\\080904E4\\FileVersion", true, "1.0.9.7"},
      {"\\stringfileinfo\\080904e4\\fileversion", true, "1.0.9.7"},
      {"\\StringFileInfo\\040904B0\\FileVersion", true, "2.0.0.0"},
      {"\\StringFileInfo\\080904E4\\Empty", true, ""},
      {"\\StringFileInfo\\080904E4\\FileDate", false, ""},
      {"\\StringFileInfo\\080904E4", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    std::string value = "stale";
    EXPECT_EQ(VerQueryValue(kRecord, c.Path, value), c.Found) << c.Path;
    EXPECT_EQ(value, c.Value) << c.Path;
  }
}

TEST(VersionRecord, EntriesAfterTheEndOrCutOffAreNotFound) {
  std::string value;
  const std::string afterEnd = Record(
      "\0\\StringFileInfo\\080904E4\\FileVersion\0"
      "1\0"s);
  EXPECT_FALSE(VerQueryValue(afterEnd, "\\StringFileInfo\\080904E4\\FileVersion", value));
  const std::string cut = Record(
      "\\StringFileInfo\\080904E4\\FileVersion\0"
      "1.0"s);
  EXPECT_FALSE(VerQueryValue(cut, "\\StringFileInfo\\080904E4\\FileVersion", value));
  std::string wrongMagic = kRecord;
  wrongMagic[0] = 't';
  EXPECT_FALSE(VerQueryValue(wrongMagic, "\\StringFileInfo\\080904E4\\FileVersion", value));
  EXPECT_FALSE(VerQueryValue("", "\\StringFileInfo\\080904E4\\FileVersion", value));
}

TEST(VersionRecord, FilesWithoutARecordHaveSizeZero) {
  TTempConfig temp;
  const std::string text = temp.Folder + "/notes.txt";
  WriteFileBytes(text, "no executable here");
  const std::string names[] = {text, temp.Folder, temp.Folder + "/missing", ""};
  for (const std::string& name : names) {
    uint32_t handle = 77;
    EXPECT_EQ(GetFileVersionInfoSize(name, handle), 0u) << name;
    EXPECT_EQ(handle, 0u);
    char buffer[16];
    EXPECT_FALSE(GetFileVersionInfo(name, 0, sizeof buffer, buffer)) << name;
  }
}
