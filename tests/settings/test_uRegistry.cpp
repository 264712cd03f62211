#include "settings/uRegistry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <future>
#include <string>

#include "settings/uRegText.h"
#include "support/ErrorText.h"
#include "support/TempConfig.h"

using namespace std::string_literals;

namespace {

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility";

class Registry : public ::testing::Test {
 protected:
  // The store as it stands on disk.
  TRegText OnDisk() {
    TRegText text;
    EXPECT_TRUE(ParseRegText(ReadFileBytes(Config.StoreFile()), text));
    return text;
  }
  void PutOnDisk(const std::string& Name, uint32_t Type, const std::string& Data) {
    TRegText text;
    text.AddKey(kKey).Put(Name, Type, Data);
    WriteFileBytes(Config.StoreFile(), FormatRegText(text));
  }
  std::string ErrorOfWrite(const std::string& Name) {
    return ErrorOf<ERegistryException>([&] { Settings.WriteString(Name, "x"); });
  }

  TTempConfig Config;
  TOrvaneRegistry Settings{"TallyboxUtility"};
};

}  // namespace

TEST(RegistryKeyPath, FollowsTheAppName) {
  const struct {
    std::string AppName, KeyPath;
  } cases[] = {
      {"TallyboxUtility", "Software\\Orvane\\TallyboxUtility\\"},
      {"\\TallyboxUtility", "Software\\Orvane\\TallyboxUtility\\"},
      {"TallyboxUtility\\", "Software\\Orvane\\TallyboxUtility\\"},
      {"", "Software\\Orvane\\"},
      {"\\", "Software\\Orvane\\"},
      {"\\\\Twice", "Software\\Orvane\\\\Twice\\"},
      {"A\\B", "Software\\Orvane\\A\\B\\"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TOrvaneRegistry(c.AppName).KeyPath(), c.KeyPath) << c.AppName;
}

TEST_F(Registry, FirstRunCreatesTheStoreAndEveryReadGivesItsDefault) {
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.ReadString("RegisterFilename", ""), "");
  EXPECT_EQ(Settings.ReadString("Connection", "dflt"), "dflt");
  EXPECT_EQ(Settings.ReadInteger("ComPort", -1), -1);
  EXPECT_EQ(Settings.ReadString("IP", ""), "");
  EXPECT_EQ(Settings.ReadInteger("Method", 0), 0);
  Settings.Close();
  const TRegText text = OnDisk();
  ASSERT_EQ(text.Keys.size(), 1u);
  EXPECT_EQ(text.Keys[0].Name, kKey);
  EXPECT_TRUE(text.Keys[0].Values.empty());
}

TEST_F(Registry, StringsAndIntegersReadBackAsWritten) {
  const std::string strings[] = {"",
                                 "C:\\Tallybox\\Settings\\v1.00\\a.rgp",
                                 "127.0.0.2",
                                 "say \"hi\"",
                                 "\xA9 caf\xE9",
                                 "tab\there\r\nline",
                                 std::string(5000, 'w')};
  const int32_t integers[] = {0, -1, 1, 2, 9, INT32_MAX, INT32_MIN};
  ASSERT_TRUE(Settings.Open());
  for (size_t i = 0; i < std::size(strings); ++i)
    Settings.WriteString("S" + std::to_string(i), strings[i]);
  for (size_t i = 0; i < std::size(integers); ++i)
    Settings.WriteInteger("I" + std::to_string(i), integers[i]);
  // Read back by the same object and, after closing, by a fresh one.
  TOrvaneRegistry again("TallyboxUtility");
  for (TOrvaneRegistry* reader : {&Settings, &again}) {
    if (reader == &again) {
      Settings.Close();
      ASSERT_TRUE(again.Open());
    }
    for (size_t i = 0; i < std::size(strings); ++i)
      EXPECT_EQ(reader->ReadString("S" + std::to_string(i), "default"), strings[i]) << i;
    for (size_t i = 0; i < std::size(integers); ++i)
      EXPECT_EQ(reader->ReadInteger("I" + std::to_string(i), 12345), integers[i]) << i;
  }
}

