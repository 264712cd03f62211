// The real tallybox-cli against the real simulator: over loopback TCP (each test its own
// 127.0.40.x on port 6024), over a pseudo-terminal reached as a COM port, and over the
// simulated dial-up service. Exit statuses, outputs, the password's ways in, Ctrl+C.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

#include "CliRunner.h"
#include "sim/SimHarness.h"
#include "support/FakeSerialTree.h"
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
  TCliResult Run(const std::vector<std::string>& Args,
                 std::vector<std::string> Env = {WithPassword}) {
    std::vector<std::string> command = CliCommand(Cli);
    command.insert(command.end(), Args.begin(), Args.end());
    return RunCli(command, Env);
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

// A terminal for the tool to sit at: the test types at and reads from its master side.
class TPseudoTerminal {
 public:
  TPseudoTerminal() {
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FMaster >= 0 && ::grantpt(FMaster) == 0 && ::unlockpt(FMaster) == 0)
      Slave = ::open(::ptsname(FMaster), O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~TPseudoTerminal() {
    ::close(Slave);
    ::close(FMaster);
  }
  void Type(const std::string& Keys) {
    EXPECT_EQ(::write(FMaster, Keys.data(), Keys.size()), ssize_t(Keys.size()));
  }
  // Everything the terminal showed so far (or since Forget).
  const std::string& Seen() {
    char buffer[4096];
    for (ssize_t n; (n = ::read(FMaster, buffer, sizeof buffer)) > 0;)
      FSeen.append(buffer, size_t(n));
    return FSeen;
  }
  bool WaitFor(const std::string& Text) {
    for (int i = 0; i < 250 && Seen().find(Text) == std::string::npos; ++i)
      std::this_thread::sleep_for(20ms);
    return Seen().find(Text) != std::string::npos;
  }
  void Forget() { Seen(), FSeen.clear(); }
  bool Echoes() const {
    termios attributes{};
    return ::tcgetattr(Slave, &attributes) == 0 && (attributes.c_lflag & ECHO);
  }
  int Slave = -1;

 private:
  int FMaster = -1;
  std::string FSeen;
};

// Where COM<Port> is made to reach a device: the tool's per-user link, or, for the Windows
// program under Wine, the prefix's device folder (TALLYBOX_CLI_COM_FOLDER), where COMn is the
// system's own COMn.
std::string ComLinkPath(const TTempConfig& Config, int Port) {
  const char* folder = std::getenv("TALLYBOX_CLI_COM_FOLDER");
  if (!folder || !*folder) return Config.LinkPath(Port);
  return std::string(folder) + "/com" + std::to_string(Port);
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

// The flood is 64 MiB of event lines and no prompt: the login waits for its time-out with
// the fork's caps holding, so the tool's peak memory stays far below the flood.
TEST_F(CliProgram, DeviceFloodingWithoutAPromptEndsAtTheLoginTimeOutWithMemoryBounded) {
  StartSim("127.0.40.29", {"--no-prompt", "--flood", "67108864"});
  TCliChild child({Cli, "--host", "127.0.40.29", "--timeout", "4000", "version"}, {WithPassword});
  const TCliResult r = child.Finish();
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_NE(r.Err.find("No reply to the login within 4000 ms"), std::string::npos) << r.Err;
#ifndef TALLYBOX_SANITIZED  // a sanitizer's own memory would be counted too
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);  // the largest child waited for so far: the tool
  EXPECT_LT(usage.ru_maxrss, 48 * 1024) << "KiB at the peak";
#endif
  FSim->Stop();  // still flooding: how it ends is not what this test is about
  FSim.reset();
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
      {"--com", "3", "--port", "/dev/ttyUSB0", "version"},
      {"--port=", "version"},
      {"--host", "h", "ports"},
      {"ports", "extra"},
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
    // The reason, then where the help is: two lines, not the whole help.
    EXPECT_TRUE(std::regex_match(r.Err, std::regex("tallybox-cli: [^\n]+\n"
                                                   "Try 'tallybox-cli --help'\n")))
        << r.Err;
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

TEST_F(CliProgram, CtrlCAndTerminationAbortCleanly) {
  StartSim("127.0.40.7", {"--delay", "1500"});
  for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    TCliChild child({Cli, "--host", "127.0.40.7", "version"}, {WithPassword});
    std::this_thread::sleep_for(500ms);
    child.Signal(signal);
    const TCliResult r = child.Finish(5000ms);
    EXPECT_EQ(r.ExitCode, status) << r.Err;
    EXPECT_LT(r.Elapsed.count(), 1500);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(Lines(r.Err).size(), 1u) << r.Err;
  }
}

TEST_F(CliProgram, SerialPortThroughAComLink) {
  TTempConfig config;
  const std::string link = ComLinkPath(config, 7);
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
    std::vector<std::string> args = CliCommand(Cli);
    args.insert(args.end(), {"--com", "7"});
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
  std::vector<std::string> slow = CliCommand(Cli);
  slow.insert(slow.end(), {"--com", "7", "version"});
  TCliChild child(slow, {env});
  std::this_thread::sleep_for(300ms);
  child.Signal(SIGINT);
  EXPECT_EQ(child.Finish(5000ms).ExitCode, 130);
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session ended", 3000ms));
  EXPECT_EQ(ReadFileBytes(Path("slow.log")), "i900?\nbye\n");
  std::filesystem::remove(ComLinkPath(config, 8));
  std::filesystem::create_symlink(Path("no-such-device"), ComLinkPath(config, 8));
  std::vector<std::string> absentArgs = CliCommand(Cli);
  absentArgs.insert(absentArgs.end(), {"--com", "8", "version"});
  const TCliResult absent = RunCli(absentArgs, {env});
  EXPECT_EQ(absent.ExitCode, 1);
  EXPECT_NE(absent.Err.find("COM8"), std::string::npos) << absent.Err;
  std::filesystem::remove(ComLinkPath(config, 8));
}

// A fleet's preset for "com 6" is a plain file: COM6.rgp, and for the Windows program, where
// that name would open the port COM6 itself, COM6_.rgp.
TEST_F(CliProgram, FleetSavesAComPortsPresetAsAPlainFile) {
  TTempConfig config;
  FSim = std::make_unique<TSimProcess>(
      std::vector<std::string>{"--serial", "--link", ComLinkPath(config, 6), "--events", "0",
                               "--text", "0", "--modem", "0", "--log", Log()});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug terminal: "));
  WriteFileBytes(Path("serial.txt"), "com 6\n");  // "com6.txt" would be the port on Windows
  std::vector<std::string> args = CliCommand(Cli);
  const bool windows = args.back().ends_with(".exe");
  args.insert(args.end(), {"fleet", Path("serial.txt"), "registers", Path("presets")});
  const TCliResult r = RunCli(args, {"XDG_CONFIG_HOME=" + config.Folder, NoPassword});
  EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  const std::string file = Path(windows ? "presets/COM6_.rgp" : "presets/COM6.rgp");
  EXPECT_NE(ReadFileBytes(file).find("\r\nr100=42\r\n"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("presets")), {}), 1);
  // The tool has gone once "bye" is on the line; the device logs it when it reads it.
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session ended"));
  const std::string heard = ReadFileBytes(Log());
  EXPECT_TRUE(heard.ends_with("r?\nbye\n")) << heard;  // no preset went down the line
}

// The simulator's terminal stands in for a USB adapter: "ports" lists it, --port reaches it
// by its stable name, and a node the user may not open, or one held exclusively by another
// program, says so. Root passes permission and exclusive-mode checks, so as root the tool runs
// as nobody (setpriv); otherwise as the test's own user, whose refusal names no group to join.
TEST_F(CliProgram, PortsListAndPortByPathWithTheReasonAPortWillNotOpen) {
  TTempConfig config;
  TFakeSerialTree tree;
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--link", Path("sim-tty"), "--events", "0", "--text", "0", "--modem", "0"});
  const auto node = FSim->WaitForLine("tallybox-sim: serial debug terminal: ");
  ASSERT_TRUE(node);
  const std::string stable =
      tree.AddUsb("ttyUSB0", *node, "FTDI", "FT232R USB UART", "usb-FTDI_FT232R_A5-if00-port0");
  config.Link(2, *node);

  const std::vector<std::string> lines = Lines(Run({"ports"}).Out);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "COM1 \u2014 nothing");
  EXPECT_EQ(lines[1], "COM2 \u2014 " + tree.Dev() + "/ttyUSB0 (FTDI FT232R USB UART)");
  EXPECT_EQ(lines[11], "  " + stable + "  " + tree.Dev() + "/ttyUSB0  (FTDI FT232R USB UART)");
  WriteFileBytes(Path("ports.json"), Run({"--json", "ports"}).Out);
  EXPECT_EQ(Python(Path("ports.json"), "d['ports'][1]['description'], d['devices'][0]['stable']"),
            "FTDI FT232R USB UART " + stable + "\n");
  EXPECT_EQ(Run({"--port", stable, "version"}, {NoPassword}).Out, "1.00\n");

  const bool root = ::geteuid() == 0;
  auto runAsUser = [&](const std::string& Port) {
    std::vector<std::string> args{Cli, "--port", Port, "version"};
    if (root)
      args.insert(args.begin(),
                  {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return RunCli(args, {NoPassword});
  };
  const group* dialout = ::getgrnam("dialout");
  ASSERT_EQ(::chown(node->c_str(), ::geteuid(),
                    root && dialout ? dialout->gr_gid : static_cast<gid_t>(-1)),
            0);
  ASSERT_EQ(::chmod(node->c_str(), root ? 0660 : 0), 0);
  const TCliResult refused = runAsUser(stable);
  EXPECT_EQ(refused.ExitCode, 1);
  const std::string said = "tallybox-cli: Could not open " + stable + ". You may not open " + *node;
  EXPECT_TRUE(refused.Err.starts_with(said)) << refused.Err;
  if (root && dialout)
    EXPECT_EQ(refused.Err, said +
                               ": it belongs to the group dialout. Add yourself to it (sudo "
                               "adduser $USER dialout) and log in again.\n");

  const int held = ::open(node->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::ioctl(held, TIOCEXCL), 0);
  ASSERT_EQ(::chmod(node->c_str(), 0666), 0);
  const TCliResult busy = runAsUser(*node);
  ::ioctl(held, TIOCNXCL);
  ::close(held);
  EXPECT_EQ(busy.Err, "tallybox-cli: Could not open " + *node + ". " + *node +
                          " is in use by another program. Close that program and try again.\n");
}

TEST_F(CliProgram, DialUpThroughThePhoneBook) {
  StartSim("127.0.40.8");
  WriteFileBytes(Path("book.txt"), "Depot|0100 6024|||127.0.40.8|\n");
  const std::vector<std::string> env{WithPassword, "TALLYBOX_RASSIM_BOOK=" + Path("book.txt"),
                                     "TALLYBOX_RASSIM_LOG=" + Path("dial.log")};
  const TCliResult r = Run({"--dial", "Depot", "--phone", "0100 9", "version"}, env);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "1.00\n");
  const std::string dials = ReadFileBytes(Path("dial.log"));
  EXPECT_NE(dials.find("0100 9"), std::string::npos) << dials;
  EXPECT_NE(dials.find("hang"), std::string::npos) << dials;
  const TCliResult unknown = Run({"--dial", "Nowhere", "version"}, env);
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
  EXPECT_EQ(device.Receive(7), "i900?\r\n");  // once: a run asks for the version once
  device.Send("i900=1.00\r\n" + SimPrompt());
  EXPECT_EQ(device.Receive(4), "x?\r\n");
  device.Send("half a reply");
  const TCliResult r = child.Finish();
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err,
            "tallybox-cli: The reply to \"x?\" was incomplete after 2000 ms: 12 bytes came, but "
            "no prompt\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(device.SeesClose());
}

// The prompt is asked on the controlling terminal (/dev/tty) even with standard input taken
// elsewhere; Ctrl+C there ends the tool at once with echo back on.
TEST_F(CliProgram, PasswordIsAskedOnTheTerminalWithoutEcho) {
  StartSim("127.0.40.10");
  TPseudoTerminal tty;
  const auto onTerminal = [&](const std::vector<std::string>& Args) {
    std::vector<std::string> args{"/usr/bin/setsid",
                                  "--ctty",
                                  "--wait",
                                  "/bin/sh",
                                  "-c",
                                  "exec \"$0\" \"$@\" </dev/null",
                                  Cli};
    args.insert(args.end(), Args.begin(), Args.end());
    return std::make_unique<TCliChild>(args, std::vector<std::string>{NoPassword}, tty.Slave);
  };
  auto child = onTerminal({"--host", "127.0.40.10", "version"});
  EXPECT_TRUE(tty.WaitFor("Password: "));
  std::this_thread::sleep_for(100ms);  // echo is off once the prompt is up
  tty.Type(kTestPassword + "\n");
  const TCliResult r = child->Finish(10000ms);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "1.00\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(tty.Seen().find(kTestPassword), std::string::npos) << tty.Seen();

  for (const bool early : {true, false}) {
    SCOPED_TRACE(early ? "Ctrl+C before the prompt is read" : "Ctrl+C at the prompt");
    tty.Forget();
    child = onTerminal({"--host", "127.0.40.10", "version"});
    if (!early) EXPECT_TRUE(tty.WaitFor("Password: "));
    std::this_thread::sleep_for(early ? 50ms : 200ms);
    tty.Type("\x03");
    const TCliResult stopped = child->Finish(5000ms);
    EXPECT_EQ(stopped.ExitCode, 130) << stopped.Err;
    EXPECT_EQ(stopped.Err, "tallybox-cli: interrupted\n");
    EXPECT_TRUE(tty.Echoes());
  }
  // Standard input as the password file instead.
  int in[2];
  ASSERT_EQ(::pipe(in), 0);
  ASSERT_EQ(::write(in[1], (kTestPassword + "\n").data(), kTestPassword.size() + 1),
            ssize_t(kTestPassword.size() + 1));
  ::close(in[1]);
  TCliChild piped({Cli, "--host", "127.0.40.10", "--password-file", "-", "version"}, {NoPassword},
                  in[0]);
  ::close(in[0]);
  const TCliResult fromStdin = piped.Finish();
  EXPECT_EQ(fromStdin.ExitCode, 0) << fromStdin.Err;
  EXPECT_EQ(fromStdin.Out, "1.00\n");
}

// A reader that went away and a full disk: the command fails with one line, after the
// session was ended properly ("bye" on the debug port).
TEST_F(CliProgram, OutputThatCannotBeWrittenFailsAfterTheSessionIsClosed) {
  TTempConfig config;
  FSim = std::make_unique<TSimProcess>(
      std::vector<std::string>{"--serial", "--link", config.LinkPath(9), "--events", "0", "--text",
                               "0", "--modem", "0", "--log", Log()});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug terminal: "));
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  struct TCase {
    std::vector<std::string> Args;
    bool ClosedPipe;
    std::string Reason;
  };
  const TCase cases[] = {
      {{"diag"}, true, "Broken pipe"},
      {{"registers"}, false, "No space left on device"},
      {{"--json", "status"}, false, "No space left on device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.back());
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);  // nobody reads
    std::vector<std::string> args{Cli, "--com", "9"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    TCliChild child(args, {"XDG_CONFIG_HOME=" + config.Folder, NoPassword}, -1,
                    c.ClosedPipe ? pipeEnds[1] : full);
    ::close(pipeEnds[1]);
    const TCliResult r = child.Finish();
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "tallybox-cli: cannot write the output: " + c.Reason + "\n");
    ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session ended"));
    EXPECT_TRUE(ReadFileBytes(Log()).ends_with("bye\n"));
  }
  ::close(full);
}

// Device text cannot drive the user's terminal: escape sequences and control bytes show as
// ^[ and \xHH there, unless --raw; a pipe gets the bytes as they are. The code page's
// characters reach the terminal and JSON as themselves.
TEST_F(CliProgram, DeviceTextOnATerminalShowsItsControlBytes) {
  const std::string hostile = "\x1b]52;c;aGk=\x07\x1b[2J\x80 \x93ok\x94\x81\x9b";
  const auto serve = [&](const std::string& Address) {
    TLoopbackPeer device(Address);
    ASSERT_TRUE(device.Accept());
    device.Send("PASSWORD\r\n");
    device.Receive(kTestPassword.size() + 2);
    device.Send("Welcome" + SimPrompt());
    device.Receive(7);
    device.Send("i900=1.00\r\n" + SimPrompt());
    device.Receive(4);
    device.Send("i1=" + hostile + "\r\n" + SimPrompt());
    EXPECT_TRUE(device.SeesClose());
  };
  TPseudoTerminal tty;
  const std::vector<std::string> env{WithPassword, "LANG=C.UTF-8", "LC_ALL"};
  const struct {
    std::vector<std::string> Args;
    bool OnTerminal;
    std::string Shown;
  } cases[] = {
      {{"send", "x?"}, true, "i1=^[]52;c;aGk=^G^[[2J\u20AC \u201Cok\u201D\\x81\u203A\r\n"},
      {{"--raw", "send", "x?"}, true, "i1=" + hostile + "\r\n"},
      {{"send", "x?"}, false, "i1=" + hostile + "\n"},
      {{"--json", "send", "x?"},
       false,
       "{\"reply\": [\"i1=\\u001b]52;c;aGk=\\u0007\\u001b[2J\\u20ac "
       "\\u201cok\\u201d\\u0081\\u203a\"]}\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args) + (c.OnTerminal ? " to a terminal" : ""));
    // Addresses of this test alone: the other cases here hold 127.0.40.x.
    const std::string address = "127.0.42." + std::to_string(1 + n++);
    std::vector<std::string> args{Cli, "--host", address};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    tty.Forget();
    TCliChild child(args, env, -1, c.OnTerminal ? tty.Slave : -1);
    serve(address);
    const TCliResult r = child.Finish();
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(c.OnTerminal ? tty.Seen() : r.Out, c.Shown);
  }
}

TEST_F(CliProgram, VersionAndJsonForEveryCommand) {
  const TCliResult own = Run({"--version"});
  EXPECT_TRUE(std::regex_match(own.Out, std::regex("tallybox-cli [0-9]+(\\.[0-9]+)+\n")));
  StartSim("127.0.40.11");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"version"}, "d['version']"},
      {{"diag"},
       "d['registers']['values']['r100'], d['status']['values']['i100'], "
       "len(d['diagnostics']) > 5"},
      {{"send", "i900?"}, "d['reply']"},
  };
  std::string printed;
  for (const auto& [args, check] : cases) {
    std::vector<std::string> all{"--host", "127.0.40.11", "--json"};
    all.insert(all.end(), args.begin(), args.end());
    WriteFileBytes(Path("out.json"), Run(all).Out);
    printed += Python(Path("out.json"), check);
  }
  EXPECT_EQ(printed, "1.00\n42 TB-204871 True\n['i900=1.00']\n");
  EXPECT_EQ(Run({"--host", "127.0.40.11", "--json", "registers", Path("x.rgp")}).ExitCode, 2);
}

