#include "sim/uSimSession.h"

#include "sim/uSimDevice.h"

#include <gtest/gtest.h>

namespace {

const std::string kPrompt = "\x1b[34;1m<Tallybox TB-204871>\x1b[0m";
const std::string kEventStart("\0\t\x1b[31m", 7);
const std::string kModemStart("\0\t\x1b[31mM:\"", 10);
const std::string kGreeting = "\r\nTallybox TB-204871 remote access\r\nPASSWORD\r\n";
const std::string kDenied = "Access denied\r\nPASSWORD\r\n";
const std::string kLong(5000, 'r');

TSimSessionConfig Quiet(TSimRoute Route = TSimRoute::Tcp) {
  TSimSessionConfig config;
  config.Route = Route;
  config.Password = "pw";
  config.EventIntervalMs = config.TextIntervalMs = config.ModemIntervalMs = 0;
  return config;
}

class SimSession : public ::testing::Test {
 protected:
  void Make(const TSimSessionConfig& Config) {
    FLines.clear();
    FSession = std::make_unique<TSimSession>(FDevice, Config,
                                             [this](const std::string& l) { FLines.push_back(l); });
    FSession->Start(0);
  }
  std::string Sent(uint64_t Now = 0) {
    std::string all;
    auto& output = FSession->Output();
    for (auto piece = output.Peek(Now); !piece.empty(); piece = output.Peek(Now)) {
      all.append(piece);
      output.Consume(piece.size(), Now);
    }
    return all;
  }

  TSimDevice FDevice{"1.00", 0};
  std::unique_ptr<TSimSession> FSession;
  std::vector<std::string> FLines;
};

}  // namespace

