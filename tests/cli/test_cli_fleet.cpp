// tallybox-cli fleet against many real simulators, each on its own loopback address: registers
// of twenty devices with one switched off, program from one preset with a wrong password and a
// refused value, a bad list line, Ctrl+C mid-run, and the files the fleet names against links
// planted by another user. Each test has a block of addresses of its own (127.0.<block>.n), so
// tests run side by side; a device that does not start fails its test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "CliRunner.h"
#include "rtl/FileBytes.h"
#include "sim/SimHarness.h"
#include "support/TempConfig.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t Nobody = 65534;  // another user, for folders handed away
const std::string Cli = TALLYBOX_CLI_PATH;
const std::string WithPassword = "TALLYBOX_PASSWORD=" + kTestPassword;
constexpr int Devices = 20;

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> lines;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CliFleet : public ::testing::Test {
 protected:
  // This test's addresses: 127.0.Block.n.
  void UseAddresses(int Block) { FBlock = Block; }
  std::string Address(int N) const {
    return "127.0." + std::to_string(FBlock) + "." + std::to_string(N);
  }
  // Devices 1 to Count at this test's addresses, with no options of their own.
  void StartDevices(int Count) {
    for (int n = 1; n <= Count; ++n) ASSERT_NO_FATAL_FAILURE(Start(n));
  }
  void Start(int N, std::vector<std::string> Extra = {}) {
    std::vector<std::string> args{"--address", Address(N), "--password", kTestPassword, "--events",
                                  "0",         "--text",   "0",          "--modem",     "0"};
    args.insert(args.end(), Extra.begin(), Extra.end());
    FSims.push_back(std::make_unique<TSimProcess>(args));
    ASSERT_TRUE(FSims.back()->WaitForLine("tallybox-sim: ready")) << Address(N) << " did not start";
  }
  std::string Path(const std::string& Name) const { return FFolder.Path(Name); }
  std::string List(const std::string& Name, const std::string& Text) const {
    WriteFileBytes(Path(Name), Text);
    return Path(Name);
  }
  TCliResult Run(std::vector<std::string> Args) {
    Args.insert(Args.begin(), Cli);
    return RunCli(Args, {WithPassword});
  }

  int FBlock = 0;
  std::vector<std::unique_ptr<TSimProcess>> FSims;
  TTempFolder FFolder{"tbx-fleet"};
};

}  // namespace