// The device's output in random pieces with pauses, and at modem speed: a few runs of each
// command (bench/cli_links.sh runs more and times them).
TEST_F(CliProgram, VersionRegistersAndProgramOverBrokenUpAndSlowLinks) {
  const std::vector<std::vector<std::string>> links = {
      {"--split", "random", "--split", "24", "--split-gap", "5"}, {"--baud", "9600"}};
  for (const auto& link : links) {
    SCOPED_TRACE(link[1]);
    StartSim("127.0.40.21", link);
    const std::string original = Path("original.rgp"), changed = Path("changed.rgp");
    ASSERT_EQ(Run({"--host", "127.0.40.21", "registers", original}).ExitCode, 0);
    std::string text = ReadFileBytes(original);
    WriteFileBytes(changed, text.replace(text.find("\r\nr101=0\r\n"), 10, "\r\nr101=77\r\n"));
    const std::string listed = Run({"--host", "127.0.40.21", "registers"}).Out;
    ASSERT_NE(listed.find("\nr101=0\n"), std::string::npos) << listed;
    for (int run = 0; run < 2; ++run) {
      const TCliResult version = Run({"--host", "127.0.40.21", "version"});
      EXPECT_EQ(version.Out, "1.00\n") << version.Err;
      const TCliResult registers = Run({"--host", "127.0.40.21", "registers"});
      EXPECT_EQ(registers.ExitCode, 0) << registers.Err;
      EXPECT_EQ(registers.Out, listed);
      for (const std::string& preset : {changed, original}) {
        const TCliResult programmed = Run({"--host", "127.0.40.21", "program", preset});
        EXPECT_EQ(programmed.ExitCode, 0) << programmed.Out << programmed.Err;
      }
    }
    EXPECT_EQ(FSim->Stop(), 0);
    FSim.reset();
  }
}