TEST_F(SimSession, ScriptsGiveExactlyTheseBytes) {
  struct TStep {
    std::string In, Out;
    uint64_t At = 0;
    bool Event = false;  // In is queued as an event rather than received
    bool Tick = false;   // the session's timers run at At instead
  };
  struct TScript {
    const char* Name;
    TSimSessionConfig Config;
    std::vector<TStep> Steps;
    std::vector<std::string> Logged;
    bool Drops = false;
  };
  auto with = [](TSimRoute Route, auto Change) {
    auto config = Quiet(Route);
    Change(config);
    return config;
  };
  const auto banner = FDevice.Banner();
  const auto registers = FDevice.Registers().Reply();
  const std::string version = "i900=1.00\r\n" + kPrompt;
  const TScript scripts[] = {
      {"tcp login, no command before it, bye drops",
       Quiet(),
       {{"", kGreeting},
        {"i900?\r\n", kDenied},
        {"pw\r\n", banner + kPrompt},
        {"bye\r\n", "Goodbye\r\n" + kPrompt}},
       {"i900?", "pw", "bye"},
       true},
      {"serial is ready at once; bye is echoed, not answered, and nothing after it",
       Quiet(TSimRoute::Serial),
       {{"", ""},
        {"bye\r\n", "bye\r\n"},
        {"i900?\r\n", ""},
        {"x", "", 0, true},
        {kLong + "\r\n", ""}},
       {"bye", "i900?"}},
      {"serial without echo, bye answered",
       with(TSimRoute::Serial,
            [](TSimSessionConfig& c) {
              c.Echo = false;
              c.ByePrompt = true;
            }),
       {{"i900?\r\n", "i900=1.00\r\n" + kPrompt}, {"bye\r\n", "Debug mode off\r\n" + kPrompt}},
       {"i900?", "bye"}},
      // The utility waits for the prompt after every command, a refused one included.
      {"overlong line is refused, not stored, echoed as far as it fits, and ends at the prompt",
       Quiet(TSimRoute::Serial),
       {{kLong + "\r\n",
         kLong.substr(0, TSimSession::kMaxLine) + "\r\nLine too long\r\n" + kPrompt},
        {"i900?\r\n", "i900?\r\ni900=1.00\r\n" + kPrompt}},
       {"i900?"}},
      // 1000 may stand for 1000.9 ms: the reply waits for 1501 to be 500 ms late for certain.
      {"reply delay holds the reply back, not the echo",
       with(TSimRoute::Serial, [](auto& c) { c.ReplyDelayMs = 500; }),
       {{"i900?\r\n", "i900?\r\n", 1000}, {"", "", 1500}, {"", "i900=1.00\r\n" + kPrompt, 1501}},
       {"i900?"}},
      {"no prompt anywhere",
       with(TSimRoute::Tcp, [](auto& c) { c.NoPrompt = true; }),
       {{"", kGreeting}, {"pw\r\ni900?\r\n", banner + "i900=1.00\r\n"}},
       {"pw", "i900?"}},
      {"drop on a command, in any case, without an answer",
       with(TSimRoute::Serial, [](auto& c) { c.DropOnCommand = "R?"; }),
       {{"i900?\r\nr?\r\ni?\r\n", "i900?\r\ni900=1.00\r\n" + kPrompt + "r?\r\n"}},
       {"i900?", "r?"},
       true},
      {"event and modem-trace lines end in LF alone, replies still in CR LF",
       with(TSimRoute::Serial, [](auto& c) { c.EventLineEnd = "\n"; }),
       {{"power", kEventStart + "power\x1b[0m\n", 0, true},
        {"M:AT~\r\n", "M:AT~\r\n" + kPrompt + kModemStart + "AT\\x0d\"\n" + kModemStart +
                          "\\x0d\\x0aOK\\x0d\\x0a\"\n"}},
       {"M:AT~"}},
      {"event lines end in CR alone over TCP",
       with(TSimRoute::Tcp, [](auto& c) { c.EventLineEnd = "\r"; }),
       {{"", kGreeting},
        {"pw\r\n", banner + kPrompt},
        {"power", kEventStart + "power\x1b[0m\r", 0, true}},
       {"pw"}},
      {"serial restart: the echo, then banner and prompt as at power-on; only the first time",
       with(TSimRoute::Serial, [](auto& c) { c.RestartOnCommand = "R?"; }),
       {{"r?\r\n", "r?\r\n" + banner + kPrompt},
        {"i900?\r\n", "i900?\r\n" + version},
        {"r?\r\n", "r?\r\n" + registers + kPrompt}},
       {"r?", "i900?", "r?"}},
      {"tcp restart: greeting and password request again, then a new login",
       with(TSimRoute::Tcp, [](auto& c) { c.RestartOnCommand = "r?"; }),
       {{"", kGreeting},
        {"pw\r\n", banner + kPrompt},
        {"r?\r\n", kGreeting},
        {"i900?\r\n", kDenied},
        {"pw\r\n", banner + kPrompt},
        {"r?\r\n", registers + kPrompt}},
       {"pw", "r?", "i900?", "pw", "r?"}},
      {"echo burst: every line echoed at once, answered in order once quiet for 20 ms",
       with(TSimRoute::Serial, [](auto& c) { c.EchoBurst = true; }),
       {{"i900?\r\nr?\r", "i900?\r\nr?\r\n", 100},
        {"\ni900?\r\n", "i900?\r\n", 110},
        {"", "", 129, false, true},
        {"", version + registers + kPrompt + version, 130, false, true}},
       {"i900?", "r?", "i900?"}},
      {"drop after the password counts from its acceptance",
       with(TSimRoute::Tcp, [](auto& c) { c.DropAfterPasswordBytes = 10; }),
       {{"", kGreeting}, {"pw\r\n", banner.substr(0, 10)}, {"i900?\r\n", ""}},
       {"pw", "i900?"},
       true},
  };
  for (const auto& script : scripts) {
    SCOPED_TRACE(script.Name);
    Make(script.Config);
    for (const auto& step : script.Steps) {
      if (step.Tick)
        FSession->Tick(step.At);
      else if (step.Event)
        FSession->QueueEvent(step.In, step.At);
      else if (!step.In.empty())
        FSession->Receive(step.In, step.At);
      EXPECT_EQ(Sent(step.At), step.Out) << "after " << step.In.substr(0, 20);
    }
    EXPECT_EQ(FLines, script.Logged);
    EXPECT_EQ(FSession->MustDrop(), script.Drops);
  }
}

