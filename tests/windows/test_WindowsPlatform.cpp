// The Windows side of the platform seams, on Wine's real file system, serial ports and locale:
// the per-user folders, whole-file replacement, the closed and the linked serial port, name
// comparison and the dial-up binding without its library. The TCP client is shown by the
// command-line cases run under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "rtl/FileBytes.h"
#include "rtl/LocaleCompare.h"
#include "rtl/ProgramFolder.h"
#include "rtl/UserFolders.h"
#include "support/TempFolder.h"
#include "transport/Ras.h"
#include "transport/uComPortMap.h"
#include "transport/uComms.h"
#include "transport/uSerialAccess.h"

TEST(WindowsFolders, PerUserFilesLiveUnderAppData) {
  const std::string saved = std::getenv("APPDATA") ? std::getenv("APPDATA") : "";
  struct TCase {
    const char* AppData;
    std::string Config, Data;
  };
  const TCase cases[] = {
      {"C:\\Users\\eng\\AppData\\Roaming", "C:/Users/eng/AppData/Roaming/Orvane",
       "C:/Users/eng/AppData/Roaming/Orvane/TallyboxUtility"},
      {"D:\\profiles\\eng\\", "D:/profiles/eng/Orvane", "D:/profiles/eng/Orvane/TallyboxUtility"},
      {"relative\\folder", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.AppData);
    _putenv_s("APPDATA", c.AppData);
    EXPECT_EQ(UserConfigFolder(), c.Config);
    EXPECT_EQ(UserDataFolder(), c.Data);
  }
  _putenv_s("APPDATA", saved.c_str());
  EXPECT_FALSE(FolderOfAnotherUser(UserDataFolder()));
  EXPECT_FALSE(UserRuntimeFolder().empty());
  EXPECT_TRUE(ProgramFolder().ends_with("/")) << ProgramFolder();
  EXPECT_EQ(ProgramFolder().find('\\'), std::string::npos) << ProgramFolder();
}

TEST(WindowsFiles, ReplaceKeepsTheOldContentUntilTheNewIsWholeAndRefusesReadOnlyFiles) {
  TTempFolder folder;
  const std::string file = folder.Path("preset.rgp");
  ReplaceFileBytes(file, std::string("r100=42\r\n\0r101=1\r\n", 19));
  EXPECT_EQ(ReadFileBytes(file), std::string("r100=42\r\n\0r101=1\r\n", 19));
  ReplaceFileBytes(file, "r100=7\r\n");
  EXPECT_EQ(ReadFileBytes(file), "r100=7\r\n");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.Folder))
    ++entries;
  EXPECT_EQ(entries, 1u) << "a temporary file was left behind";

  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_THROW(ReplaceFileBytes(file, "lost"), EFCreateError);
  EXPECT_EQ(ReadFileBytes(file), "r100=7\r\n");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);

  try {
    ReadFileBytes(folder.Path("missing.rgp"));
    ADD_FAILURE() << "a missing file was read";
  } catch (const EFOpenError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("Cannot open file \"")) << e.what();
    EXPECT_NE(std::string(e.what()).find("missing.rgp\". "), std::string::npos) << e.what();
  }
}

TEST(WindowsSerial, ClosedPortAnswersAsTheDispatcherExpects) {
  TCommPort port;
  EXPECT_THROW(port.Open(), ECommPort);  // "No port assigned"
  EXPECT_THROW(port.SetPort(0), ECommPort);
  port.SetPort(3);
  EXPECT_EQ(port.DeviceName(), "COM3:");
  EXPECT_EQ(port.DevicePath(), "\\\\.\\COM3");
  EXPECT_TRUE(port.CTS());
  EXPECT_TRUE(port.DSR());
  EXPECT_EQ(port.ModemStatus(), 0xFFFFFFFFu);
  EXPECT_TRUE(port.CheckErrors());
  char buffer[8];
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(port.WriteDone());
  EXPECT_TRUE(port.Close());

  port.SetPort(250);  // nothing there in any prefix
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(SerialOpenProblem(port.DevicePath(), port.OpenError()),
            "COM250 is not there. Is the adapter plugged in?");
  EXPECT_EQ(ComDevicePath(7, ""), "\\\\.\\COM7");
  EXPECT_EQ(ListComPorts({{"COM2", "", "USB Serial Port (COM2)"}}, {})[1].Description,
            "USB Serial Port (COM2)");
  EXPECT_THROW(AssignComPort(3, {"COM2", "", ""}), ECommPort);
}