// Presets, device lists and password files are regular files of at most 16 MiB: a FIFO nobody
// writes to and a link to a device without end are refused by name instead of hanging or
// reading on, and so is a preset over the cap.
TEST_F(CliProgram, FilesThatAreNoRegularFilesOrTooLargeAreRefusedAtOnce) {
  StartSim("127.0.147.1");
  const std::string fifo = Path("fifo.rgp"), zero = Path("zero.rgp"), big = Path("big.rgp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", zero);
  WriteFileBytes(big, std::string((16 << 20) + 1, '#'));
  const std::string notRegular = "It is not a regular file", tooLarge = "It is larger than 16 MiB";
  const struct {
    std::vector<std::string> Args;
    std::string ErrHas;
  } cases[] = {
      {{"--host", "127.0.147.1", "program", fifo}, notRegular},
      {{"--host", "127.0.147.1", "diff", zero}, notRegular},
      {{"--host", "127.0.147.1", "program", zero}, notRegular},
      {{"--host", "127.0.147.1", "program", big}, tooLarge},
      {{"--password-file", fifo, "--host", "127.0.147.1", "version"}, notRegular},
      {{"--password-file", zero, "--host", "127.0.147.1", "version"}, notRegular},
      {{"fleet", fifo, "version"}, notRegular},
      {{"fleet", zero, "version"}, notRegular},
  };
  for (const auto& c : cases) {
    std::vector<std::string> command = CliCommand(Cli);
    command.insert(command.end(), {"--timeout", "2000"});
    command.insert(command.end(), c.Args.begin(), c.Args.end());
    SCOPED_TRACE(c.Args[c.Args.size() - 2] + " " + c.Args.back());
    TCliChild child(command, {WithPassword});
    const TCliResult r = child.Finish(std::chrono::seconds(5));
    EXPECT_GT(r.ExitCode, 0) << r.Err;  // -1: still reading when it was stopped
    EXPECT_NE(r.Err.find(c.ErrHas), std::string::npos) << r.Err;
  }
}

