// The real tallybox-sim program over loopback TCP and a real pseudo-terminal. Every test has
// its own address (127.0.0.200 and up) and its own temporary folder.
#include "SimHarness.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

const std::string kEventStart("\0\t\x1b[31m", 7);
const std::string kModemStart("\0\t\x1b[31mM:\"", 10);

class SimProgram : public ::testing::Test {
 protected:
  void TearDown() override {
    if (FSim) EXPECT_EQ(FSim->Stop(), 0) << "the simulator did not stop cleanly";
    FSim.reset();
    if (!FFolder.empty()) std::filesystem::remove_all(FFolder);
  }

  // Starts the simulator on Address with quiet timers unless Args say otherwise.
  void Start(const std::string& Address, std::vector<std::string> Args = {}) {
    std::vector<std::string> all{"--address", Address,  "--password", kTestPassword, "--events",
                                 "0",         "--text", "0",          "--modem",     "0"};
    all.insert(all.end(), Args.begin(), Args.end());
    FSim = std::make_unique<TSimProcess>(all);
    ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: ready")) << "the simulator did not start";
  }

  std::unique_ptr<TSimTcpClient> Login(const std::string& Address) {
    auto client = std::make_unique<TSimTcpClient>(Address);
    EXPECT_TRUE(client->IsOpen());
    EXPECT_NE(client->ReadUntil("PASSWORD\r\n").find("PASSWORD\r\n"), std::string::npos);
    client->Send(kTestPassword + "\r\n");
    const auto banner = client->ReadUntil(SimPrompt());
    EXPECT_TRUE(banner.ends_with(SimPrompt())) << banner;
    return client;
  }

  const std::string& Folder() {
    if (FFolder.empty()) FFolder = MakeTempFolder();
    return FFolder;
  }