TEST_F(CliFleet, RegistersOfTwentyDevicesWithOneSwitchedOff) {
  UseAddresses(60);
  ASSERT_NO_FATAL_FAILURE(StartDevices(Devices));
  std::string text = "# the depot's devices\n";
  for (int n = 1; n <= Devices; ++n) {
    text += "host " + Address(n) + "\n";
    if (n == 10) text += "host " + Address(250) + "   # switched off\n";
  }
  const std::string list = List("fleet.txt", text);
  const std::string folder = Path("presets");

  const TCliResult saved = Run({"--jobs", "8", "fleet", list, "registers", folder});
  EXPECT_EQ(saved.ExitCode, 1) << saved.Err;
  std::vector<std::string> headers;
  for (const std::string& line : Lines(saved.Out)) headers.push_back(line);
  ASSERT_EQ(headers.size(), size_t(Devices + 1)) << saved.Out;
  for (int n = 1; n <= Devices; ++n) {
    const std::string file = folder + "/" + Address(n) + ".rgp";
    const std::string header = "== host " + Address(n) + ": done, saved " + file;
    EXPECT_NE(std::find(headers.begin(), headers.end(), header), headers.end()) << header;
    EXPECT_NE(ReadFileBytes(file).find("\r\nr100=42\r\n"), std::string::npos) << file;
  }
  EXPECT_NE(saved.Out.find("== host " + Address(250) + ": failed: Could not connect to " +
                           Address(250) + "\n"),
            std::string::npos)
      << saved.Out;
  EXPECT_TRUE(saved.Err.ends_with(
      "tallybox-cli: fleet: 21 devices: 20 done, 1 failed, 0 wrong password, 0 differing\n"))
      << saved.Err;

  // The same as JSON lines another tool reads as they come.
  const TCliResult json = Run({"--jobs", "8", "--json", "fleet", list, "registers"});
  EXPECT_EQ(json.ExitCode, 1);
  WriteFileBytes(Path("out.jsonl"), json.Out);
  const TCliResult read =
      RunCli({"/usr/bin/python3", "-c",
              "import json,sys\n"
              "rows=[json.loads(l) for l in open(sys.argv[1])]\n"
              "ok=[r for r in rows if r['exit']==0 and r['result']['values']['r100']=='42']\n"
              "bad=[r['device']+' '+r['error'] for r in rows if r['exit']!=0]\n"
              "print(len(rows), len(ok), bad)",
              Path("out.jsonl")});
  EXPECT_EQ(read.Out,
            "21 20 ['host " + Address(250) + " Could not connect to " + Address(250) + "']\n")
      << read.Err;

  // Output that cannot be written fails the run, and no device is started after that.
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  const TCliResult lost =
      TCliChild({Cli, "--jobs", "1", "fleet", list, "version"}, {WithPassword}, -1, full).Finish();
  ::close(full);
  EXPECT_EQ(lost.ExitCode, 1);
  EXPECT_NE(lost.Err.find("tallybox-cli: cannot write the output: No space left on device\n"
                          "tallybox-cli: fleet: 21 devices: 1 done, 0 failed, 0 wrong password, "
                          "0 differing, 20 not started\n"),
            std::string::npos)
      << lost.Err;
}

TEST_F(CliFleet, ProgramFromOnePresetWrongPasswordRefusedValueBadListAndCtrlC) {
  // .21 and .22 take the preset; .23 lacks r1000 and refuses it; .24 gets a wrong password;
  // .25 never finishes its login.
  UseAddresses(62);
  for (int n = 21; n <= 24; ++n)
    ASSERT_NO_FATAL_FAILURE(
        Start(n, n == 23 ? std::vector<std::string>{"--log", Path("23.log")}
                         : std::vector<std::string>{"--extra-registers", "1", "--log",
                                                    Path(std::to_string(n) + ".log")}));
  ASSERT_NO_FATAL_FAILURE(Start(25, {"--no-prompt", "--log", Path("25.log")}));
  const std::string preset = Path("depot.rgp");
  ASSERT_EQ(Run({"--host", Address(21), "registers", preset}).ExitCode, 0);
  const std::string saved = ReadFileBytes(preset);
  WriteFileBytes(preset,
                 std::regex_replace(saved, std::regex("\r\nr101=0\r\n"), "\r\nr101=4242\r\n"));
  WriteFileBytes(Path("wrong.pw"), "not-" + kTestPassword + "\n");
  const std::string four = "host " + Address(21) + "\nhost " + Address(22) + "\nhost " +
                           Address(23) + "\nhost " + Address(24) + " password-file=wrong.pw\n";

  const TCliResult worst = Run({"--json", "fleet", List("four.txt", four), "program", preset});
  EXPECT_EQ(worst.ExitCode, 4) << worst.Out << worst.Err;  // a wrong password before a difference
  WriteFileBytes(Path("four.jsonl"), worst.Out);
  const TCliResult read =
      RunCli({"/usr/bin/python3", "-c",
              "import json,sys\n"
              "rows=sorted((json.loads(l) for l in open(sys.argv[1])), key=lambda r: r['device'])\n"
              "print([(r['exit'], 'error' in r, r.get('result', {}).get('values')) for r in rows])",
              Path("four.jsonl")});
  EXPECT_EQ(read.Out,
            "[(0, False, {}), (0, False, {}), (3, False, {'r1000': None}), (4, True, None)]\n")
      << read.Err << worst.Out;
  EXPECT_TRUE(worst.Err.ends_with("4 devices: 2 done, 0 failed, 1 wrong password, 1 differing\n"))
      << worst.Err;
  for (int n : {21, 22})
    EXPECT_NE(ReadFileBytes(Path(std::to_string(n) + ".log")).find("\nr101=4242\n"),
              std::string::npos);

  const std::string three = four.substr(0, four.rfind("host "));
  const TCliResult differs = Run({"fleet", List("three.txt", three), "program", preset});
  EXPECT_EQ(differs.ExitCode, 3) << differs.Err;
  EXPECT_NE(differs.Out.find("== host " + Address(23) +
                             ": registers differ\nr1000: programmed 0, read back (not reported)\n"),
            std::string::npos)
      << differs.Out;

  // A bad line is found before any device hears from the run.
  const std::string before = ReadFileBytes(Path("21.log"));
  const TCliResult bad = Run({"fleet", List("bad.txt", three + "com 300\n"), "version"});
  EXPECT_EQ(bad.ExitCode, 2);
  EXPECT_EQ(bad.Err, "tallybox-cli: " + Path("bad.txt") +
                         ", line 4: com needs a port number from 1 to 255\n");
  EXPECT_EQ(ReadFileBytes(Path("21.log")), before);

  // Ctrl+C while .25 waits for its prompt: it is ended, nothing further starts.
  TCliChild child({Cli, "--jobs", "1", "fleet",
                   List("stuck.txt", "host " + Address(25) + "\n" + three), "version"},
                  {WithPassword});
  for (int i = 0; i < 250 && ReadFileBytes(Path("25.log")).empty(); ++i)
    std::this_thread::sleep_for(20ms);
  child.Signal(SIGINT);
  const TCliResult stopped = child.Finish(10000ms);
  EXPECT_EQ(stopped.ExitCode, 130);
  EXPECT_EQ(stopped.Out, "== host " + Address(25) + ": interrupted\n");
  EXPECT_NE(stopped.Err.find("1 interrupted, 3 not started\n"), std::string::npos) << stopped.Err;
  EXPECT_TRUE(stopped.Err.ends_with("tallybox-cli: interrupted\n")) << stopped.Err;
  for (auto& sim : FSims) EXPECT_EQ(sim->Stop(), 0);
}

