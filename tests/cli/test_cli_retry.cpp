// --retry: a device that is away when the run starts (restarting, its cable out) is reached by
// a later try, spaced 1 s, 2 s, ...; only failures on the way are tried again, and only the
// last try's output is printed. A single run and a fleet alike.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "CliRunner.h"
#include "sim/SimHarness.h"
#include "support/TempFolder.h"

namespace {

std::vector<std::string> Tool(std::vector<std::string> Args) {
  std::vector<std::string> command = CliCommand(TALLYBOX_CLI_PATH);
  command.insert(command.end(), Args.begin(), Args.end());
  return command;
}

const std::vector<std::string> kEnv = {"TALLYBOX_PASSWORD=" + kTestPassword};

std::unique_ptr<TSimProcess> StartDevice(const std::string& Address,
                                         std::vector<std::string> Extra = {}) {
  std::vector<std::string> args = {"--address", Address, "--password", kTestPassword,
                                   "--events",  "0",     "--text",     "0"};
  args.insert(args.end(), Extra.begin(), Extra.end());
  auto sim = std::make_unique<TSimProcess>(args);
  EXPECT_TRUE(sim->WaitForLine("tallybox-sim: ready"));
  return sim;
}

size_t Count(const std::string& Text, const std::string& Part) {
  size_t n = 0;
  for (size_t at = 0; (at = Text.find(Part, at)) != std::string::npos; at += Part.size()) ++n;
  return n;
}

TEST(CliRetry, ADeviceBackAfterTheFirstTriesIsReachedWhileOtherFailuresAreNotTriedAgain) {
  const std::string address = "127.0.68.1";
  // Without --retry the device's absence ends the run.
  TCliResult alone = RunCli(Tool({"--host", address, "version"}), kEnv);
  EXPECT_EQ(alone.ExitCode, 1);
  EXPECT_EQ(Count(alone.Err, "trying again"), 0u);

  // With it, the device coming up 1.5 s later is reached by the third try (at 1 s + 2 s).
  TCliChild waiting(Tool({"--host", address, "--retry", "3", "--json", "version"}), kEnv);
  std::this_thread::sleep_for(1500ms);
  auto sim = StartDevice(address);
  TCliResult back = waiting.Finish();
  EXPECT_EQ(back.ExitCode, 0) << back.Err;
  EXPECT_EQ(back.Out, "{\"version\": \"1.00\"}\n");
  EXPECT_NE(back.Err.find("; trying again in 1 s (retry 1 of 3)"), std::string::npos) << back.Err;
  EXPECT_NE(back.Err.find("; trying again in 2 s (retry 2 of 3)"), std::string::npos) << back.Err;
  EXPECT_EQ(Count(back.Err, "trying again"), 2u) << back.Err;

  // A wrong password is the user's to mend: not tried again.
  TCliResult refused =
      RunCli(Tool({"--host", address, "--retry", "2", "version"}), {"TALLYBOX_PASSWORD=wrong"});
  EXPECT_EQ(refused.ExitCode, 4);
  EXPECT_EQ(Count(refused.Err, "trying again"), 0u) << refused.Err;

  // A device that drops the line on every try: the tries run out and the last failure is told.
  sim.reset();
  sim = StartDevice(address, {"--drop-on", "r?"});
  TCliResult dropped = RunCli(Tool({"--host", address, "--retry", "1", "registers"}), kEnv);
  EXPECT_EQ(dropped.ExitCode, 1);
  EXPECT_EQ(Count(dropped.Err, "(retry 1 of 1)"), 1u) << dropped.Err;
  EXPECT_EQ(Count(dropped.Err, "trying again"), 1u) << dropped.Err;
  EXPECT_NE(dropped.Err.rfind("tallybox-cli: The connection closed before"), std::string::npos)
      << dropped.Err;
  EXPECT_EQ(dropped.Out, "");
}

TEST(CliRetry, AFleetTriesEachDeviceAgainOnItsOwn) {
  TTempFolder folder("tbx-retry");
  const std::string list = folder.Path("devices.txt");
  std::ofstream(list) << "host 127.0.68.2\nhost 127.0.68.3\n";
  auto first = StartDevice("127.0.68.2");
  TCliChild fleet(Tool({"--retry", "2", "fleet", list, "version"}), kEnv);
  std::this_thread::sleep_for(1500ms);
  auto second = StartDevice("127.0.68.3");
  TCliResult result = fleet.Finish();
  EXPECT_EQ(result.ExitCode, 0) << result.Err;
  EXPECT_NE(result.Out.find("== host 127.0.68.2: done\n1.00\n"), std::string::npos) << result.Out;
  EXPECT_NE(result.Out.find("== host 127.0.68.3: done\n1.00\n"), std::string::npos) << result.Out;
  EXPECT_NE(result.Err.find("trying again in 1 s (retry 1 of 2)"), std::string::npos) << result.Err;
  EXPECT_NE(result.Err.find("2 devices: 2 done"), std::string::npos) << result.Err;
}

}  // namespace