// Strings keep a closing zero byte on disk and read back up to their first zero byte; a write
// replaces a value of any type, matching its name in any case and keeping the first spelling.
TEST_F(Registry, ValuesAreStoredWithTheirTypes) {
  ASSERT_TRUE(Settings.Open());
  Settings.WriteString("Empty", "");
  Settings.WriteString("Name", "ab\0cd"s);
  Settings.WriteString("ComPort", "text");
  Settings.WriteInteger("COMPORT", -1);
  EXPECT_EQ(Settings.ReadString("Name", ""), "ab");
  EXPECT_EQ(Settings.ReadInteger("comport", 0), -1);
  const TRegText text = OnDisk();
  EXPECT_EQ(text.Keys.at(0).Values,
            (std::vector<TRegValue>{{"Empty", REG_SZ, "\0"s},
                                    {"Name", REG_SZ, "ab\0cd\0"s},
                                    {"ComPort", REG_DWORD, "\xff\xff\xff\xff"s}}));
}

TEST_F(Registry, ReadsOfTheWrongTypeRaiseTheirErrors) {
  const struct {
    uint32_t Type;
    std::string Data;
    bool AsInteger;
    std::string Expected;  // what the read gives, or the text of its error
  } cases[] = {
      {REG_SZ, "abc\0"s, true, "Invalid data type for 'V'"},  // 4 bytes fit
      {REG_SZ, "abcd\0"s, true, "Failed to get data for 'V'"},
      {REG_BINARY, "\1\2\3\4"s, true, "Invalid data type for 'V'"},
      {REG_BINARY, "\1\2\3\4\5"s, true, "Failed to get data for 'V'"},
      {REG_DWORD, "\1\2\3\4\5"s, true, "Failed to get data for 'V'"},
      {REG_DWORD, "\x07"s, true, "7"},
      {REG_DWORD, "\7\0\0\0"s, false, "Invalid data type for 'V'"},
      {REG_BINARY, "\1\2"s, false, "Invalid data type for 'V'"},
      {REG_BINARY, "", false, ""},  // nothing to read is an empty text, whatever the type
      {REG_EXPAND_SZ, "%HOME%\0"s, false, "%HOME%"},
      {REG_SZ, "no zero", false, "no zero"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Data + (c.AsInteger ? " as integer" : " as string"));
    PutOnDisk("V", c.Type, c.Data);
    ASSERT_TRUE(Settings.Open());
    std::string got;
    try {
      got = c.AsInteger ? std::to_string(Settings.ReadInteger("V", -5))
                        : Settings.ReadString("V", "default");
    } catch (const ERegistryException& e) {
      got = e.Message();
    }
    EXPECT_EQ(got, c.Expected);
    Settings.Close();
  }
}

TEST_F(Registry, AClosedStoreGivesDefaultsAndRefusesWrites) {
  EXPECT_EQ(Settings.ReadString("IP", "host"), "host");
  EXPECT_EQ(Settings.ReadInteger("ComPort", -1), -1);
  EXPECT_EQ(ErrorOfWrite("IP"), "Failed to set data for 'IP'");
  ASSERT_TRUE(Settings.Open());
  Settings.WriteInteger("ComPort", 3);
  Settings.Close();
  Settings.Close();  // twice is harmless
  EXPECT_EQ(Settings.ReadInteger("ComPort", -1), -1);
}

// A pipe where the store belongs would hold an open for reading until someone writes to it.
TEST_F(Registry, AStoreThatCannotBeReadFailsToOpenWithoutWaitingAndIsLeftAlone) {
  for (const bool pipe : {false, true}) {
    SCOPED_TRACE(pipe ? "pipe" : "folder");
    std::filesystem::remove_all(Config.StoreFolder());
    std::filesystem::create_directories(pipe ? Config.StoreFolder() : Config.StoreFile());
    if (pipe) ASSERT_EQ(::mkfifo(Config.StoreFile().c_str(), 0600), 0);
    auto opened = std::async(std::launch::async, [&] { return Settings.Open(); });
    if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "Open waited for a writer on the pipe";
      const int writer = ::open(Config.StoreFile().c_str(), O_WRONLY);  // lets the open return
      if (writer >= 0) ::close(writer);
    }
    EXPECT_FALSE(opened.get());
    EXPECT_EQ(Settings.ReadInteger("ComPort", -1), -1);
    EXPECT_EQ(ErrorOfWrite("IP"), "Failed to set data for 'IP'");
    EXPECT_EQ(std::filesystem::status(Config.StoreFile()).type(),
              pipe ? std::filesystem::file_type::fifo : std::filesystem::file_type::directory);
  }
}

