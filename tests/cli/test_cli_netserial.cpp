// tallybox-cli on the serial debug port behind a terminal server: the real ser2net in front of
// the simulator's pseudo-terminal, reached as tcp://HOST:PORT and rfc2217://HOST:PORT.
#include <gtest/gtest.h>

#include <thread>

#include "CliRunner.h"
#include "sim/SimHarness.h"
#include "support/Rfc2217Server.h"
#include "support/Ser2net.h"
#include "support/TempConfig.h"
#include "support/TempFolder.h"

namespace {

const std::string Cli = TALLYBOX_CLI_PATH;

class CliNetSerial : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }

  // The simulated debug port with Options, behind a ser2net of its own.
  void Start(const std::vector<std::string>& Options) {
    FServer.reset();
    std::vector<std::string> args{"--serial", "--events", "0", "--text", "0", "--modem", "0"};
    args.insert(args.end(), Options.begin(), Options.end());
    FSim = std::make_unique<TSimProcess>(args);
    const auto pty = FSim->WaitForLine("tallybox-sim: serial debug terminal: ");
    ASSERT_TRUE(pty);
    FServer = std::make_unique<TSer2net>("127.0.132.2", *pty);
    ASSERT_TRUE(FServer->Ready()) << FServer->Log();
  }

  // One run; then waits until ser2net has let the terminal go, so the next run may have it.
  TCliResult Run(const std::vector<std::string>& Args) {
    std::vector<std::string> all{Cli};
    all.insert(all.end(), Args.begin(), Args.end());
    const TCliResult r = RunCli(all, {"TALLYBOX_PASSWORD"});
    FSim->WaitForLine("tallybox-sim: serial debug session ended", 3000ms);
    std::this_thread::sleep_for(100ms);
    return r;
  }

  TTempFolder FFolder{"tbx-netserial"};
  std::unique_ptr<TSimProcess> FSim;
  std::unique_ptr<TSer2net> FServer;
};

// Version, registers and a program round trip of a value holding 0xFF ("ÿ"), both ways in.
TEST_F(CliNetSerial, VersionRegistersAndProgramOverRawAndRfc2217) {
  for (const std::string& url : {FServer->RawUrl(), FServer->Rfc2217Url()}) {
    SCOPED_TRACE(url);
    const TCliResult version = Run({"--verbose", "--port", url, "version"});
    EXPECT_EQ(version.ExitCode, 0) << version.Err;
    EXPECT_EQ(version.Out, "1.00\n");
    EXPECT_EQ(version.Err, "Opening " + url + "\nOpened\nClosing\nClosed\n");

    const std::string preset = FFolder.Path("site.rgp");
    ASSERT_EQ(Run({"--port", url, "registers", preset}).ExitCode, 0);
    std::string text = ReadFileBytes(preset);
    const size_t at = text.find("\r\nr400=");
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at + 2, text.find("\r\n", at + 2) - at - 2, "r400=Caf\xff \xff\xff");
    WriteFileBytes(preset, text);
    const TCliResult programmed = Run({"--port", url, "program", preset});
    EXPECT_EQ(programmed.ExitCode, 0) << programmed.Err;
    EXPECT_EQ(programmed.Out, "");  // read back as programmed
    EXPECT_NE(Run({"--port", url, "registers"}).Out.find("\nr400=Caf\xff \xff\xff\n"),
              std::string::npos);
    ASSERT_EQ(Run({"--port", url, "send", "r400=Tallybox"}).ExitCode, 0);
  }
}

// However the debug port behind the server talks, the registers read the same, over both
// accepters.
TEST_F(CliNetSerial, EveryKindOfDebugPortGivesTheSameRegisters) {
  std::string expected;
  for (const std::vector<std::string>& kind :
       std::vector<std::vector<std::string>>{{},
                                             {"--no-echo"},
                                             {"--banner-on-open", "--bye-prompt"},
                                             {"--no-echo", "--banner-on-open"}}) {
    Start(kind);
    for (const std::string& url : {FServer->RawUrl(), FServer->Rfc2217Url()}) {
      SCOPED_TRACE(url + " " + (kind.empty() ? "" : kind.front()) +
                   (kind.size() > 1 ? " " + kind[1] : ""));
      const TCliResult r = Run({"--port", url, "registers"});
      EXPECT_EQ(r.ExitCode, 0) << r.Err;
      EXPECT_NE(r.Out.find("r100=42\n"), std::string::npos) << r.Out;
      if (expected.empty()) expected = r.Out;
      EXPECT_EQ(r.Out, expected);
    }
  }
}

// Back to back on one port, alternating its raw and its RFC 2217 accepter: the server still
// holds the device a moment after each client has gone, and turns the next one away meanwhile.
TEST_F(CliNetSerial, RunsBackToBackOnOnePortAllSucceed) {
  for (int run = 1; run <= 20; ++run) {
    const std::string url = run % 2 ? FServer->RawUrl() : FServer->Rfc2217Url();
    const TCliResult r = RunCli({Cli, "--port", url, "version"}, {"TALLYBOX_PASSWORD"});
    EXPECT_EQ(r.ExitCode, 0) << "run " << run << ", " << url << ": " << r.Err;
    EXPECT_EQ(r.Out, "1.00\n");
  }
}

TEST_F(CliNetSerial, FleetLinesTakePortUrl) {
  const std::string list = FFolder.Path("depot.txt");
  WriteFileBytes(list, "port " + FServer->Rfc2217Url() + "\n");
  const TCliResult r = Run({"fleet", list, "version"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "== port " + FServer->Rfc2217Url() + ": done\n1.00\n");
}

TEST_F(CliNetSerial, AServerStoppedMidSessionEndsTheRunAtOnce) {
  // The device answers late; the server goes away meanwhile.
  FServer.reset();
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--events", "0", "--text", "0", "--modem", "0", "--delay", "5000"});
  const auto pty = FSim->WaitForLine("tallybox-sim: serial debug terminal: ");
  ASSERT_TRUE(pty);
  FServer = std::make_unique<TSer2net>("127.0.132.2", *pty);
  ASSERT_TRUE(FServer->Ready());
  TCliChild child({Cli, "--verbose", "--port", FServer->Rfc2217Url(), "version"},
                  {"TALLYBOX_PASSWORD"});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session started"));
  std::this_thread::sleep_for(300ms);
  FServer->Stop();
  const TCliResult stopped = child.Finish(10000ms);
  EXPECT_EQ(stopped.ExitCode, 1) << stopped.Err;
  EXPECT_LT(stopped.Elapsed, 4000ms);
  EXPECT_NE(stopped.Err.find("Closed by remote end"), std::string::npos) << stopped.Err;
}

// A device that keeps CTS off gets nothing, and the time-out says why.
TEST(CliNetSerialLines, ATimeOutWhileTheDeviceHoldsCtsOffSaysSo) {
  TRfc2217Server server(TRfc2217Server::Dsr);
  const TCliResult r = RunCli({Cli, "--port", server.Url(), "--timeout", "1500", "version"}, {});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err,
            "tallybox-cli: No reply to the login within 1500 ms. The device shows CTS off: "
            "nothing is sent until it is on.\n");
  EXPECT_EQ(server.Data(), "");
}

}  // namespace
