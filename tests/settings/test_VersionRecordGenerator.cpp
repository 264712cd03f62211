// The build step that writes each program's version record (cmake/GenVersionRecord.cmake),
// run here with fixed dates to check what it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>

#include "settings/uVersionRecord.h"
#include "support/RunProgram.h"
#include "support/TempConfig.h"

namespace {

// Runs the generator and gives back the record bytes of the C array it wrote.
std::string Generate(const std::string& Folder, const std::string& Epoch,
                     const std::string& Version = "1.0.0.1",
                     const std::string& Language = "080904E4") {
  const std::string out = Folder + "/record.c";
  const auto run = RunProgram(
      {CMAKE_COMMAND_PATH, "-DOUTPUT=" + out, "-DLANGUAGE=" + Language,
       "-DDESCRIPTION=Tallybox Utility", "-DVERSION=" + Version, "-P", GEN_VERSION_RECORD_SCRIPT},
      {"SOURCE_DATE_EPOCH=" + Epoch, "LC_ALL=de_DE.UTF-8", "TZ=UTC"});
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  const std::string source = ReadFileBytes(out);
  EXPECT_NE(source.find("section(\".tallybox_version\")"), std::string::npos);
  const std::string array = source.substr(source.find('{'));
  std::string bytes;
  static const std::regex item("0x([0-9a-fA-F]{2})");
  for (std::sregex_iterator i(array.begin(), array.end(), item), end; i != end; ++i)
    bytes.push_back(char(std::stoi((*i)[1].str(), nullptr, 16)));
  return bytes;
}

std::string Query(const std::string& Record, const std::string& Name,
                  const std::string& Language = "080904E4") {
  std::string value;
  if (!VerQueryValue(Record, "\\StringFileInfo\\" + Language + "\\" + Name, value))
    return "<missing>";
  return value;
}

}  // namespace

TEST(VersionRecordGenerator, DatesUseEnglishMonthNamesWhateverTheLocale) {
  TTempConfig temp;
  const struct {
    const char* Epoch;
    const char* Date;
  } cases[] = {
      {"1105444800", "2005-Jan-11"}, {"1108123200", "2005-Feb-11"}, {"1110542400", "2005-Mar-11"},
      {"1113220800", "2005-Apr-11"}, {"1115812800", "2005-May-11"}, {"1118491200", "2005-Jun-11"},
      {"1121083200", "2005-Jul-11"}, {"1123761600", "2005-Aug-11"}, {"1126440000", "2005-Sep-11"},
      {"1129032000", "2005-Oct-11"}, {"1131710400", "2005-Nov-11"}, {"1133611200", "2005-Dec-03"},
  };
  for (const auto& c : cases) {
    const std::string record = Generate(temp.Folder, c.Epoch);
    EXPECT_EQ(Query(record, "FileDate"), c.Date) << c.Epoch;
  }
}

TEST(VersionRecordGenerator, WritesTheFourTextsUnderTheLanguageKey) {
  TTempConfig temp;
  const std::string record = Generate(temp.Folder, "1108123200", "1.0.9.7");
  EXPECT_EQ(Query(record, "FileDescription"), "Tallybox Utility");
  EXPECT_EQ(Query(record, "FileVersion"), "1.0.9.7");
  EXPECT_EQ(Query(record, "FileDate"), "2005-Feb-11");
  EXPECT_EQ(Query(record, "LegalCopyright"), "Copyright \xA9 2005 Orvane. All rights reserved.");
  // Versions are four numbers.
  EXPECT_EQ(Query(Generate(temp.Folder, "1108123200", "2.3"), "FileVersion"), "2.3.0.0");
  EXPECT_EQ(Query(Generate(temp.Folder, "1108123200", "1.2.3.4.5"), "FileVersion"), "1.2.3.4");
  const std::string other = Generate(temp.Folder, "1108123200", "1.0.0.1", "040904B0");
  EXPECT_EQ(Query(other, "FileVersion", "040904B0"), "1.0.0.1");
  EXPECT_EQ(Query(other, "FileVersion"), "<missing>");
}

// An unchanged record leaves the file untouched, so a build does not recompile it.
TEST(VersionRecordGenerator, AnUnchangedRecordIsNotRewritten) {
  TTempConfig temp;
  Generate(temp.Folder, "1108123200");
  const std::string out = temp.Folder + "/record.c";
  struct stat after;
  timespec old[2] = {{1000, 0}, {1000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, out.c_str(), old, 0), 0);
  Generate(temp.Folder, "1108123200");
  ASSERT_EQ(::stat(out.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, 1000);
  Generate(temp.Folder, "1108209600");  // the next day
  ASSERT_EQ(::stat(out.c_str(), &after), 0);
  EXPECT_NE(after.st_mtim.tv_sec, 1000);
}
