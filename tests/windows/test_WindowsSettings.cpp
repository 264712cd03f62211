// The settings store, the version reader and the running-copy mark on Wine's real registry,
// version resources and named objects.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/uInstanceLock.h"
#include "rtl/FileBytes.h"
#include "rtl/ProgramFolder.h"
#include "settings/QueryVersion.h"
#include "settings/uRegistry.h"
#include "support/ErrorText.h"
#include "support/TempFolder.h"

using namespace std::string_literals;

namespace {

// A key of its own for each test, removed afterwards.
class WindowsRegistry : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, Key.c_str()); }
  // The value's type and bytes as the registry holds them.
  std::pair<DWORD, std::string> Raw(const char* Name) {
    char data[64];
    DWORD type = REG_NONE, size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, Key.c_str(), Name, RRF_RT_ANY, &type, data, &size) != 0)
      return {REG_NONE, "<missing>"};
    return {type, std::string(data, size)};
  }
  void Put(const char* Name, DWORD Type, const std::string& Data) {
    RegSetKeyValueA(HKEY_CURRENT_USER, Key.c_str(), Name, Type, Data.data(), DWORD(Data.size()));
  }

  const std::string App = "TallyboxTest" + std::to_string(GetCurrentProcessId());
  const std::string Key = "Software\\Orvane\\" + App;
  TOrvaneRegistry Settings{App};
};

}  // namespace

TEST_F(WindowsRegistry, ValuesGoBothWaysAsRegSzAndRegDwordAndWrongTypesAreReported) {
  ASSERT_TRUE(Settings.Open());
  Settings.WriteString("IP", "127.0.0.2");
  Settings.WriteInteger("Method", -1);
  EXPECT_EQ(Raw("IP"), std::make_pair(DWORD(REG_SZ), "127.0.0.2\0"s));
  EXPECT_EQ(Raw("Method"), std::make_pair(DWORD(REG_DWORD), "\xFF\xFF\xFF\xFF"s));
  Put("LogFolder", REG_EXPAND_SZ, "%TEMP%\\logs\0"s);  // read as stored, unexpanded
  Put("ComPort", REG_DWORD, "\3\0\0\0"s);
  Put("Connection", REG_SZ, "Tallybox (simulated)\0"s);
  EXPECT_EQ(Settings.ReadString("LogFolder", "?"), "%TEMP%\\logs");
  EXPECT_EQ(Settings.ReadInteger("ComPort", 0), 3);
  EXPECT_EQ(Settings.ReadString("Missing", "dflt"), "dflt");
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { Settings.ReadString("ComPort", ""); }),
            "Invalid data type for 'ComPort'");
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { Settings.ReadInteger("Connection", 0); }),
            "Failed to get data for 'Connection'");
}

// A key that must outlast the session cannot be made below one that does not.
TEST_F(WindowsRegistry, AKeyThatCannotBeOpenedGivesDefaultsAndRefusesWrites) {
  HKEY parent = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &parent, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(parent);
  TOrvaneRegistry store(App + "\\Inner");
  EXPECT_FALSE(store.Open());
  EXPECT_EQ(store.ReadString("IP", "dflt"), "dflt");
  EXPECT_EQ(store.ReadInteger("ComPort", -1), -1);
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { store.WriteInteger("ComPort", 3); }),
            "Failed to set data for 'ComPort'");
}

TEST(WindowsVersion, OurProgramReadsItsResourceAndOtherFilesGiveTheDefaults) {
  TVersionReader self(OwnExecutable());
  EXPECT_TRUE(self.Valid) << OwnExecutable();
  EXPECT_EQ(self.FileDescription + "|" + self.FileVersion,
            "Tallybox Utility|" PROJECT_FILE_VERSION);
  EXPECT_EQ(self.LegalCopyright.substr(0, 12), "Copyright \xA9 ");
  TTempFolder folder;
  ReplaceFileBytes(folder.Path("notes.txt"), "no resource here\r\n");
  for (const std::string& file : {folder.Path("notes.txt"), ProgramFolder() + RESOURCELESS_DLL}) {
    TVersionReader none(file);
    EXPECT_FALSE(none.Valid) << file;
    EXPECT_EQ(none.FileDescription + none.FileVersion + none.FileDate + none.LegalCopyright,
              "???\xA9 ?");
  }
}

TEST(WindowsInstanceMark, TheNamedMutexLivesWhileACopyRuns) {
  const auto exists = [] {
    const HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "TallyboxUtility_mutex");
    if (mutex) CloseHandle(mutex);
    return mutex != nullptr;
  };
  EXPECT_FALSE(exists());
  {
    TInstanceLock first("TallyboxUtility_mutex");
    TInstanceLock second("TallyboxUtility_mutex");  // a second copy starts as the first did
    EXPECT_TRUE(exists());
  }
  EXPECT_FALSE(exists());
}
