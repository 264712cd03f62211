#include "session/uPresetFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "rtl/Exceptions.h"
#include "session/uPageFolders.h"
#include "support/ErrorText.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A program folder with two page versions and a per-user data folder, side by side, deep
// enough below the temporary folder that "../.." stays inside it.
class PresetFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Program / "v1.00");
    fs::create_directories(Program / "v1.10");
  }
  // Everything under the temporary folder, so a test sees whatever a call created.
  std::vector<std::string> Tree() const {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(Temp.Folder))
      paths.push_back(fs::relative(entry.path(), Temp.Folder).string());
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  TTempFolder Temp{"presets"};
  const fs::path Program = Temp.Folder / "a" / "b" / "program";
  const fs::path User = Temp.Folder / "user";
  const std::string ProgramDir = Program.string() + "/";
  const std::string UserDir = User.string() + "/";
};

}  // namespace

TEST_F(PresetFolderTest, CreatedWithItsParentsBesideTheProgram) {
  const std::string folder = PresetFolder(ProgramDir, "v1.10", UserDir);
  EXPECT_EQ(folder, (Program / "Settings" / "v1.10").string());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(fs::exists(User));
  EXPECT_EQ(PresetFolder(ProgramDir, "v1.10", UserDir), folder);
}

TEST_F(PresetFolderTest, DeviceTextNeverNamesTheFolder) {
  const auto before = Tree();
  const std::string chosen = SelectPageFolder(ListPageFolders(ProgramDir), "../../x");
  EXPECT_EQ(PresetFolder(ProgramDir, chosen, UserDir), (Program / "Settings" / "v1.10").string());
  auto expected = before;
  expected.push_back("a/b/program/Settings");
  expected.push_back("a/b/program/Settings/v1.10");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Tree(), expected);

  for (const std::string& bad :
       {std::string("../../x"), std::string(".."), std::string("."), std::string(""),
        std::string("v1/x"), std::string("v1\\x"), std::string("v1\0x", 4)}) {
    EXPECT_FALSE(IsPlainFolderName(bad)) << bad;
    EXPECT_EQ(ErrorOf<Exception>([&] { PresetFolder(ProgramDir, bad, UserDir); }),
              "Invalid page folder name \"" + std::string(bad.c_str()) + "\"");
  }
  EXPECT_EQ(Tree(), expected);
  EXPECT_TRUE(IsPlainFolderName("v1.00"));
  EXPECT_TRUE(IsPlainFolderName("v.."));
}

// An installed copy: the program folder, or a preset folder shipped in it, is read-only.
TEST_F(PresetFolderTest, ReadOnlyProgramFolderUsesTheUserDataFolder) {
  for (const fs::path& readOnly : {Program, Program / "Settings" / "v1.10"}) {
    SCOPED_TRACE(readOnly.string());
    fs::create_directories(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
    const bool writable = ::access(readOnly.c_str(), W_OK) == 0;
    const std::string folder = PresetFolder(ProgramDir, "v1.10", UserDir);
    fs::permissions(readOnly, fs::perms::owner_all);
    if (writable) GTEST_SKIP() << "this user writes into read-only folders (root)";
    EXPECT_EQ(folder, (User / "Settings" / "v1.10").string());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(fs::exists(Program / "Settings"), readOnly != Program);
    fs::remove_all(User);
  }
}

// A file where the Settings folder should be blocks even root, so this runs everywhere.
TEST_F(PresetFolderTest, BlockedProgramFolderFallsBackOrReturnsThePathUncreated) {
  std::ofstream(Program / "Settings") << "not a folder";
  EXPECT_EQ(PresetFolder(ProgramDir, "v1.00", UserDir), (User / "Settings" / "v1.00").string());
  EXPECT_TRUE(fs::is_directory(User / "Settings" / "v1.00"));

  EXPECT_EQ(PresetFolder(ProgramDir, "v1.10", ""), (Program / "Settings" / "v1.10").string());

  const fs::path blockedUser = Temp.Folder / "file";
  std::ofstream(blockedUser) << "not a folder";
  EXPECT_EQ(PresetFolder(ProgramDir, "v1.10", blockedUser.string()),
            (blockedUser / "Settings" / "v1.10").string());
  EXPECT_TRUE(fs::is_regular_file(blockedUser));
}