TEST_F(SimSession, LinesAreAssembledFromAnyLineEndAndPiecesAndEchoedOnTheDebugPort) {
  Make(Quiet(TSimRoute::Serial));
  struct TCase {
    std::vector<std::string> Pieces;
    std::string Echo;  // what the debug port sends back before the reply
  };
  const TCase cases[] = {
      {{"i900?\r\n"}, "i900?\r\n"},
      {{"i9", "00", "?\r", "\n"}, "i900?\r\n"},
      {{"i900?\n"}, "i900?\r\n"},
      {{"i900?\r"}, "i900?\r\n"},
      {{"ix\b900?\r"}, "ix\b \b900?\r\n"},
      {{std::string("i9\0"
                    "00?\r\n",
                    8)},
       "i900?\r\n"},
      {{"\b\b", "r?\x7f\x7fi900?\r\n"}, "r?\b \b\b \bi900?\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Pieces[0]);
    FLines.clear();
    std::string sent;
    for (const auto& piece : c.Pieces) {
      FSession->Receive(piece, 0);
      sent += Sent();
    }
    EXPECT_EQ(FLines.size(), 1u);
    EXPECT_EQ(sent, c.Echo + "i900=1.00\r\n" + kPrompt);
  }
  // The same bytes over TCP come back only as the reply.
  Make(Quiet());
  FSession->Receive("pw\r\n", 0);
  Sent();
  FSession->Receive("ix\b900?\r", 0);
  EXPECT_EQ(Sent(), "i900=1.00\r\n" + kPrompt);
}

TEST_F(SimSession, WrongPasswordsOverlongOnesIncludedDropOnceTheRefusalHasLeft) {
  // An overlong password counts as a wrong one and is asked again: without a fresh request
  // the utility would wait at its login for good.
  Make(Quiet());
  Sent();
  FSession->Receive("a\r\n" + std::string(5000, 'p') + "\r\n", 0);
  EXPECT_EQ(Sent(), kDenied + kDenied);
  FSession->Receive("pw-not\r\n", 0);
  EXPECT_FALSE(FSession->MustDrop()) << "the refusal is still to be sent";
  EXPECT_EQ(Sent(), "Access denied\r\nToo many attempts, goodbye\r\n");
  EXPECT_TRUE(FSession->MustDrop());
  FSession->Receive("pw\r\n", 0);
  EXPECT_EQ(Sent(), "") << "nothing is answered any more";
  EXPECT_EQ(FLines, (std::vector<std::string>{"a", "pw-not", "pw"}));
}

TEST_F(SimSession, StopsTakingInputWhileItsRepliesPileUpUnread) {
  // A peer that sends commands but never reads must not make the device hoard replies.
  Make(Quiet(TSimRoute::Serial));
  std::size_t commands = 0;
  for (; FSession->WantsInput() && commands < 100000; ++commands) FSession->Receive("r?\r\n", 0);
  EXPECT_FALSE(FSession->WantsInput()) << "still reading after " << commands << " commands";
  EXPECT_LE(FSession->Output().Pending(), TSimSession::kBacklogLimit + 4096);
  Sent();
  EXPECT_TRUE(FSession->WantsInput()) << "reads again once the replies have left";
}

TEST_F(SimSession, TimersQueueEventsTextAndModemTraceOnlyWhenDue) {
  auto config = Quiet(TSimRoute::Serial);
  config.EventIntervalMs = 100;
  config.TextIntervalMs = 250;
  config.ModemIntervalMs = 300;
  Make(config);
  EXPECT_EQ(FSession->NextWakeMs(0), 100u);
  FSession->Tick(99);
  EXPECT_EQ(Sent(99), "");
  FSession->Tick(100);
  EXPECT_TRUE(Sent(100).starts_with(kEventStart));
  FSession->Tick(300);
  const auto later = Sent(300);
  EXPECT_NE(later.find("\x1b[36;1mstatus"), std::string::npos);
  EXPECT_NE(later.find(kEventStart + "M:\"AT\\x0d\"\r\n"), std::string::npos);
  // No modem trace on TCP.
  config = Quiet();
  config.ModemIntervalMs = 10;
  Make(config);
  Sent();
  FSession->Receive("pw\r\n", 0);
  Sent();
  FSession->Tick(1000);
  EXPECT_EQ(Sent(1000), "");
}

TEST_F(SimSession, OutputDueAlreadyWaitsForTheLinkNotForATime) {
  // The loop sleeps until NextWakeMs; output that is due has the link's readiness wake it.
  auto config = Quiet(TSimRoute::Serial);
  config.ReplyDelayMs = 500;
  config.EventIntervalMs = 5000;
  Make(config);
  FSession->Receive("i900?\r\n", 1000);
  EXPECT_EQ(FSession->NextWakeMs(1000), 5000u) << "the echo is due at once";
  EXPECT_EQ(Sent(1000), "i900?\r\n");
  EXPECT_EQ(FSession->NextWakeMs(1000), 1501u) << "a delayed reply is a time to wake";
  EXPECT_EQ(FSession->NextWakeMs(1501), 5000u) << "a due reply is not";
  EXPECT_EQ(FSession->NextWakeMs(4000), 5000u);
  Sent(1501);
  EXPECT_EQ(FSession->NextWakeMs(1501), 5000u);
}

TEST_F(SimSession, FloodAndGarbageFollowTheLogin) {
  auto config = Quiet();
  config.FloodBytes = 1000;
  config.GarbageBytes = 64;
  config.Seed = 3;
  Make(config);
  Sent();
  FSession->Receive("pw\r\n", 0);
  const auto all = Sent();
  const auto after = all.substr(all.find(kPrompt) + kPrompt.size());
  ASSERT_GE(after.size(), 1064u);
  EXPECT_TRUE(after.starts_with(kEventStart + "Flood event 1\x1b[0m\r\n"));
  EXPECT_TRUE(after.substr(0, after.size() - 64).ends_with("\x1b[0m\r\n"));
}
