#include "rtl/DocumentsFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempFolder.h"

namespace fs = std::filesystem;

// What a new account has (no Documents), what a desktop has, and what cannot be made.
TEST(DocumentsFolder, MadeWhenMissingElseTheHomeFolder) {
  TTempFolder home("tbx-home");
  const std::string documents = home.Path("Documents");
  EXPECT_EQ(DocumentsOrHome(documents, home.Folder.string()), documents);
  EXPECT_TRUE(fs::is_directory(documents));
  EXPECT_EQ(DocumentsOrHome(documents, home.Folder.string()), documents);  // there already

  // A file where the folder would go: the home folder instead.
  std::ofstream(home.Path("Papers")) << "x";
  EXPECT_EQ(DocumentsOrHome(home.Path("Papers/Docs"), home.Folder.string()), home.Folder.string());
  // Outside the home folder nothing is made.
  TTempFolder elsewhere("tbx-share");
  const std::string away = elsewhere.Path("mnt/Documents");
  EXPECT_EQ(DocumentsOrHome(away, home.Folder.string()), home.Folder.string());
  EXPECT_FALSE(fs::exists(away));
  EXPECT_EQ(DocumentsOrHome(home.Path("../x/Documents"), home.Folder.string()),
            home.Folder.string());
  // Nothing known.
  EXPECT_EQ(DocumentsOrHome("", home.Path("gone")), "");
}
