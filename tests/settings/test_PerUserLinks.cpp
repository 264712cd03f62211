// Per-user files in a home another user controls: links planted where the settings store, its
// lock, the running-copy lock and the presets go, and root running with that user's home.
// Real links in a temporary home; nothing is ever written where a link points.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/uInstanceLock.h"
#include "rtl/UserFolders.h"
#include "session/uPresetFolder.h"
#include "settings/uRegistry.h"
#include "support/TempConfig.h"

namespace fs = std::filesystem;

namespace {

class PerUserLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Store);
    fs::create_directories(Runtime);
    ::setenv("XDG_RUNTIME_DIR", Runtime.c_str(), 1);
    WriteFileBytes(Victim, "keep me\n");
  }
  void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
  bool WriteIp(const std::string& Value) {
    TOrvaneRegistry settings("TallyboxUtility");
    if (!settings.Open()) return false;
    try {
      settings.WriteString("IP", Value);
      return true;
    } catch (const ERegistryException&) {
      return false;
    }
  }

  TTempConfig Config;
  const std::string Store = Config.StoreFolder();
  const std::string Runtime = Config.Folder + "/run";
  const std::string Victim = Config.Folder + "/victim";  // stands for /etc/... or ~/.bashrc
};

}  // namespace

// The store's link is replaced by the file itself; the lock links fail the save or go
// without a mark; nothing is ever created or changed where a link points.
TEST_F(PerUserLinks, NothingIsWrittenThroughALink) {
  fs::create_symlink(Victim, Store + "/settings.reg");
  ASSERT_TRUE(WriteIp("$(touch /tmp/owned)"));
  EXPECT_FALSE(fs::is_symlink(Config.StoreFile()));
  EXPECT_NE(ReadFileBytes(Config.StoreFile()).find("$(touch /tmp/owned)"), std::string::npos);

  const std::string absent = Config.Folder + "/nologin";
  fs::remove(Store + "/settings.reg.lock");
  fs::create_symlink(absent, Store + "/settings.reg.lock");
  EXPECT_FALSE(WriteIp("x"));
  fs::create_symlink(absent, Runtime + "/TallyboxUtility_mutex.lock");
  { TInstanceLock mark("TallyboxUtility_mutex"); }
  EXPECT_FALSE(fs::exists(absent));
  EXPECT_EQ(ReadFileBytes(Victim), "keep me\n");
}

TEST_F(PerUserLinks, RootWithAnotherUsersHomeReadsButNeverWrites) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the home to another user";
  ASSERT_TRUE(WriteIp("10.0.0.9"));
  const std::string before = ReadFileBytes(Config.StoreFile());
  const std::string data = Config.Folder + "/data";
  fs::create_directories(data);
  ASSERT_EQ(::chown(Config.Folder.c_str(), 65534, 65534), 0);  // nobody's home now
  EXPECT_TRUE(FolderOfAnotherUser(Store));
  EXPECT_FALSE(FolderOfAnotherUser("/usr/share"));

  TOrvaneRegistry settings("TallyboxUtility");
  ASSERT_TRUE(settings.Open());
  EXPECT_TRUE(settings.ReadOnly());
  EXPECT_EQ(settings.ReadString("IP", ""), "10.0.0.9");
  EXPECT_THROW(settings.WriteString("IP", "x"), ERegistryException);
  settings.Close();
  EXPECT_EQ(ReadFileBytes(Config.StoreFile()), before);

  // Presets: the per-user folder is neither created nor chosen as writable.
  const std::string presets = PresetFolder(data, "v1.00", "");
  EXPECT_EQ(presets, data + "/Settings/v1.00");
  EXPECT_FALSE(fs::exists(presets));
}