TEST_F(CliProgram, DiffComparesTheRegistersWithAPresetAndSaysWhetherTheyMatch) {
  StartSim("127.0.90.3", {"--page-version", "1.10"});
  const std::string preset = Path("saved.rgp");
  ASSERT_EQ(Run({"--host", "127.0.90.3", "registers", preset}).ExitCode, 0);
  const TCliResult same = Run({"--host", "127.0.90.3", "diff", preset});
  EXPECT_EQ(same.ExitCode, 0) << same.Err;
  EXPECT_EQ(same.Out, "Values that differ: 0\nOnly on the device: 0\nOnly in the preset: 0\n");

  std::string text =
      std::regex_replace(ReadFileBytes(preset), std::regex("\r\nr101=0\r\n"), "\r\nr101=4242\r\n");
  text = std::regex_replace(text, std::regex("\r\nr405=[^\r]*\r\n"), "\r\n");
  WriteFileBytes(preset, text + "r999=7\r\nr105=8\r\n");
  const TCliResult differs = Run({"--host", "127.0.90.3", "diff", preset});
  EXPECT_EQ(differs.ExitCode, 3) << differs.Err;
  EXPECT_EQ(differs.Out,
            "Values that differ: 2\n"
            "  r101 Counter preset: device 0, preset 4242\n"
            "  r105 Call retries: device 3, preset 8\n"
            "Only on the device: 1\n"
            "  r405 Report server: device collector.example\n"
            "Only in the preset: 1\n"
            "  r999: preset 7\n");
  const TCliResult json = Run({"--json", "--host", "127.0.90.3", "diff", preset});
  EXPECT_EQ(json.ExitCode, 3);
  WriteFileBytes(Path("diff.json"), json.Out);
  EXPECT_EQ(Python(Path("diff.json"),
                   "d['match'], d['counts'], d['differ'][0], d['only_in_preset'][0]['label']"),
            "False {'differ': 2, 'only_on_device': 1, 'only_in_preset': 1} {'name': 'r101', "
            "'label': 'Counter preset', 'device': '0', 'preset': '4242'} None\n");
  // Nothing was programmed.
  EXPECT_EQ(ReadFileBytes(Log()).find("r101=4242"), std::string::npos);
}