  std::string ReadFile(const std::string& Path) {
    std::ifstream file(Path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::unique_ptr<TSimProcess> FSim;
  std::string FFolder;
};

// Sends one command and returns what came up to and including the next prompt.
std::string Ask(TSimPeer& Peer, const std::string& Command) {
  Peer.Send(Command + "\r\n");
  return Peer.ReadUntil(SimPrompt());
}

const std::string kVersionReply = "i900=1.00\r\n";

std::size_t CountLines(const std::string& Text) {
  std::size_t lines = 0;
  for (std::size_t at = Text.find("\r\n"); at != std::string::npos; at = Text.find("\r\n", at + 2))
    ++lines;
  return lines;
}

}  // namespace

TEST_F(SimProgram, RightPasswordAfterAWrongOneGivesBannerAndPrompt) {
  Start("127.0.0.200");
  TSimTcpClient client("127.0.0.200");
  const auto request = client.ReadUntil("PASSWORD\r\n");
  EXPECT_TRUE(request.ends_with("\r\nPASSWORD\r\n")) << request;
  client.Send("nope\r\n");
  EXPECT_EQ(client.ReadUntil("PASSWORD\r\n"), "Access denied\r\nPASSWORD\r\n");
  client.Send(kTestPassword + "\r\n");
  const auto banner = client.ReadUntil(SimPrompt());
  ASSERT_TRUE(banner.ends_with(SimPrompt())) << banner;
  EXPECT_EQ(banner.find("\x1b[2J"), 0u);
  for (const char* colour : {"\x1b[41;33;1m", "\x1b[0;1m", "\x1b[36;1m", "\x1b[0m", "\x1b[0;31;41m",
                             "\x1b[34;1m", "\x1b[31m", "\b"})
    EXPECT_NE(banner.find(colour), std::string::npos) << "missing " << colour + 1;
  EXPECT_EQ(client.ReadFor(150ms), "");
}

TEST_F(SimProgram, WrongPasswordAsksAgainAndThirdDropsTheLine) {
  Start("127.0.0.201", {"--log", Folder() + "/log"});
  TSimTcpClient client("127.0.0.201");
  client.ReadUntil("PASSWORD\r\n");
  for (const char* guess : {"guess1\r\n", "guess2\r\n"}) {
    client.Send(guess);
    EXPECT_EQ(client.ReadUntil("PASSWORD\r\n"), "Access denied\r\nPASSWORD\r\n");
  }
  client.Send("guess3\r\n");
  const auto last = client.ReadFor(500ms);
  EXPECT_EQ(last.find("PASSWORD"), std::string::npos) << last;
  EXPECT_TRUE(client.Ended());
  EXPECT_EQ(ReadFile(Folder() + "/log"), "guess1\nguess2\nguess3\n");
}

TEST_F(SimProgram, EachCommandIsAnsweredAndThenThePromptExactly) {
  Start("127.0.0.203");
  auto client = Login("127.0.0.203");
  struct TCase {
    const char* Command;
    std::size_t MinLines;
    const char* Contains;
  };
  const TCase cases[] = {
      {"i900?", 1, "i900=1.00\r\n"},
      {"i?", 12, "i401=\"Input 2 tamper\" ;** alarm\r\n"},
      {"r?", 30, "r100=42 ;** changed\r\n"},
      {"diag", 8, "Tallybox diagnostics"},
      {"xyzzy", 1, "unknown command \"xyzzy\""},
      {"help", 5, "name=value"},
      {"bytes", 1, "\x1e\x1f !\"#"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Command);
    const auto reply = Ask(*client, c.Command);
    ASSERT_TRUE(reply.ends_with(SimPrompt())) << reply;
    const auto body = reply.substr(0, reply.size() - SimPrompt().size());
    EXPECT_GE(CountLines(body), c.MinLines);
    EXPECT_TRUE(body.ends_with("\r\n")) << body;
    EXPECT_NE(body.find(c.Contains), std::string::npos) << body;
    EXPECT_EQ(client->ReadFor(50ms), "") << "bytes after the prompt";
  }
  EXPECT_EQ(Ask(*client, "i900?"), kVersionReply + SimPrompt());
}

TEST_F(SimProgram, RegisterSetIsReadBackLoggedAndAnnouncedToEveryClient) {
  Start("127.0.0.204", {"--log", Folder() + "/log"});
  auto client = Login("127.0.0.204");
  auto other = Login("127.0.0.204");
  client->Send("r101=1234\r\nr400=Yard gate\r\n");
  EXPECT_EQ(client->ReadUntil(SimPrompt()), SimPrompt());
  EXPECT_EQ(client->ReadUntil(SimPrompt()), SimPrompt());
  const auto events = client->ReadFor(200ms);
  EXPECT_NE(events.find(kEventStart + "Register r101 (Counter preset) set to 1234\x1b[0m\r\n"),
            std::string::npos);
  EXPECT_EQ(other->ReadUntil("\x1b[0m\r\n"),
            kEventStart + "Register r101 (Counter preset) set to 1234\x1b[0m\r\n");
  const auto reply = Ask(*client, "r?");
  EXPECT_NE(reply.find("\r\nr101=1234 ;** changed\r\n"), std::string::npos) << reply;
  EXPECT_NE(reply.find("\r\nr400=\"Yard gate\" ;** changed\r\n"), std::string::npos);
  EXPECT_NE(Ask(*client, "r105=42").find("r105: out of range 0..9"), std::string::npos);
  EXPECT_EQ(ReadFile(Folder() + "/log"),
            kTestPassword + "\n" + kTestPassword + "\nr101=1234\nr400=Yard gate\nr?\nr105=42\n");
}

TEST_F(SimProgram, PageVersionAndPresetFileShapeTheRegisterSet) {
  {
    std::ofstream preset(Folder() + "/start.rgp", std::ios::binary);
    preset << "; Saved 2026-01-02 03:04:05\r\nr100=7\r\nr307=tcp\r\nr999=1\r\n";
  }
  Start("127.0.0.205", {"--page-version", "1.10", "--registers", Folder() + "/start.rgp"});
  auto client = Login("127.0.0.205");
  EXPECT_EQ(Ask(*client, "i900?"), "i900=1.10\r\n" + SimPrompt());
  const auto reply = Ask(*client, "r?");
  EXPECT_NE(reply.find("r100=7 ;** changed\r\n"), std::string::npos) << reply;
  EXPECT_NE(reply.find("r307=tcp ;** changed\r\n"), std::string::npos);
  EXPECT_EQ(CountLines(reply), 34u);
}

TEST_F(SimProgram, SplitWritesArriveInPiecesButWhole) {
  Start("127.0.0.206", {"--split", "3", "--split-gap", "15"});
  auto client = Login("127.0.0.206");
  const auto started = std::chrono::steady_clock::now();
  const auto reply = Ask(*client, "i900?");
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(reply, kVersionReply + SimPrompt());
  // 11 + 36 bytes in pieces of 3 leave with a 15 ms pause between each two.
  const auto pieces = (reply.size() + 2) / 3;
  EXPECT_GE(took, std::chrono::milliseconds(15 * (pieces - 1)));
  EXPECT_GT(client->ReadSizes().size(), 1u);
}

TEST_F(SimProgram, ReplyDelayHoldsTheAnswerBack) {
  Start("127.0.0.207", {"--delay", "300"});
  auto client = Login("127.0.0.207");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Ask(*client, "i900?"), kVersionReply + SimPrompt());
  EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);
}