// --log DIR keeps one log per device, named as registers DIR names presets, each of whole
// stamped lines however many sessions ran at once; --log naming a file is a usage error.
TEST_F(CliFleet, LogsOnePerDeviceOfWholeLines) {
  UseAddresses(63);
  ASSERT_NO_FATAL_FAILURE(StartDevices(Devices));
  std::string text;
  for (int n = 1; n <= Devices; ++n) text += "host " + Address(n) + "\n";
  const std::string list = List("logged.txt", text);
  const std::string logs = Path("logs");
  const TCliResult r = Run({"--jobs", "8", "--log", logs, "fleet", list, "diag"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  const std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [<>] .*)");
  for (int n = 1; n <= Devices; ++n) {
    const std::vector<std::string> lines = Lines(ReadFileBytes(logs + "/" + Address(n) + ".log"));
    for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, whole)) << line;
    for (const std::string& part : {"> r?", "> i?", "> diag"})
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                              [&](const std::string& L) { return L.ends_with(part); }),
                1)
          << Address(n) << " " << part;
  }

  const TCliResult usage = Run({"--log", list, "fleet", list, "version"});
  EXPECT_EQ(usage.ExitCode, 2);
  EXPECT_EQ(usage.Err, "tallybox-cli: with fleet, --log names a folder for one log per device; " +
                           list + " is not one\n");
}