TEST_F(Registry, ADamagedStoreGivesDefaultsAndIsKeptAsideWhenNextWritten) {
  const std::string damaged = "REGEDIT4\n[" + kKey + "]\n\"ComPort\"=dword:00000003\n\"IP\"=\"10.0";
  WriteFileBytes(Config.StoreFile(), damaged);
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.ReadInteger("ComPort", -1), -1);
  EXPECT_EQ(Settings.ReadString("IP", "none"), "none");
  Settings.Close();
  EXPECT_EQ(ReadFileBytes(Config.StoreFile()), damaged);  // opening and reading change nothing

  ASSERT_TRUE(Settings.Open());
  Settings.WriteInteger("Method", 2);
  Settings.WriteString("IP", "127.0.0.9");
  Settings.Close();
  const auto aside = Config.FilesStartingWith("settings.reg.damaged-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFileBytes(Config.StoreFolder() + "/" + aside[0]), damaged);
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.ReadInteger("Method", 0), 2);
  EXPECT_EQ(Settings.ReadString("IP", ""), "127.0.0.9");

  // A second damaged store does not replace the first one kept aside.
  WriteFileBytes(Config.StoreFile(), "not a store at all");
  ASSERT_TRUE(Settings.Open());
  Settings.WriteInteger("Method", 1);
  EXPECT_EQ(Config.FilesStartingWith("settings.reg.damaged-").size(), 2u);
}

TEST_F(Registry, OtherKeysInTheStoreAreKept) {
  TOrvaneRegistry other("OtherTool");
  ASSERT_TRUE(other.Open());
  other.WriteString("Colour", "blue");
  other.Close();
  ASSERT_TRUE(Settings.Open());
  Settings.WriteString("Colour", "red");
  Settings.Close();
  ASSERT_TRUE(other.Open());
  EXPECT_EQ(other.ReadString("Colour", ""), "blue");
}

// A full disk is played by the file size limit: writes beyond it fail with EFBIG.
TEST_F(Registry, AFailedSaveLeavesTheStoreAsItWas) {
  ASSERT_TRUE(Settings.Open());
  Settings.WriteString("IP", "127.0.0.3");
  Settings.WriteInteger("ComPort", 4);
  const std::string before = ReadFileBytes(Config.StoreFile());

  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = before.size() + 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error = ErrorOf<ERegistryException>(
      [&] { Settings.WriteString("RegisterFilename", std::string(4096, 'f')); });
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(error, "Failed to set data for 'RegisterFilename'");
  EXPECT_EQ(ReadFileBytes(Config.StoreFile()), before);
  EXPECT_TRUE(Config.FilesStartingWith(".settings.reg.tmp").empty());  // no half-written file left
  EXPECT_EQ(Settings.ReadString("RegisterFilename", "none"), "none");
  Settings.WriteInteger("Method", 1);  // and the next save works again
  Settings.Close();
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.ReadString("IP", ""), "127.0.0.3");
  EXPECT_EQ(Settings.ReadInteger("Method", 0), 1);
}

TEST_F(Registry, AHalfWrittenFileFromACrashedSaveIsIgnoredAndCleanedUp) {
  ASSERT_TRUE(Settings.Open());
  Settings.WriteInteger("ComPort", 5);
  Settings.Close();
  const std::filesystem::path store = Config.StoreFile();
  const std::string leftover =
      (store.parent_path() / ("." + store.filename().string() + ".tmp999-7")).string();
  WriteFileBytes(leftover, "REGEDIT4\n[" + kKey + "]\n\"ComPort\"=dwo");
  ASSERT_TRUE(Settings.Open());
  EXPECT_EQ(Settings.ReadInteger("ComPort", -1), 5);
  Settings.WriteInteger("Method", 2);
  EXPECT_FALSE(std::filesystem::exists(leftover));
}

// A relative XDG_CONFIG_HOME is not valid and falls back to the home folder.
TEST_F(Registry, ARelativeXdgConfigHomeFallsBackToTheHomeFolder) {
  TTempConfig home;
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", home.Folder.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", "relative/path", 1);
  TOrvaneRegistry fallback("TallyboxUtility");
  ASSERT_TRUE(fallback.Open());
  EXPECT_EQ(fallback.ReadInteger("Method", 0), 0);
  fallback.WriteInteger("Method", 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(home.Folder + "/.config/Orvane/settings.reg"));
  ::setenv("HOME", oldHome.c_str(), 1);
}
