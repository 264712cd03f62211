// The settings store, the version reader and the running-copy mark on Wine's real registry,
// version resources and named objects.
#include <windows.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <regex>
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

// A key of its own under Software\Orvane for each test, removed afterwards.
class WindowsRegistry : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Orvane\\" + App).c_str());
  }
  // The value as the registry holds it: its type and its bytes.
  std::pair<DWORD, std::string> Raw(const std::string& Name) {
    DWORD type = 0, size = 0;
    const std::string key = "Software\\Orvane\\" + App;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), Name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                     nullptr, &size) != ERROR_SUCCESS)
      return {REG_NONE, "<missing>"};
    std::string data(size, '\0');
    RegGetValueA(HKEY_CURRENT_USER, key.c_str(), Name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                 data.data(), &size);
    return {type, data.substr(0, size)};
  }
  void Put(const std::string& Name, DWORD Type, const std::string& Data) {
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, ("Software\\Orvane\\" + App).c_str(), Name.c_str(),
                              Type, Data.data(), DWORD(Data.size())),
              ERROR_SUCCESS);
  }

  const std::string App = "TallyboxTest" + std::to_string(GetCurrentProcessId());
  TOrvaneRegistry Settings{App};
};

}  // namespace

TEST_F(WindowsRegistry, ValuesGoBothWaysAsRegSzAndRegDword) {
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.Folder(), "HKEY_CURRENT_USER\\Software\\Orvane\\" + App);
  Settings.WriteString("IP", "127.0.0.2");
  Settings.WriteString("RegisterFilename", "");
  Settings.WriteString("Connection", "caf\xE9 \xA9");
  Settings.WriteInteger("ComPort", 3);
  Settings.WriteInteger("Method", -1);
  EXPECT_EQ(Raw("IP"), std::make_pair(DWORD(REG_SZ), "127.0.0.2\0"s));
  EXPECT_EQ(Raw("RegisterFilename"), std::make_pair(DWORD(REG_SZ), "\0"s));
  EXPECT_EQ(Raw("ComPort"), std::make_pair(DWORD(REG_DWORD), "\3\0\0\0"s));
  EXPECT_EQ(Raw("Method"), std::make_pair(DWORD(REG_DWORD), "\xFF\xFF\xFF\xFF"s));
  EXPECT_EQ(Settings.ReadString("Connection", ""), "caf\xE9 \xA9");

  Put("LogFolder", REG_SZ, "C:\\Logs\0"s);
  Put("Expanded", REG_EXPAND_SZ, "%TEMP%\\x\0"s);
  Put("LogSession", REG_DWORD, "\1\0\0\0"s);
  Put("Short", REG_DWORD, "\7\1"s);
  Settings.Close();
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.ReadString("LogFolder", "?"), "C:\\Logs");
  EXPECT_EQ(Settings.ReadString("Expanded", "?"), "%TEMP%\\x");
  EXPECT_EQ(Settings.ReadInteger("LogSession", 0), 1);
  EXPECT_EQ(Settings.ReadInteger("Short", 0), 0x107);
  EXPECT_EQ(Settings.ReadInteger("ComPort", 0), 3);
  EXPECT_EQ(Settings.ReadString("Missing", "dflt"), "dflt");
  EXPECT_EQ(Settings.ReadInteger("Missing", -1), -1);
  Settings.Close();
  Settings.Close();
}

TEST_F(WindowsRegistry, AValueOfTheWrongTypeIsReported) {
  Put("Method", REG_SZ, "1\0"s);
  Put("ComPort", REG_SZ, "COM3 port\0"s);
  Put("Binary", REG_BINARY, "\1\0\0\0"s);
  ASSERT_TRUE(Settings.Open());
  const auto readInteger = [&](const char* Name) {
    return ErrorOf<ERegistryException>([&] { Settings.ReadInteger(Name, 0); });
  };
  EXPECT_EQ(readInteger("Method"), "Invalid data type for 'Method'");
  EXPECT_EQ(readInteger("Binary"), "Invalid data type for 'Binary'");
  EXPECT_EQ(readInteger("ComPort"), "Failed to get data for 'ComPort'");
  Settings.WriteInteger("Count", 4);
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { Settings.ReadString("Count", ""); }),
            "Invalid data type for 'Count'");
  // A write replaces the value whatever its type.
  Settings.WriteInteger("Method", 2);
  EXPECT_EQ(Settings.ReadInteger("Method", 0), 2);
}

// A non-volatile key cannot be made below a volatile one, so this store's key never opens.
TEST_F(WindowsRegistry, AKeyThatCannotBeOpenedGivesDefaultsAndRefusesWrites) {
  HKEY parent = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\Orvane\\" + App).c_str(), 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &parent, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(parent);
  TOrvaneRegistry store(App + "\\Inner");
  EXPECT_FALSE(store.Open());
  EXPECT_EQ(store.ReadString("IP", "dflt"), "dflt");
  EXPECT_EQ(store.ReadInteger("ComPort", -1), -1);
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { store.WriteString("IP", "127.0.0.2"); }),
            "Failed to set data for 'IP'");
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { store.WriteInteger("ComPort", 3); }),
            "Failed to set data for 'ComPort'");
}

TEST(WindowsVersion, ProgramsReadTheirResourceAndOtherFilesGiveTheDefaults) {
  TVersionReader self(OwnExecutable());
  EXPECT_TRUE(self.Valid) << OwnExecutable();
  EXPECT_EQ(self.FileDescription, "Tallybox Utility");
  EXPECT_EQ(self.FileVersion, PROJECT_FILE_VERSION);
  EXPECT_TRUE(std::regex_match(self.FileDate, std::regex("20\\d\\d-[A-Z][a-z][a-z]-\\d\\d")))
      << self.FileDate;
  EXPECT_EQ(self.LegalCopyright.substr(0, 12), "Copyright \xA9 ");
  EXPECT_EQ(self.QueryValue("OriginalFilename"), "");

  const std::string cli = ProgramFolder() + CLI_FROM_TESTS;
  TVersionReader tool(cli);
  EXPECT_TRUE(tool.Valid) << cli;
  EXPECT_EQ(tool.FileDescription, "Tallybox Utility command line");
  EXPECT_EQ(tool.FileVersion, PROJECT_FILE_VERSION);
  EXPECT_EQ(tool.FileDate, self.FileDate);

  TTempFolder folder;
  const std::string text = folder.Path("notes.txt");
  ReplaceFileBytes(text, "no resource here\r\n");
  for (const std::string& file :
       {text, folder.Path("missing.exe"), ProgramFolder() + RESOURCELESS_DLL}) {
    TVersionReader none(file);
    EXPECT_FALSE(none.Valid) << file;
    EXPECT_EQ(none.FileDescription + none.FileVersion + none.FileDate + none.LegalCopyright,
              "???\xA9 ?")
        << file;
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
    EXPECT_TRUE(exists());
    TInstanceLock second("TallyboxUtility_mutex");  // a second copy starts as the first did
    EXPECT_TRUE(exists());
  }
  EXPECT_FALSE(exists());
}