// Files the fleet names are its own. Run as root: another user's folder is refused outright;
// in a sticky folder every user may write in, a link planted at a preset's name is replaced
// and one at a log's name refused, and what the links point to stays as it was.
TEST_F(CliFleet, PlantedLinksLeaveTheirTargetsAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand folders to another user";
  UseAddresses(64);
  ASSERT_NO_FATAL_FAILURE(StartDevices(3));
  const std::string list = List(
      "three.txt", "host " + Address(1) + "\nhost " + Address(2) + "\nhost " + Address(3) + "\n");
  const std::string victim = Path("victim"), made = Path("made");
  WriteFileBytes(victim, "keep me\n");
  const auto plant = [&](const std::string& Folder, int Device, const char* Extension,
                         const std::string& To) {
    const std::string at = Folder + "/" + Address(Device) + Extension;
    fs::create_symlink(To, at);
    EXPECT_EQ(::lchown(at.c_str(), Nobody, Nobody), 0);
  };
  const std::string theirs = Path("theirs");
  fs::create_directory(theirs);
  plant(theirs, 1, ".rgp", victim);
  plant(theirs, 1, ".log", victim);
  ASSERT_EQ(::chown(theirs.c_str(), Nobody, Nobody), 0);
  const std::string why = ": the folder belongs to another user and this program runs as root.\n";
  const TCliResult saved = Run({"--log", theirs, "fleet", list, "registers", theirs});
  EXPECT_EQ(saved.ExitCode, 1);
  EXPECT_EQ(saved.Err, "tallybox-cli: The registers were not saved in " + theirs + why);
  const TCliResult logged = Run({"--log", theirs, "fleet", list, "version"});
  EXPECT_EQ(logged.ExitCode, 1);
  EXPECT_EQ(logged.Err, "tallybox-cli: The session is not logged in " + theirs + why);

  const std::string shared = Path("shared");
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  plant(shared, 1, ".rgp", victim);
  plant(shared, 2, ".log", made);  // a link to nowhere: following it would make a file there
  plant(shared, 3, ".log", victim);
  const TCliResult r = Run({"--log", shared, "fleet", list, "registers", shared});
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_NE(r.Out.find("== host " + Address(1) + ": done"), std::string::npos) << r.Out;
  EXPECT_FALSE(fs::is_symlink(shared + "/" + Address(1) + ".rgp"));
  EXPECT_NE(ReadFileBytes(shared + "/" + Address(1) + ".rgp").find("\r\nr100=42\r\n"),
            std::string::npos);
  for (int n : {2, 3})
    EXPECT_NE(r.Out.find("== host " + Address(n) + ": failed: The session log " + shared + "/" +
                         Address(n) +
                         ".log is left alone: only a plain file of this user is "
                         "appended to\n"),
              std::string::npos)
        << r.Out;
  EXPECT_EQ(ReadFileBytes(victim), "keep me\n");
  EXPECT_FALSE(fs::exists(made));
}

// The log folder is judged where it really is: reached through a link of root's own, or by a
// relative path from a working folder there, a folder in another user's tree is refused.
TEST_F(CliFleet, LogFolderInAnotherUsersTreeIsRefusedThroughALinkAndRelatively) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand folders to another user";
  UseAddresses(65);  // refused before any device is reached: none is started
  const std::string list = List("one.txt", "host " + Address(1) + "\n");
  const std::string tree = Path("tree"), logs = tree + "/logs", link = Path("logs-link");
  fs::create_directories(logs);
  ASSERT_EQ(::chown(tree.c_str(), Nobody, Nobody), 0);  // "logs" stays root's own
  fs::create_symlink(logs, link);
  const std::string why = ": the folder belongs to another user and this program runs as root.\n";
  const TCliResult linked = Run({"--log", link, "fleet", list, "version"});
  EXPECT_EQ(linked.ExitCode, 1);
  EXPECT_EQ(linked.Err, "tallybox-cli: The session is not logged in " + link + why);
  const TCliResult relative = RunCli({"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", tree, Cli,
                                      "--log", "logs", "fleet", list, "version"},
                                     {WithPassword});
  EXPECT_EQ(relative.ExitCode, 1);
  EXPECT_EQ(relative.Err, "tallybox-cli: The session is not logged in logs" + why);
  EXPECT_TRUE(fs::is_empty(logs));
}
