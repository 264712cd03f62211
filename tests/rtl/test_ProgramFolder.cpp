#include "rtl/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& File) {
  fs::create_directories(File.parent_path());
  std::ofstream(File) << "<html></html>";
}

TEST(ProgramFolder, IsTheRunningExecutablesFolder) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::is_regular_file(folder + "test_rtl"));
}

// The program's folder is <root>/bin; which page files exist decides where the pages come from,
// and whether this is an installed copy.
TEST(ProgramFolder, PageTemplatesBesideTheProgramElseInTheInstalledDataFolder) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Files;  // relative to <root>
    const char* Given;               // the program folder handed in, relative to <root>
    const char* Expected;            // relative to <root>
    bool Installed;
  };
  const TCase cases[] = {
      {"beside", {"bin/home.htm", "share/tallybox-utility/home.htm"}, "bin/", "bin/", false},
      {"installed", {"share/tallybox-utility/home.htm"}, "bin/", "share/tallybox-utility/", true},
      {"no trailing slash",
       {"share/tallybox-utility/home.htm"},
       "bin",
       "share/tallybox-utility/",
       true},
      {"only other pages beside",
       {"bin/wait.htm", "share/tallybox-utility/home.htm"},
       "bin/",
       "share/tallybox-utility/",
       true},
      {"a folder named home.htm",
       {"bin/home.htm/x", "share/tallybox-utility/home.htm"},
       "bin/",
       "share/tallybox-utility/",
       true},
      {"nowhere", {"share/tallybox-utility/wait.htm"}, "bin/", "bin/", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder root;
    fs::create_directories(root.Folder / "bin");
    for (const std::string& file : c.Files) Touch(root.Folder / file);
    const std::string base = root.Folder.string() + "/";
    const std::string pages = PageTemplateFolder(base + c.Given);
    EXPECT_EQ(pages, base + c.Expected);
    EXPECT_EQ(PagesInstalled(pages, base + c.Given), c.Installed);
  }
}

}  // namespace