// --log writes the session as the main window's log does: stamped lines in both directions,
// escape bytes as \x1b, the password masked; a second run appends.
TEST_F(CliProgram, LogFileHoldsTheSessionWithThePasswordMasked) {
  StartSim("127.0.80.2");
  const std::string log = Path("session.log");
  ASSERT_EQ(Run({"--host", "127.0.80.2", "--log", log, "status"}).ExitCode, 0);
  const std::string first = ReadFileBytes(log);
  std::vector<std::string> lines;
  const std::regex shape(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) ([<>] .*))");
  std::string lastStamp;
  for (const std::string& line : Lines(first)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
    EXPECT_LE(lastStamp, m[1].str()) << line;
    lastStamp = m[1];
    lines.push_back(m[2]);
  }
  ASSERT_GE(lines.size(), 8u) << first;
  const std::vector<std::string> login(lines.begin(), lines.begin() + 4);
  EXPECT_EQ(login, (std::vector<std::string>{"< ", "< Tallybox TB-204871 remote access",
                                             "< PASSWORD", "> ********"}));
  const auto at = [&](const std::string& Line) {
    return std::find(lines.begin(), lines.end(), Line) - lines.begin();
  };
  EXPECT_LT(at(R"(< \x1b[34;1m<Tallybox TB-204871>\x1b[0m)"), at("> i900?"));
  EXPECT_EQ(at("> i?") + 1, at(R"(< i100="TB-204871")"));
  EXPECT_EQ(first.find(kTestPassword), std::string::npos);

  ASSERT_EQ(Run({"--host", "127.0.80.2", "--log", log, "version"}).ExitCode, 0);
  const std::string both = ReadFileBytes(log);
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_NE(both.find("> i900?", first.size()), std::string::npos);

  const TCliResult refused =
      Run({"--host", "127.0.80.2", "--log", Path("no/such/x.log"), "version"});
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Err.find("cannot be opened"), std::string::npos) << refused.Err;
}