TEST_F(SimProgram, DropAfterBytesEndsTheLineAtThatCount) {
  Start("127.0.0.208", {"--drop-after", "20"});
  TSimTcpClient client("127.0.0.208");
  EXPECT_TRUE(client.WaitForEnd());
  TSimTcpClient again("127.0.0.208");
  const auto received = again.ReadFor(300ms);
  EXPECT_EQ(received, std::string("\r\nTallybox TB-204871 remote access\r\n").substr(0, 20));
  EXPECT_TRUE(again.Ended());
}

TEST_F(SimProgram, DropOnCommandEndsTheLineInsteadOfAnswering) {
  Start("127.0.0.209", {"--drop-on", "diag", "--log", Folder() + "/log"});
  auto client = Login("127.0.0.209");
  EXPECT_EQ(Ask(*client, "i900?"), kVersionReply + SimPrompt());
  client->Send("diag\r\n");
  EXPECT_TRUE(client->WaitForEnd());
  EXPECT_EQ(client->ReadFor(10ms), "");
  EXPECT_NE(ReadFile(Folder() + "/log").find("i900?\ndiag\n"), std::string::npos);
}

TEST_F(SimProgram, NoPromptAnswersWithoutEverSendingThePrompt) {
  Start("127.0.0.210", {"--no-prompt"});
  TSimTcpClient client("127.0.0.210");
  client.ReadUntil("PASSWORD\r\n");
  client.Send(kTestPassword + "\r\ni900?\r\n");
  const auto received = client.ReadFor(400ms);
  EXPECT_EQ(received.find("\x1b[34;1m<Tallybox"), std::string::npos);
  EXPECT_TRUE(received.ends_with("Type help for the commands.\r\ni900=1.00\r\n")) << received;
}

TEST_F(SimProgram, FloodSendsThatManyBytesOfEventLines) {
  Start("127.0.0.211", {"--flood", "100000"});
  auto client = Login("127.0.0.211");
  client->Send("i900?\r\n");
  const auto flood = client->ReadUntil("i900=1.00\r\n" + SimPrompt(), 5000ms);
  ASSERT_TRUE(flood.ends_with(SimPrompt()));
  const auto events = flood.substr(0, flood.size() - 11 - SimPrompt().size());
  EXPECT_GE(events.size(), 100000u);
  std::size_t lines = 0;
  for (std::size_t at = 0; at < events.size(); ++lines) {
    ASSERT_EQ(events.compare(at, kEventStart.size(), kEventStart), 0) << "at " << at;
    const auto end = events.find("\x1b[0m\r\n", at);
    ASSERT_NE(end, std::string::npos);
    at = end + 6;
  }
  EXPECT_GT(lines, 1000u);
}

TEST_F(SimProgram, GarbageSendsSeededRandomBytesAfterLogin) {
  auto garbageOf = [&](const std::string& Address, const std::string& Seed) {
    Start(Address, {"--garbage", "400", "--seed", Seed});
    auto client = Login(Address);
    client->Send("i900?\r\n");
    const auto received = client->ReadUntil("i900=1.00\r\n" + SimPrompt());
    EXPECT_EQ(FSim->Stop(), 0);
    FSim.reset();
    return received.substr(0, received.size() - 11 - SimPrompt().size());
  };
  const auto first = garbageOf("127.0.0.212", "7");
  EXPECT_EQ(first.size(), 400u);
  EXPECT_EQ(garbageOf("127.0.0.212", "7"), first);
  EXPECT_NE(garbageOf("127.0.0.212", "8"), first);
}

