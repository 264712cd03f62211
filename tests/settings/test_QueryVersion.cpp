// The version record read back from real executables built by this project.
#include "settings/QueryVersion.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>

#include "settings/uElfSection.h"
#include "settings/uVersionRecord.h"
#include "support/RunProgram.h"
#include "support/TempConfig.h"

namespace {

// The build date as a day count, or -1 when it is not of the form 2005-Feb-11.
long DayOf(const std::string& Date) {
  static const std::regex form(
      "(\\d{4})-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-(\\d\\d)");
  std::smatch m;
  if (!std::regex_match(Date, m, form)) return -1;
  const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  std::tm t{};
  t.tm_year = std::stoi(m[1]) - 1900;
  t.tm_mon = int(months.find(m[2].str()) / 3);
  t.tm_mday = std::stoi(m[3]);
  t.tm_hour = 12;
  return long(timegm(&t) / 86400);
}

std::string Texts(const TVersionReader& Reader) {
  return Reader.FileDescription + "|" + Reader.FileVersion + "|" + Reader.FileDate + "|" +
         Reader.LegalCopyright;
}

void ExpectOurRecord(const TVersionReader& Reader) {
  EXPECT_TRUE(Reader.Valid);
  EXPECT_EQ(Reader.FileDescription, "Tallybox Utility");
  EXPECT_EQ(Reader.FileVersion, PROJECT_FILE_VERSION);
  const long built = DayOf(Reader.FileDate);
  EXPECT_GT(built, 0) << Reader.FileDate;
  EXPECT_LE(built, long(std::time(nullptr) / 86400) + 1) << "built in the future";
  EXPECT_EQ(Reader.LegalCopyright.substr(0, 12), "Copyright \xA9 ");
  EXPECT_NE(Reader.LegalCopyright.find("Orvane"), std::string::npos);
}

}  // namespace

// The running program and another program of the same build, read from its file and shown
// by itself in the about box order.
TEST(QueryVersion, BuiltProgramsReadTheirRecords) {
  TVersionReader self(OwnExecutable());
  ExpectOurRecord(self);
  EXPECT_EQ(self.QueryValue("FileVersion"), PROJECT_FILE_VERSION);
  EXPECT_EQ(self.QueryValue("OriginalFilename"), "");  // not in the record
  TVersionReader probe(SETTINGS_PROBE);
  ExpectOurRecord(probe);
  EXPECT_EQ(probe.FileDate, self.FileDate);  // built by the same build, the same day
  const auto shown = RunProgram({SETTINGS_PROBE, "version"});
  EXPECT_EQ(shown.ExitCode, 0);
  EXPECT_EQ(shown.Output, "Tallybox Utility\n" + std::string(PROJECT_FILE_VERSION) + "\n" +
                              probe.FileDate + "\n\n" + probe.LegalCopyright + "\n");
}

TEST(QueryVersion, FilesWithoutARecordKeepTheQuestionMarks) {
  TTempConfig temp;
  WriteFileBytes(temp.Folder + "/script.sh", "#!/bin/sh\necho hello\n");
  WriteFileBytes(temp.Folder + "/empty", "");
  const std::string files[] = {SETTINGS_PROBE_NO_RECORD, temp.Folder + "/script.sh",
                               temp.Folder + "/empty", temp.Folder + "/missing", temp.Folder};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    TVersionReader reader(file);
    EXPECT_FALSE(reader.Valid);
    EXPECT_EQ(Texts(reader), "?|?|?|\xA9 ?");
    EXPECT_EQ(reader.QueryValue("FileVersion"), "");
  }
  const auto shown = RunProgram({SETTINGS_PROBE_NO_RECORD, "version"});
  EXPECT_EQ(shown.Output, "?\n?\n?\n\n\xA9 ?\n");
}

TEST(QueryVersion, ARecordUnderAnotherLanguageGivesEmptyTexts) {
  TVersionReader reader(SETTINGS_PROBE_OTHER_LANGUAGE);
  EXPECT_TRUE(reader.Valid);
  EXPECT_EQ(Texts(reader), "|||");
  // The texts are there, under their own key.
  std::string record, version;
  ASSERT_TRUE(
      ReadElfSection(SETTINGS_PROBE_OTHER_LANGUAGE, kVersionSection, kMaxVersionRecord, record));
  EXPECT_TRUE(VerQueryValue(record, "\\StringFileInfo\\040904B0\\FileVersion", version));
  EXPECT_EQ(version, PROJECT_FILE_VERSION);
  const auto shown = RunProgram({SETTINGS_PROBE_OTHER_LANGUAGE, "version"});
  EXPECT_EQ(shown.Output, "\n\n\n\n\n");
}