// scripts/test-windows links COM<TALLYBOX_TEST_COM> of the prefix to the Linux simulator's
// serial debug terminal.
TEST(WindowsSerial, DebugPortOpensWithItsLineSettingsAndCarriesTheDialogue) {
  const char* com = std::getenv("TALLYBOX_TEST_COM");
  if (!com) GTEST_SKIP() << "no COM port linked to a simulator";
  TCommPort port;
  port.SetPort(std::atoi(com));
  port.SetBaudRate(115200);
  port.SetParity('N');
  port.SetByteSize(8);
  port.SetDSRFlow(true);
  port.SetCTSFlow(true);
  ASSERT_TRUE(port.Open()) << SerialOpenProblem(port.DevicePath(), port.OpenError());
  const TCommState state = port.CommState();
  EXPECT_EQ(state.Flags, 0x101Fu);
  EXPECT_EQ(state.BaudRate, 115200u);
  EXPECT_EQ(state.Parity, TCommPort::NoParity);
  EXPECT_EQ(state.StopBits, TCommPort::OneStopBit);
  EXPECT_EQ(state.ByteSize, 8);
  EXPECT_TRUE(port.CTS() && port.DSR());  // a terminal has no modem lines: all read as on
  EXPECT_FALSE(port.OutputHeld());

  const std::string request = "i900?\r\n";
  port.Write(request.data(), int32_t(request.size()));
  EXPECT_TRUE(port.WaitWriteDone(2000));
  std::string reply;
  for (int i = 0; i < 300 && reply.find("i900=1.00") == std::string::npos; ++i) {
    char buffer[256];
    const uint32_t waiting = port.InQueue();
    if (waiting > 0)
      reply.append(buffer,
                   size_t(port.Read(buffer, int32_t(std::min<uint32_t>(waiting, sizeof buffer)))));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(reply.find("i900=1.00"), std::string::npos) << reply;
  const std::string bye = "bye\r\n";
  port.Write(bye.data(), int32_t(bye.size()));
  EXPECT_TRUE(port.WaitWriteDone(2000));
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());
}

TEST(WindowsText, NamesCompareWithoutCaseButWithBlanks) {
  struct TCase {
    std::string A, B;
    int Sign;
  };
  const TCase cases[] = {
      {"abc", "ABC", 0}, {"r1 ", "r1", 1}, {"a", "B", -1}, {"\xC4rger", "\xE4rger", 0},
      {"r-1", "r1", 1},  {"r-2", "r1", 1},  // a hyphen weighs less than a letter or digit (no
                                            // string sort)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.A + " / " + c.B);
    const int32_t got = AnsiCompareText(c.A, c.B);
    EXPECT_EQ((got > 0) - (got < 0), c.Sign);
  }
}

TEST(WindowsDialUp, WithoutTheLibraryEveryCallAnswersUnavailable) {
  EXPECT_FALSE(RasLoadFrom("C:\\no\\such\\rasapi32.dll"));
  EXPECT_FALSE(RasLoaded());
  uint32_t size = 0, count = 7;
  EXPECT_EQ(RasEnumEntries(nullptr, nullptr, nullptr, &size, &count), RasUnavailable);
  EXPECT_EQ(count, 7u);  // untouched
  EXPECT_EQ(RasHangUp(nullptr), RasUnavailable);
}
