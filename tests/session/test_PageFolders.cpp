#include "session/uPageFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempFolder.h"

namespace fs = std::filesystem;

TEST(PageFolders, ListsOnlyVersionFoldersSortedIgnoringCase) {
  TTempFolder program("pages");
  for (const char* dir : {"v1.10", "V1.05", "v1.00", "v2.0.1", "vnodot", "x1.00", "Settings"})
    fs::create_directory(program.Folder / dir);
  std::ofstream(program.Path("v9.99")) << "a file, not a folder";
  fs::create_directory_symlink(program.Folder / "v1.10", program.Folder / "v3.00");
  fs::create_symlink(program.Folder / "gone", program.Folder / "v4.00");

  EXPECT_EQ(ListPageFolders(program.Folder.string() + "/"),
            (std::vector<std::string>{"v1.00", "V1.05", "v1.10", "v2.0.1", "v3.00"}));
  EXPECT_TRUE(ListPageFolders(program.Path("missing")).empty());
}

struct TChoice {
  std::vector<std::string> Folders;
  std::string DeviceVersion, Chosen;
};

TEST(PageFolders, ChoosesExactElseGreatestBelowElseHighest) {
  const std::vector<std::string> two{"v1.00", "v1.10"};
  const TChoice choices[] = {
      {two, "1.00", "v1.00"},
      {two, "1.10", "v1.10"},
      {two, "1.05", "v1.00"},
      {two, "1.1", "v1.00"},
      {two, "2.00", "v1.10"},
      {two, "0.90", "v1.10"},
      {two, "", "v1.10"},
      {two, "../../x", "v1.10"},
      {two, "1.05/../../../etc", "v1.00"},
      {{"V1.00", "v1.10"}, "1.00", "V1.00"},
      {{"v1.00", "v1.10"}, "1.10A", "v1.10"},
      {{"v1.00"}, "0.1", "v1.00"},
      {{}, "1.10", "v1.00"},
      {{}, "", "v1.00"},
  };
  for (const TChoice& c : choices)
    EXPECT_EQ(SelectPageFolder(c.Folders, c.DeviceVersion), c.Chosen)
        << "device version \"" << c.DeviceVersion << "\"";
}
