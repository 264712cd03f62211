// The real tallybox-cli against the real simulator: over loopback TCP (each test its own
// 127.0.40.x on port 6024), over a pseudo-terminal reached as a COM port, and over the
// simulated dial-up service. Exit statuses, outputs, the password's ways in, Ctrl+C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <regex>
#include <thread>

#include "CliRunner.h"
#include "sim/SimHarness.h"
#include "support/LoopbackPeer.h"
#include "support/TempConfig.h"

namespace {

const std::string Cli = TALLYBOX_CLI_PATH;
const std::string WithPassword = "TALLYBOX_PASSWORD=" + kTestPassword;
const std::string NoPassword = "TALLYBOX_PASSWORD";  // removed from the child's environment

class CliProgram : public ::testing::Test {
 protected:
  void TearDown() override {
    if (FSim) EXPECT_EQ(FSim->Stop(), 0);
  }
  // The simulator on Address with quiet timers, logging every line it receives.
  void StartSim(const std::string& Address, std::vector<std::string> Extra = {}) {
    std::vector<std::string> args{"--address", Address, "--password", kTestPassword,
                                  "--events",  "0",     "--text",     "0",
                                  "--modem",   "0",     "--log",      Log()};
    args.insert(args.end(), Extra.begin(), Extra.end());
    FSim = std::make_unique<TSimProcess>(args);
    ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: ready")) << "the simulator did not start";
  }
  std::string Log() const { return FFolder.Path("sim.log"); }
  std::string Path(const std::string& Name) const { return FFolder.Path(Name); }
  TCliResult Run(std::vector<std::string> Args, std::vector<std::string> Env = {WithPassword}) {
    Args.insert(Args.begin(), Cli);
    return RunCli(Args, Env);
  }

  TTempFolder FFolder{"tbx-cli"};
  std::unique_ptr<TSimProcess> FSim;
};

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> lines;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs a python3 expression over the JSON document in File; returns what it prints.
std::string Python(const std::string& File, const std::string& Expression) {
  return RunCli({"/usr/bin/python3", "-c",
                 "import json,sys; d=json.load(open(sys.argv[1])); print(" + Expression + ")",
                 File})
      .Out;
}

}  // namespace

