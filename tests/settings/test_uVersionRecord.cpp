#include "settings/uVersionRecord.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempConfig.h"

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
  const std::string version = "\\StringFileInfo\\080904E4\\FileVersion";
  std::string wrongMagic = kRecord;
  wrongMagic[0] = 't';
  const struct {
    std::string Record, Path;
    bool Found;
    std::string Value;
  } cases[] = {
      {kRecord, "\\StringFileInfo\\080904E4\\FileDescription", true, "Tallybox Utility"},
      {kRecord, version, true, "1.0.9.7"},
      {kRecord, "\\stringfileinfo\\080904e4\\fileversion", true, "1.0.9.7"},
      {kRecord, "\\StringFileInfo\\040904B0\\FileVersion", true, "2.0.0.0"},
      {kRecord, "\\StringFileInfo\\080904E4\\Empty", true, ""},
      {kRecord, "\\StringFileInfo\\080904E4\\FileDate", false, ""},
      {kRecord, "\\StringFileInfo\\080904E4", false, ""},
      {kRecord, "", false, ""},
      // Entries after the end, cut off, or in no record at all are not found.
      {Record("\0"s + version + "\0" + "1\0"s), version, false, ""},
      {Record(version + "\0" + "1.0"), version, false, ""},
      {wrongMagic, version, false, ""},
      {"", version, false, ""},
  };
  for (const auto& c : cases) {
    std::string value = "stale";
    EXPECT_EQ(VerQueryValue(c.Record, c.Path, value), c.Found) << c.Path;
    EXPECT_EQ(value, c.Value) << c.Path;
  }
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
