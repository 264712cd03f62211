// What the tool says after each way a device we did not write may behave, over TCP and the
// serial debug port: the exit status, the message and the files written. Done and exit 0 only
// for what the device confirmed; no preset from a read that failed.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "CliRunner.h"
#include "rtl/FileBytes.h"
#include "sim/SimHarness.h"
#include "support/LoopbackPeer.h"
#include "support/TempFolder.h"

namespace {

const std::string Cli = TALLYBOX_CLI_PATH;

struct TOutcome {
  const char* Name;
  bool Serial;
  std::vector<std::string> SimArgs;
  std::vector<std::string> CliArgs;  // "PRESET" stands for a changed preset of the device
  int Exit;
  std::string Says;  // in standard error; empty: nothing there
};

// The device as the case starts it; Route is what the tool is given to reach it.
std::unique_ptr<TSimProcess> StartDevice(const TOutcome& Case, int Number,
                                         std::vector<std::string>& Route) {
  std::vector<std::string> args{"--password", kTestPassword, "--events", "40",
                                "--text",     "0",           "--modem",  "40"};
  const std::string address = "127.0.67." + std::to_string(Number);
  if (Case.Serial)
    args.push_back("--serial");
  else
    args.insert(args.end(), {"--address", address});
  args.insert(args.end(), Case.SimArgs.begin(), Case.SimArgs.end());
  auto sim = std::make_unique<TSimProcess>(args);
  Route = {"--host", address};
  if (Case.Serial) {
    const auto path = sim->WaitForLine("tallybox-sim: serial debug terminal: ");
    if (path) Route = {"--port", *path};
  }
  EXPECT_TRUE(sim->WaitForLine("tallybox-sim: ready")) << Case.Name;
  return sim;
}

TCliResult RunTool(const std::vector<std::string>& Route, const std::vector<std::string>& Args,
                   const std::string& Password = kTestPassword) {
  std::vector<std::string> command{Cli};
  command.insert(command.end(), Route.begin(), Route.end());
  command.insert(command.end(), Args.begin(), Args.end());
  return RunCli(command, {"TALLYBOX_PASSWORD=" + Password});
}

// The device's registers as a preset, r100 changed.
std::string ChangedPreset(const std::vector<std::string>& Route, const TTempFolder& Folder) {
  const std::string read = Folder.Path("read.rgp"), changed = Folder.Path("changed.rgp");
  EXPECT_EQ(RunTool(Route, {"registers", read}).ExitCode, 0);
  std::string text = ReadFileBytes(read);
  const size_t at = text.find("r100=42");
  if (at != std::string::npos) text.replace(at, 7, "r100=77");
  std::ofstream(changed, std::ios::binary) << text;
  return changed;
}

}  // namespace

TEST(CliOutcomes, EachWayADeviceBehavesGivesWhatHappened) {
  const std::string restarted = "The device restarted while answering \"r?\"";
  const TOutcome cases[] = {
      {"TCP, restart instead of the registers",
       false,
       {"--restart-on", "r?"},
       {"registers"},
       1,
       restarted},
      {"serial, restart instead of the registers",
       true,
       {"--restart-on", "r?"},
       {"registers"},
       1,
       "The reply to \"r?\" held no name=value line"},
      {"TCP, lines and events end in LF",
       false,
       {"--eol", "lf", "--event-eol", "lf"},
       {"program", "PRESET"},
       0,
       ""},
      {"serial, lines and events end in CR",
       true,
       {"--eol", "cr", "--event-eol", "cr"},
       {"send", "r100=5"},
       0,
       ""},
      {"serial, echo of the whole burst first",
       true,
       {"--echo-burst"},
       {"program", "PRESET"},
       0,
       ""},
      {"TCP, the line drops once the password was taken",
       false,
       {"--drop-after-password", "100"},
       {"version"},
       1,
       "The connection closed during the login, after the device took the password"},
      {"TCP, the line drops while programming",
       false,
       {"--drop-on", "r200=on"},
       {"program", "PRESET"},
       1,
       "The connection closed before the programming was complete"},
      {"TCP, a slow device with its reply time",
       false,
       {"--delay", "2500"},
       {"--reply-timeout", "4000", "registers"},
       0,
       ""},
  };
  int number = 0;
  for (const TOutcome& c : cases) {
    SCOPED_TRACE(c.Name);
    const TTempFolder folder{"tbx-outcome"};
    std::vector<std::string> route;
    const auto sim = StartDevice(c, ++number, route);
    std::vector<std::string> args = c.CliArgs;
    for (std::string& arg : args)
      if (arg == "PRESET") arg = ChangedPreset(route, folder);
    const TCliResult r = RunTool(route, args);
    EXPECT_EQ(r.ExitCode, c.Exit) << r.Err;
    if (c.Says.empty())
      EXPECT_EQ(r.Err, "");
    else
      EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    if (c.CliArgs[0] == "registers")
      EXPECT_EQ(r.Out.find("r100=") != std::string::npos, c.Exit == 0);
  }
}

