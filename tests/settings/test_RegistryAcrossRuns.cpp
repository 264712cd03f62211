// The settings store seen from separate runs of a program (the settings probe).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "settings/uRegText.h"
#include "settings/uRegistry.h"
#include "support/RunProgram.h"
#include "support/TempConfig.h"

namespace {

ino_t Inode(const std::string& FileName) {
  struct stat st;
  return ::stat(FileName.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST(RegistryAcrossRuns, EachRunSeesWhatThePreviousRunSaved) {
  TTempConfig config;
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config.Folder};
  const auto first = RunProgram({SETTINGS_PROBE, "session", "/home/eng/Settings/v1.00/site.rgp",
                                 "Office", "3", "127.0.0.7", "2"},
                                env);
  EXPECT_EQ(first.ExitCode, 0);
  EXPECT_EQ(first.Output,
            "RegisterFilename=\nConnection=\nComPort=-1\nIP=\nMethod=0\n");  // the defaults

  const auto second =
      RunProgram({SETTINGS_PROBE, "session", "", "", "-1", "host.example", "1"}, env);
  EXPECT_EQ(second.ExitCode, 0);
  EXPECT_EQ(second.Output,
            "RegisterFilename=/home/eng/Settings/v1.00/site.rgp\nConnection=Office\n"
            "ComPort=3\nIP=127.0.0.7\nMethod=2\n");

  const auto third = RunProgram({SETTINGS_PROBE, "session", "a", "b", "1", "c", "0"}, env);
  EXPECT_EQ(third.Output,
            "RegisterFilename=\nConnection=\nComPort=-1\nIP=host.example\nMethod=1\n");
}

// A program killed at any moment while saving leaves a store that reads back whole, with
// every value as one of its saves left it.
TEST(RegistryAcrossRuns, AProgramKilledWhileSavingNeverLeavesABrokenStore) {
  TTempConfig config;
  const uint32_t seed = 6024;
  std::mt19937 rng(seed);
  int32_t lastCounter = 0;
  for (int round = 0; round < 15; ++round) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round);
    const pid_t pid = StartProgram({SETTINGS_PROBE, "churn"}, {"XDG_CONFIG_HOME=" + config.Folder});
    ASSERT_GT(pid, 0);
    // Kill it at a random moment after it has saved at least once in this run.
    const ino_t before = Inode(config.StoreFile());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Inode(config.StoreFile()) == before && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 30000));
    ::kill(pid, SIGKILL);
    WaitProgram(pid);

    TRegText text;
    ASSERT_TRUE(ParseRegText(ReadFileBytes(config.StoreFile()), text));
    TOrvaneRegistry settings("TallyboxUtility");
    ASSERT_TRUE(settings.Open());
    const int32_t counter = settings.ReadInteger("Counter", 0);
    const std::string saved = settings.ReadString("Text", "0 ");
    const int32_t textCounter = std::stoi(saved.substr(0, saved.find(' ')));
    // Each run starts counting at 1 again; the text lags the counter by at most one save.
    EXPECT_GT(counter, 0);
    EXPECT_TRUE(textCounter == counter || textCounter == counter - 1 ||
                (counter == 1 && textCounter == lastCounter))
        << counter << " / " << textCounter;
    if (textCounter > 0) EXPECT_EQ(saved.size(), std::to_string(textCounter).size() + 4001);
    lastCounter = textCounter;
  }
  EXPECT_TRUE(config.FilesStartingWith("settings.reg.damaged-").empty());
}

// Two programs saving at the same moment both keep their values.
TEST(RegistryAcrossRuns, ProgramsSavingAtTheSameTimeKeepEachOthersValues) {
  TTempConfig config;
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config.Folder};
  const pid_t a = StartProgram({SETTINGS_PROBE, "count", "A", "150"}, env);
  const pid_t b = StartProgram({SETTINGS_PROBE, "count", "B", "150"}, env);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(WaitProgram(a), 0);
  EXPECT_EQ(WaitProgram(b), 0);
  TOrvaneRegistry settings("TallyboxUtility");
  ASSERT_TRUE(settings.Open());
  EXPECT_EQ(settings.ReadInteger("A", 0), 150);
  EXPECT_EQ(settings.ReadInteger("B", 0), 150);
}