TEST_F(SimProgram, SerialRouteNeedsNoPasswordAndByeEndsTheSession) {
  const auto link = Folder() + "/com3";
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--link", link, "--events", "0", "--text", "0", "--modem", "0"});
  const auto path = FSim->WaitForLine("tallybox-sim: serial debug terminal: ").value_or("");
  ASSERT_TRUE(path.starts_with("/dev/pts/")) << path;
  ASSERT_EQ(std::filesystem::read_symlink(link).string(), path);
  {
    TSimSerialClient port(link);
    ASSERT_TRUE(port.IsOpen());
    // The debug port echoes what it receives, the command line before its reply.
    EXPECT_EQ(Ask(port, "i900?"), "i900?\r\n" + kVersionReply + SimPrompt());
    port.Send("i9");
    EXPECT_EQ(port.ReadFor(200ms), "i9") << "typed keys show before the line ends";
    port.Send("x\b00?\r");
    EXPECT_EQ(port.ReadUntil(SimPrompt()), "x\b \b00?\r\n" + kVersionReply + SimPrompt());
    EXPECT_EQ(Ask(port, "M:ATI~"), "M:ATI~\r\n" + SimPrompt());
    EXPECT_EQ(port.ReadUntil("\r\n"), kModemStart + "ATI\\x0d\"\r\n");
    EXPECT_EQ(port.ReadUntil("\r\n"), kModemStart + "\\x0d\\x0aOK\\x0d\\x0a\"\r\n");
    port.Send("bye\r\n");
    EXPECT_EQ(port.ReadFor(300ms), "bye\r\n") << "bye is echoed, not answered";
    port.Send("i900?\r\n");
    EXPECT_EQ(port.ReadFor(300ms), "") << "answered or echoed after bye";
  }
  EXPECT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session ended"));
  TSimSerialClient again(link);
  ASSERT_TRUE(again.IsOpen());
  EXPECT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug session started"));
  EXPECT_EQ(Ask(again, "i900?"), "i900?\r\n" + kVersionReply + SimPrompt());
}

// A terminal server closes the terminal and opens it again for the next run within a moment:
// the hang-up between them may never show on the controlling end.
TEST_F(SimProgram, ClientThatOpensTheMomentAnotherClosedMeetsAFreshDevice) {
  const auto link = Folder() + "/com5";
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--link", link, "--events", "0", "--text", "0", "--modem", "0"});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug terminal: "));
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    TSimSerialClient port(link);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(Ask(port, "i900?"), "i900?\r\n" + kVersionReply + SimPrompt());
    port.Send("bye\r\n");
    EXPECT_EQ(port.ReadUntil("bye\r\n"), "bye\r\n");
  }
}

TEST_F(SimProgram, SerialDropHangsUpAndOffersAFreshTerminal) {
  const auto link = Folder() + "/com4";
  FSim = std::make_unique<TSimProcess>(std::vector<std::string>{"--serial", "--link", link,
                                                                "--events", "0", "--text", "0",
                                                                "--modem", "0", "--drop-on", "r?"});
  ASSERT_TRUE(FSim->WaitForLine("tallybox-sim: serial debug terminal: "));
  TSimSerialClient port(link);
  ASSERT_TRUE(port.IsOpen());
  port.Send("r?\r\n");
  EXPECT_TRUE(port.WaitForEnd());
  const auto second = FSim->WaitForLine("tallybox-sim: serial debug terminal: ").value_or("");
  EXPECT_TRUE(second.starts_with("/dev/pts/")) << second;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), second);
  EXPECT_TRUE(port.Ended());
  TSimSerialClient fresh(link);
  ASSERT_TRUE(fresh.IsOpen());
  EXPECT_EQ(Ask(fresh, "i900?"), "i900?\r\n" + kVersionReply + SimPrompt());
}

TEST_F(SimProgram, PeerThatNeverReadsCannotMakeItHoardReplies) {
  // Under AddressSanitizer freed blocks wait in a large quarantine and would count as
  // growth; a small one keeps the measure about what the device holds on to.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string saved = asan ? asan : "";
  setenv("ASAN_OPTIONS", (saved + ":quarantine_size_mb=1").c_str(), 1);
  Start("127.0.0.216");
  setenv("ASAN_OPTIONS", saved.c_str(), 1);
  auto client = Login("127.0.0.216");
  const long before = FSim->ResidentKiB();
  ASSERT_GT(before, 0);
  // Each "r?" asks for some 700 bytes; held all, they would come to about 90 MB.
  std::string commands;
  for (int i = 0; i < 131072; ++i) commands += "r?\r\n";
  const auto sent = client->SendWhileTaken(commands, 2000ms);
  std::this_thread::sleep_for(300ms);
  const long grown = FSim->ResidentKiB() - before;
  EXPECT_LT(grown, 24 * 1024) << sent << " bytes of commands taken";
  // Once the peer reads, the device answers what it took, each reply ending at the prompt.
  const auto reply = client->ReadUntil(SimPrompt());
  EXPECT_TRUE(reply.starts_with("r100=42 ;** changed\r\n")) << reply.substr(0, 200);
  EXPECT_TRUE(reply.ends_with(SimPrompt()));
}