// A fleet's read that failed writes no preset and leaves the one there alone; the device that
// answered gets its file.
TEST(CliOutcomes, AFleetNeverSavesAPresetFromAFailedRead) {
  const TTempFolder folder{"tbx-outcome-fleet"};
  TSimProcess restarting({"--address", "127.0.67.40", "--password", kTestPassword, "--restart-on",
                          "r?", "--events", "0", "--text", "0"});
  TSimProcess good(
      {"--address", "127.0.67.41", "--password", kTestPassword, "--events", "0", "--text", "0"});
  ASSERT_TRUE(restarting.WaitForLine("tallybox-sim: ready"));
  ASSERT_TRUE(good.WaitForLine("tallybox-sim: ready"));
  std::ofstream(folder.Path("devices.txt")) << "host 127.0.67.40\nhost 127.0.67.41\n";
  const std::string dir = folder.Path("presets");
  std::filesystem::create_directory(dir);
  std::ofstream(dir + "/127.0.67.40.rgp") << "r100=11\r\n";
  const TCliResult r = RunTool({}, {"fleet", folder.Path("devices.txt"), "registers", dir});
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_NE(r.Out.find("127.0.67.40: failed"), std::string::npos) << r.Out;
  EXPECT_EQ(ReadFileBytes(dir + "/127.0.67.40.rgp"), "r100=11\r\n");
  EXPECT_NE(ReadFileBytes(dir + "/127.0.67.41.rgp").find("r100=42"), std::string::npos);
}

// A line that closes right after the password, or after a refusal, is a wrong password; one
// that closes after the device went on in words is not.
TEST(CliOutcomes, ALineClosedDuringTheLoginIsToldByWhatCameAfterThePassword) {
  const struct {
    const char* Name;
    std::string After;
    int Exit;
    std::string Says;
  } cases[] = {
      {"closed at once", "", 4, "Check the password, and try again"},
      {"a blank line, then closed", "\r\n", 4, "Check the password, and try again"},
      {"refused, then closed", "\r\nAccess denied\r\n", 4, "Check the password, and try again"},
      {"the banner begun, then closed", "\r\nTallybox T2 unit 7, firm", 1,
       "The connection closed during the login, after the device took the password"},
  };
  int number = 50;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string address = "127.0.67." + std::to_string(++number);
    TLoopbackPeer device(address);
    TCliChild child({Cli, "--host", address, "version"}, {"TALLYBOX_PASSWORD=" + kTestPassword});
    ASSERT_TRUE(device.Accept());
    device.Send("PASSWORD: ");
    EXPECT_EQ(device.Receive(kTestPassword.size() + 2), kTestPassword + "\r\n");
    if (!c.After.empty()) device.Send(c.After);
    device.CloseConnection();
    const TCliResult r = child.Finish();
    EXPECT_EQ(r.ExitCode, c.Exit) << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
  }
}