TEST_F(CliProgram, EveryCommandOverTcp) {
  StartSim("127.0.40.1");
  struct TCase {
    std::vector<std::string> Args;
    std::string FirstLine;  // exact
    size_t MinLines;
    std::string LineShape;  // every line matches
  };
  const TCase cases[] = {
      {{"version"}, "1.00", 1, "1\\.00"},
      {{"status"}, "i100=TB-204871", 8, "i[0-9]+=.*"},
      {{"registers"}, "r100=42", 20, "r[0-9]+=.*"},
      {{"diag"}, "r100=42 ;** changed", 30, ".*"},
      {{"send", "i900?"}, "i900=1.00", 1, "i900=1\\.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[0]);
    std::vector<std::string> args{"--host", "127.0.40.1"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const TCliResult r = Run(args);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");  // without --verbose only errors go there
    const auto lines = Lines(r.Out);
    ASSERT_GE(lines.size(), c.MinLines) << r.Out;
    EXPECT_EQ(lines[0], c.FirstLine);
    for (const std::string& line : lines)
      EXPECT_TRUE(std::regex_match(line, std::regex(c.LineShape))) << line;
  }
  const auto diag = Run({"--host", "127.0.40.1", "diag"}).Out;
  EXPECT_LT(diag.find("r100="), diag.find("i100="));  // registers, status, then the dump
  EXPECT_LT(diag.find("i100="), diag.rfind("\n", diag.size() - 2));

  const TCliResult verbose = Run({"--verbose", "--host", "127.0.40.1", "version"});
  EXPECT_EQ(verbose.Err, "Connecting to 127.0.40.1\nOpened\nClosing\nClosed\n");
  EXPECT_EQ(verbose.Out, "1.00\n");
}

TEST_F(CliProgram, ProgramFromSavedRegistersRoundTripsAndReportsWhatDiffers) {
  StartSim("127.0.40.2");
  const std::string preset = Path("saved.rgp");
  ASSERT_EQ(Run({"--host", "127.0.40.2", "registers", preset}).ExitCode, 0);
  std::string text = ReadFileBytes(preset);
  ASSERT_TRUE(text.starts_with("; Saved ")) << text;
  const size_t at = text.find("\r\nr101=0\r\n");
  ASSERT_NE(at, std::string::npos) << text;
  WriteFileBytes(preset, text.replace(at, 10, "\r\nr101=4242\r\n"));

  const TCliResult programmed = Run({"--host", "127.0.40.2", "program", preset});
  EXPECT_EQ(programmed.ExitCode, 0) << programmed.Err;
  EXPECT_EQ(programmed.Out, "");
  EXPECT_NE(Run({"--host", "127.0.40.2", "registers"}).Out.find("\nr101=4242\n"),
            std::string::npos);
  // The whole set went, in name order, before the read-back.
  const std::string log = ReadFileBytes(Log());
  EXPECT_LT(log.find("r100=42\n"), log.find("r101=4242\n"));
  EXPECT_NE(log.find("r101=4242\nr102=1\n"), std::string::npos) << log;

  // r105 takes 0 to 9: the device keeps its value, and the program says so.
  text = ReadFileBytes(preset);
  WriteFileBytes(preset,
                 std::regex_replace(text, std::regex("\r\nr105=[0-9]+\r\n"), "\r\nr105=42\r\n"));
  const TCliResult differs = Run({"--host", "127.0.40.2", "program", preset});
  EXPECT_EQ(differs.ExitCode, 3) << differs.Err;
  EXPECT_EQ(differs.Out, "r105: programmed 42, read back 3\n");
  const TCliResult json = Run({"--json", "--host", "127.0.40.2", "program", preset});
  EXPECT_EQ(json.ExitCode, 3);
  WriteFileBytes(Path("differs.json"), json.Out);
  EXPECT_EQ(Python(Path("differs.json"),
                   "d['values']['r105'], d['programmed']['r105'], len(d['values'])"),
            "3 42 1\n");
}

TEST_F(CliProgram, JsonOutputIsReadByOtherTools) {
  StartSim("127.0.40.3");
  struct TCase {
    const char* Command;
    std::string Expression, Expected;
  };
  const TCase cases[] = {
      {"status", "d['values']['i101'], d['values']['i201']", "Tallybox T2 12.4\n"},
      {"registers", "d['values']['r100'], len(d['values']) > 20", "42 True\n"},
      {"registers", "'r100' in d['highlighted'], 'r101' in d['highlighted']", "True False\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expression);
    const TCliResult r = Run({"--json", "--host", "127.0.40.3", c.Command});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    WriteFileBytes(Path("out.json"), r.Out);
    EXPECT_EQ(Python(Path("out.json"), c.Expression), c.Expected) << r.Out;
  }
}

TEST_F(CliProgram, PasswordWaysAndAWrongOne) {
  StartSim("127.0.40.4");
  WriteFileBytes(Path("right"), kTestPassword + "\n");
  WriteFileBytes(Path("wrong"), "nope\r\n");
  WriteFileBytes(Path("two-lines"), kTestPassword + "\nmore\n");
  struct TCase {
    const char* Name;
    std::vector<std::string> Args, Env;
    int Exit;
    std::string ErrHas;
  };
  const TCase cases[] = {
      {"file with a line end", {"--password-file", Path("right")}, {NoPassword}, 0, ""},
      {"environment", {}, {WithPassword}, 0, ""},
      {"file before environment",
       {"--password-file", Path("wrong")},
       {WithPassword},
       4,
       "password again"},
      {"wrong in the environment", {}, {"TALLYBOX_PASSWORD=nope"}, 4, "password again"},
      {"line break inside", {"--password-file", Path("two-lines")}, {NoPassword}, 2, "line break"},
      {"missing file", {"--password-file", Path("none")}, {NoPassword}, 2, "Cannot open file"},
      {"none, and no terminal to ask", {}, {NoPassword}, 2, "no password"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> args = c.Args;
    args.insert(args.end(), {"--timeout", "5000", "--host", "127.0.40.4", "version"});
    const TCliResult r = Run(args, c.Env);
    EXPECT_EQ(r.ExitCode, c.Exit) << r.Err;
    EXPECT_NE(r.Err.find(c.ErrHas), std::string::npos) << r.Err;
    EXPECT_LT(r.Elapsed.count(), 5000);
  }
}

TEST_F(CliProgram, FailuresOfTheLinkAndTheDevice) {
  struct TCase {
    const char* Name;
    std::vector<std::string> SimArgs;  // empty: no simulator at all
    std::vector<std::string> Args;
    std::string ErrHas;
  };
  const TCase cases[] = {
      {"nothing listens", {}, {"version"}, "Could not connect to 127.0.40.5"},
      {"line dropped mid-reply",
       {"--drop-on", "r?"},
       {"registers"},
       "closed before the reply to \"r?\""},
      {"no prompt ever",
       {"--no-prompt"},
       {"--timeout", "1500", "version"},
       "No reply to the login within 1500 ms"},
      {"late replies", {"--delay", "2500"}, {"version"}, "No reply to \"i900?\" within 2000 ms"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (!c.SimArgs.empty()) StartSim("127.0.40.5", c.SimArgs);
    std::vector<std::string> args{"--host", "127.0.40.5"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const TCliResult r = Run(args);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Err.find(c.ErrHas), std::string::npos) << r.Err;
    if (FSim) EXPECT_EQ(FSim->Stop(), 0);
    FSim.reset();
  }
}

TEST_F(CliProgram, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--host", "h"},
      {"--host", "h", "reboot"},
      {"--host", "h", "program"},
      {"--host", "h", "version", "extra"},
      {"--host", "h", "--com", "3", "version"},
      {"--com", "0", "version"},
      {"--com", "x", "version"},
      {"--host", "h", "--phone", "1", "version"},
      {"--host", "h", "--timeout", "-5", "version"},
      {"--host", "h", "--password", "secret", "version"},
      {"--host", "h", "--password=secret", "version"},
      {"--host", "h", "--frobnicate", "version"},
      {"--host", "h", "send", "a=1\r\nb=2"},
  };
  for (const auto& args : cases) {
    const TCliResult r = Run(args);
    EXPECT_EQ(r.ExitCode, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.Err.find("usage: tallybox-cli"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
  const TCliResult help = Run({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_TRUE(help.Out.starts_with("usage: tallybox-cli")) << help.Out;
  // No option takes the password: the only password options name a file.
  EXPECT_EQ(std::regex_search(help.Out, std::regex("--password[^-]")), false) << help.Out;
}

TEST_F(CliProgram, PasswordNeverShowsInTheProcessArguments) {
  StartSim("127.0.40.6", {"--delay", "600"});
  WriteFileBytes(Path("secret"), kTestPassword);
  TCliChild child({Cli, "--host", "127.0.40.6", "--password-file", Path("secret"), "registers"},
                  {NoPassword});
  std::string cmdline;
  for (int i = 0; i < 50 && cmdline.find("registers") == std::string::npos; ++i) {
    std::this_thread::sleep_for(20ms);
    cmdline = ReadFileBytes("/proc/" + std::to_string(child.Pid()) + "/cmdline");
  }
  const TCliResult r = child.Finish();
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(cmdline.find("registers"), std::string::npos);
  EXPECT_EQ(cmdline.find(kTestPassword), std::string::npos) << cmdline;
  EXPECT_NE(ReadFileBytes(Log()).find(kTestPassword + "\n"), std::string::npos);  // yet it was sent
}

TEST_F(CliProgram, CtrlCAbortsCleanly) {
  StartSim("127.0.40.7", {"--delay", "1500"});
  TCliChild child({Cli, "--host", "127.0.40.7", "version"}, {WithPassword});
  std::this_thread::sleep_for(500ms);
  child.Signal(SIGINT);
  const TCliResult r = child.Finish(5000ms);
  EXPECT_EQ(r.ExitCode, 130) << r.Err;
  EXPECT_LT(r.Elapsed.count(), 1500);
  EXPECT_EQ(r.Out, "");
}

TEST_F(CliProgram, SerialPortThroughAComLink) {
  TTempConfig config;
  const std::string link = config.LinkPath(7);
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--link", link, "--events", "0", "--text", "0", "--modem", "0", "--log", Log()});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug terminal: "));
  const std::string env = "XDG_CONFIG_HOME=" + config.Folder;
  struct TCase {
    std::vector<std::string> Args;
    std::string OutHas;
  };
  const TCase cases[] = {
      {{"version"}, "1.00\n"},
      {{"registers"}, "r100=42\n"},
      {{"--json", "status"}, "\"i100\": \"TB-204871\""},
      {{"send", "i900?"}, "i900=1.00\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.back());
    std::vector<std::string> args{Cli, "--com", "7"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const TCliResult r = RunCli(args, {env, NoPassword});  // the debug port asks for none
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find(c.OutHas), std::string::npos) << r.Out;
    ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session ended"));
    EXPECT_TRUE(ReadFileBytes(Log()).ends_with("bye\n"));  // the link was ended properly
  }
  // Ctrl+C while a request waits: "bye" still goes first.
  EXPECT_EQ(FSim->Stop(), 0);
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--link", link, "--delay", "1500", "--log", Path("slow.log")});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug terminal: "));
  TCliChild child({Cli, "--com", "7", "version"}, {env});
  std::this_thread::sleep_for(300ms);
  child.Signal(SIGINT);
  EXPECT_EQ(child.Finish(5000ms).ExitCode, 130);
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session ended", 3000ms));
  EXPECT_EQ(ReadFileBytes(Path("slow.log")), "i900?\nbye\n");
  config.Link(8, Path("no-such-device"));
  const TCliResult absent = RunCli({Cli, "--com", "8", "version"}, {env});
  EXPECT_EQ(absent.ExitCode, 1);
  EXPECT_NE(absent.Err.find("COM8"), std::string::npos) << absent.Err;
}

TEST_F(CliProgram, DialUpThroughThePhoneBook) {
  StartSim("127.0.40.8");
  WriteFileBytes(Path("book.txt"), "Depot|0100 6024|||127.0.40.8|\n");
  const std::vector<std::string> env{WithPassword, "TALLYBOX_RASSIM_BOOK=" + Path("book.txt"),
                                     "TALLYBOX_RASSIM_LOG=" + Path("dial.log")};
  const TCliResult r = RunCli({Cli, "--dial", "Depot", "--phone", "0100 9", "version"}, env);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "1.00\n");
  const std::string dials = ReadFileBytes(Path("dial.log"));
  EXPECT_NE(dials.find("0100 9"), std::string::npos) << dials;
  EXPECT_NE(dials.find("hang"), std::string::npos) << dials;
  const TCliResult unknown = RunCli({Cli, "--dial", "Nowhere", "version"}, env);
  EXPECT_EQ(unknown.ExitCode, 1);
  EXPECT_NE(unknown.Err, "");
}

TEST_F(CliProgram, RequestWithoutReplyFailsAfterItsTimeOut) {
  TLoopbackPeer device("127.0.40.9");
  TCliChild child({Cli, "--host", "127.0.40.9", "send", "x?"}, {WithPassword});
  ASSERT_TRUE(device.Accept());
  device.Send("PASSWORD\r\n");
  EXPECT_EQ(device.Receive(kTestPassword.size() + 2), kTestPassword + "\r\n");
  device.Send("Welcome" + SimPrompt());
  for (int i = 0; i < 2; ++i) {  // the version request and the poll right after it
    EXPECT_EQ(device.Receive(7), "i900?\r\n");
    device.Send("i900=1.00\r\n" + SimPrompt());
  }
  EXPECT_EQ(device.Receive(4), "x?\r\n");
  device.Send("half a reply");
  const TCliResult r = child.Finish();
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "No reply to \"x?\" within 2000 ms\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(device.SeesClose());
}

TEST_F(CliProgram, PasswordIsAskedOnTheTerminalWithoutEcho) {
  StartSim("127.0.40.10");
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  TCliChild child({Cli, "--host", "127.0.40.10", "version"}, {NoPassword}, terminal);
  std::this_thread::sleep_for(400ms);  // the prompt is up and echo off by now
  const std::string typed = kTestPassword + "\n";
  ASSERT_EQ(::write(master, typed.data(), typed.size()), ssize_t(typed.size()));
  const TCliResult r = child.Finish(10000ms);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "1.00\n");
  EXPECT_EQ(r.Err, "Password: \n");
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  char echoed[256];
  const ssize_t n = ::read(master, echoed, sizeof echoed);
  EXPECT_EQ(std::string(echoed, size_t(std::max<ssize_t>(n, 0))).find(kTestPassword),
            std::string::npos);
  ::close(terminal);
  ::close(master);
}

// The device's output in random pieces with pauses, and at modem speed: a few runs of each
// command (bench/cli_links.sh runs more and times them).
TEST_F(CliProgram, VersionRegistersAndProgramOverBrokenUpAndSlowLinks) {
  const std::vector<std::vector<std::string>> links = {
      {"--split", "random", "--split", "24", "--split-gap", "5"}, {"--baud", "9600"}};
  for (const auto& link : links) {
    SCOPED_TRACE(link[1]);
    StartSim("127.0.40.11", link);
    const std::string original = Path("original.rgp"), changed = Path("changed.rgp");
    ASSERT_EQ(Run({"--host", "127.0.40.11", "registers", original}).ExitCode, 0);
    std::string text = ReadFileBytes(original);
    WriteFileBytes(changed, text.replace(text.find("\r\nr101=0\r\n"), 10, "\r\nr101=77\r\n"));
    const std::string listed = Run({"--host", "127.0.40.11", "registers"}).Out;
    ASSERT_NE(listed.find("\nr101=0\n"), std::string::npos) << listed;
    for (int run = 0; run < 2; ++run) {
      const TCliResult version = Run({"--host", "127.0.40.11", "version"});
      EXPECT_EQ(version.Out, "1.00\n") << version.Err;
      const TCliResult registers = Run({"--host", "127.0.40.11", "registers"});
      EXPECT_EQ(registers.ExitCode, 0) << registers.Err;
      EXPECT_EQ(registers.Out, listed);
      for (const std::string& preset : {changed, original}) {
        const TCliResult programmed = Run({"--host", "127.0.40.11", "program", preset});
        EXPECT_EQ(programmed.ExitCode, 0) << programmed.Out << programmed.Err;
      }
    }
    EXPECT_EQ(FSim->Stop(), 0);
    FSim.reset();
  }
}