TEST_F(SimProgram, PeerThatStopsReadingLeavesItIdleOnEitherRoute) {
  // The peer asks for far more than the link holds and then reads nothing: the replies wait
  // for the link to take them, and the device must not spin on writes that cannot go.
  struct TRoute {
    const char* Name;
    bool Serial;
    const char* ReplyStart;
  };
  for (const auto& route : {TRoute{"tcp", false, "r100=42 ;** changed\r\n"},
                            TRoute{"serial", true, "r?\r\nr100=42 ;** changed\r\n"}}) {
    SCOPED_TRACE(route.Name);
    const std::string link = Folder() + "/com5";
    std::unique_ptr<TSimPeer> peer;
    if (route.Serial) {
      Start("127.0.0.218", {"--serial", "--link", link});
      peer = std::make_unique<TSimSerialClient>(link);
    } else {
      Start("127.0.0.218");
      peer = Login("127.0.0.218");
    }
    ASSERT_TRUE(peer->IsOpen());
    // More than the loopback's socket buffers hold, so the sending stops for want of room.
    std::string commands;
    for (int i = 0; i < 4 * 1024 * 1024; ++i) commands += "r?\r\n";
    const auto sent = peer->SendWhileTaken(commands, 2000ms);
    ASSERT_LT(sent, commands.size()) << "the link never filled up";
    // What it already took in is answered first (slowly under the sanitizers); then it waits.
    std::this_thread::sleep_for(1000ms);
    const auto before = FSim->CpuTime();
    std::this_thread::sleep_for(2000ms);
    // A spin takes a whole core; a quarter of one leaves room for sanitizers and a busy machine.
    EXPECT_LT(FSim->CpuTime() - before, 500ms) << "busy while the peer does not read";
    const auto reply = peer->ReadUntil(SimPrompt());
    EXPECT_TRUE(reply.starts_with(route.ReplyStart)) << reply.substr(0, 200);
    EXPECT_TRUE(reply.ends_with(SimPrompt()));
    peer.reset();
    EXPECT_EQ(FSim->Stop(), 0);
    FSim.reset();
  }
}

TEST_F(SimProgram, RunningOutOfDescriptorsDoesNotMakeItSpin) {
  // Started with room for only a few links; the connections beyond them wait in the
  // listener's queue, which stays readable while nothing can be accepted.
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit few = saved;
  few.rlim_cur = 24;
  setrlimit(RLIMIT_NOFILE, &few);
  Start("127.0.0.217");
  setrlimit(RLIMIT_NOFILE, &saved);
  std::vector<std::unique_ptr<TSimTcpClient>> clients;
  for (int i = 0; i < 30; ++i) clients.push_back(std::make_unique<TSimTcpClient>("127.0.0.217"));
  EXPECT_NE(clients.front()->ReadUntil("PASSWORD\r\n").find("PASSWORD"), std::string::npos);
  std::this_thread::sleep_for(200ms);
  const auto before = FSim->CpuTime();
  std::this_thread::sleep_for(800ms);
  // A spinning loop burns the whole 800 ms; half of it leaves room for slow sanitizer builds.
  EXPECT_LT(FSim->CpuTime() - before, 400ms) << "busy while the descriptors are used up";
  // A link that closes makes room for a waiting one.
  clients.front().reset();
  bool greeted = false;
  for (std::size_t i = 1; i < clients.size() && !greeted; ++i)
    greeted = clients[i]->ReadUntil("PASSWORD\r\n", 100ms).find("PASSWORD") != std::string::npos;
  EXPECT_TRUE(greeted);
}

TEST_F(SimProgram, RefusesToListenOutsideLoopback) {
  TSimProcess sim({"--address", "192.0.2.1"});
  EXPECT_EQ(sim.WaitForExit(), 2);
}

TEST_F(SimProgram, StopsCleanlyOnSigintToo) {
  Start("127.0.0.215");
  auto client = Login("127.0.0.215");
  FSim->Interrupt();
  EXPECT_EQ(FSim->WaitForExit(), 0);
  EXPECT_TRUE(client->WaitForEnd());
  FSim.reset();
}