// The files a user names hold up against what they are: a log of a device flooding without
// line ends keeps its lines and the tool's memory bounded; a log that cannot be written
// (/dev/full) fails the run once the session has ended; a new log is private to its user;
// registers FILE writes into a FIFO, a device node or a link's target (where the system's
// own walk of the link leads) and never replaces one.
TEST_F(CliProgram, LogsAndSavedFilesHoldUpAgainstWhatTheyNameOrReceive) {
  constexpr size_t Flood = 64u << 20;
  std::thread device([&] {
    TLoopbackPeer peer("127.0.28.2");
    ASSERT_TRUE(peer.Accept());
    peer.Send("PASSWORD\r\n");
    peer.Receive(kTestPassword.size() + 2);
    try {
      for (size_t sent = 0; sent < Flood; sent += 1 << 20) peer.Send(std::string(1 << 20, 'x'));
      peer.SeesClose(10000);
    } catch (const std::runtime_error&) {
      // a slow build reaches the tool's time-out before the flood ends: it hangs up mid-send
    }
  });
  const std::string flood = Path("flood.log");
  TCliChild child({Cli, "--host", "127.0.28.2", "--timeout", "4000", "--log", flood, "version"},
                  {WithPassword});
  const TCliResult r = child.Finish();
  device.join();
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
#ifndef TALLYBOX_SANITIZED  // a sanitizer's own memory would be counted too
  EXPECT_LT(r.PeakKiB, 48 * 1024) << "KiB at the peak";
#endif
  size_t longest = 0, floodBytes = 0;
  for (const std::string& line : Lines(ReadFileBytes(flood))) {
    longest = std::max(longest, line.size());
    floodBytes += size_t(std::count(line.begin(), line.end(), 'x'));
  }
  EXPECT_EQ(longest, 23 + 3 + 4096 + std::string(" \\ [broken at 4096 bytes]").size());
  EXPECT_GT(floodBytes, size_t(1) << 20);  // hundreds of broken lines, even in a sanitizer build

  StartSim("127.0.28.1");
  const TCliResult full = Run({"--host", "127.0.28.1", "--log", "/dev/full", "version"});
  EXPECT_EQ(full.ExitCode, 1);
  EXPECT_EQ(full.Out, "1.00\n");
  EXPECT_EQ(full.Err,
            "tallybox-cli: The session log /dev/full could not be written: No space "
            "left on device\n");
  ASSERT_EQ(Run({"--host", "127.0.28.1", "--log", Path("new.log"), "version"}).ExitCode, 0);
  const auto mode = [](const std::string& File) {
    struct stat st {};
    return ::lstat(File.c_str(), &st) == 0 ? st.st_mode : 0;
  };
  EXPECT_EQ(mode(Path("new.log")) & 07777, 0600u);

  // registers into a FIFO (its reader there first, so the write never waits), a device node
  // (null's numbers) and a link to a regular file elsewhere: each stays what it was.
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  const int reader = ::open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_EQ(::mknod(Path("node").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
  std::filesystem::create_directory(Path("real"));
  WriteFileBytes(Path("real/old.rgp"), "old");
  std::filesystem::create_symlink("real/old.rgp", Path("link"));
  // ".." after a link leaves the folder the link leads to, as the system takes it.
  std::filesystem::create_directories(Path("real/deeper"));
  std::filesystem::create_directory(Path("sub"));
  std::filesystem::create_symlink("../real/deeper", Path("sub/up"));
  std::filesystem::create_symlink("sub/up/../old.rgp", Path("hop"));
  const std::pair<const char*, mode_t> targets[] = {
      {"fifo", S_IFIFO}, {"node", S_IFCHR}, {"link", S_IFLNK}, {"hop", S_IFLNK}};
  for (const auto& [name, type] : targets) {
    const TCliResult saved = Run({"--host", "127.0.28.1", "registers", Path(name)});
    EXPECT_EQ(saved.ExitCode, 0) << name << saved.Err;
    EXPECT_EQ(mode(Path(name)) & S_IFMT, type) << name;
  }
  std::string preset(65536, '\0');
  preset.resize(size_t(std::max<ssize_t>(0, ::read(reader, preset.data(), preset.size()))));
  ::close(reader);
  EXPECT_TRUE(preset.starts_with("; Saved ") && preset.ends_with("\r\nr404=Service desk\r\n"))
      << preset;
  const auto body = [](const std::string& Preset) {
    return Preset.substr(std::min(Preset.find('\n'), Preset.size()));
  };
  EXPECT_EQ(body(ReadFileBytes(Path("real/old.rgp"))), body(preset));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("real")), {}), 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("sub")), {}), 1);
}
