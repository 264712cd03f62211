#include "sim/uSimSession.h"

#include "sim/uSimDevice.h"
#include "sim/uSimText.h"

#include <gtest/gtest.h>

namespace {

const std::string kPrompt = "\x1b[34;1m<Tallybox TB-204871>\x1b[0m";
const std::string kEventStart("\0\t\x1b[31m", 7);

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
  void LogIn() {
    Sent();
    FSession->Receive("pw\r\n", 0);
    ASSERT_TRUE(Sent().ends_with(kPrompt));
  }

  TSimDevice FDevice{"1.00", 0};
  std::unique_ptr<TSimSession> FSession;
  std::vector<std::string> FLines;
};

}  // namespace

TEST_F(SimSession, TcpAsksForThePasswordFirst) {
  Make(Quiet());
  EXPECT_EQ(Sent(), "\r\nTallybox TB-204871 remote access\r\nPASSWORD\r\n");
  FSession->Receive("i900?\r\n", 0);
  EXPECT_EQ(Sent(), "Access denied\r\nPASSWORD\r\n") << "no command before login";
  EXPECT_FALSE(FSession->LoggedIn());
}

TEST_F(SimSession, ThreeWrongPasswordsEndTheSessionOnceTheRefusalHasLeft) {
  Make(Quiet());
  Sent();
  FSession->Receive("a\r\nb\r\n", 0);
  EXPECT_EQ(Sent(), "Access denied\r\nPASSWORD\r\nAccess denied\r\nPASSWORD\r\n");
  FSession->Receive("pw-not\r\n", 0);
  EXPECT_FALSE(FSession->MustDrop()) << "the refusal is still to be sent";
  EXPECT_EQ(Sent().find("PASSWORD"), std::string::npos);
  EXPECT_TRUE(FSession->MustDrop());
  FSession->Receive("pw\r\n", 0);
  EXPECT_EQ(Sent(), "") << "nothing is answered any more";
  EXPECT_EQ(FLines, (std::vector<std::string>{"a", "b", "pw-not", "pw"}));
}

TEST_F(SimSession, RightPasswordGivesBannerThenPrompt) {
  Make(Quiet());
  Sent();
  FSession->Receive("pw\r\n", 0);
  const auto banner = Sent();
  EXPECT_EQ(banner, FDevice.Banner() + kPrompt);
  EXPECT_TRUE(FSession->LoggedIn());
}

TEST_F(SimSession, LinesAreAssembledFromAnyLineEndAndPieces) {
  Make(Quiet(TSimRoute::Serial));
  struct {
    std::vector<std::string> Pieces;
    std::string Line;
  } const cases[] = {
      {{"i900?\r\n"}, "i900?"},
      {{"i9", "00", "?\r", "\n"}, "i900?"},
      {{"i900?\n"}, "i900?"},
      {{"i900?\r"}, "i900?"},
      {{"ix\b900?\r"}, "ix\b900?"},
      {{std::string("i9\0"
                    "00?\r\n",
                    8)},
       "i900?"},
      {{"r?\x7f\x7fi900?\r\n"}, "i900?"},
  };
  for (const auto& c : cases) {
    FLines.clear();
    for (const auto& piece : c.Pieces) FSession->Receive(piece, 0);
    ASSERT_EQ(FLines.size(), 1u) << c.Line;
    if (c.Line.find('\b') == std::string::npos) EXPECT_EQ(FLines[0], c.Line);
    EXPECT_EQ(Sent(), "i900=1.00\r\n" + kPrompt);
  }
}

TEST_F(SimSession, OverlongLineIsRefusedNotStoredAndEndsAtThePrompt) {
  // The utility waits for the prompt after every command, a refused one included.
  Make(Quiet(TSimRoute::Serial));
  FSession->Receive(std::string(5000, 'r') + "\r\n", 0);
  EXPECT_EQ(Sent(), "Line too long\r\n" + kPrompt);
  EXPECT_TRUE(FLines.empty());
  FSession->Receive("i900?\r\n", 0);
  EXPECT_EQ(Sent(), "i900=1.00\r\n" + kPrompt);
}

TEST_F(SimSession, OverlongPasswordCountsAsAWrongOneAndAsksAgain) {
  // Without a fresh request the utility would wait at its login for good.
  Make(Quiet());
  Sent();
  FSession->Receive(std::string(5000, 'p') + "\r\n", 0);
  EXPECT_EQ(Sent(), "Access denied\r\nPASSWORD\r\n");
  FSession->Receive(std::string(5000, 'p') + "\r\nx\r\n", 0);
  EXPECT_EQ(Sent(), "Access denied\r\nPASSWORD\r\nAccess denied\r\nToo many attempts, goodbye\r\n");
  EXPECT_TRUE(FSession->MustDrop());
}

TEST_F(SimSession, OverlongLineAfterByeIsNotAnswered) {
  Make(Quiet(TSimRoute::Serial));
  FSession->Receive("bye\r\n", 0);
  Sent();
  FSession->Receive(std::string(5000, 'r') + "\r\n", 0);
  EXPECT_EQ(Sent(), "");
}

TEST_F(SimSession, StopsTakingInputWhileItsRepliesPileUpUnread) {
  // A peer that sends commands but never reads must not make the device hoard replies.
  Make(Quiet(TSimRoute::Serial));
  EXPECT_TRUE(FSession->WantsInput());
  std::size_t commands = 0;
  while (FSession->WantsInput() && commands < 100000) {
    FSession->Receive("r?\r\n", 0);
    ++commands;
  }
  EXPECT_FALSE(FSession->WantsInput()) << "still reading after " << commands << " commands";
  EXPECT_LE(FSession->Output().Pending(), TSimSession::kBacklogLimit + 4096);
  Sent();
  EXPECT_TRUE(FSession->WantsInput()) << "reads again once the replies have left";
}

TEST_F(SimSession, SerialIsReadyAtOnceAndByeEndsIt) {
  Make(Quiet(TSimRoute::Serial));
  EXPECT_EQ(Sent(), "");
  EXPECT_TRUE(FSession->LoggedIn());
  FSession->Receive("bye\r\n", 0);
  EXPECT_EQ(Sent(), "Debug mode off\r\n" + kPrompt);
  FSession->Receive("i900?\r\n", 0);
  FSession->QueueEvent("x", 0);
  EXPECT_EQ(Sent(), "");
  EXPECT_FALSE(FSession->MustDrop()) << "the port stays; only debug mode ends";
}

TEST_F(SimSession, TcpByeSaysGoodbyeAndDrops) {
  Make(Quiet());
  LogIn();
  FSession->Receive("bye\r\n", 0);
  EXPECT_EQ(Sent(), "Goodbye\r\n" + kPrompt);
  EXPECT_TRUE(FSession->MustDrop());
}

TEST_F(SimSession, TimersQueueEventsTextAndModemTraceOnlyWhenDue) {
  auto config = Quiet(TSimRoute::Serial);
  config.EventIntervalMs = 100;
  config.TextIntervalMs = 250;
  config.ModemIntervalMs = 300;
  Make(config);
  EXPECT_EQ(FSession->NextWakeMs(), 100u);
  FSession->Tick(99);
  EXPECT_EQ(Sent(99), "");
  FSession->Tick(100);
  EXPECT_TRUE(Sent(100).starts_with(kEventStart));
  FSession->Tick(300);
  const auto later = Sent(300);
  EXPECT_NE(later.find(kEventStart), std::string::npos);
  EXPECT_NE(later.find("\x1b[36;1mstatus"), std::string::npos);
  EXPECT_NE(later.find(kEventStart + "M:\"AT\\x0d\"\r\n"), std::string::npos);
}

TEST_F(SimSession, NoModemTraceOnTcp) {
  auto config = Quiet();
  config.ModemIntervalMs = 10;
  Make(config);
  LogIn();
  FSession->Tick(1000);
  EXPECT_EQ(Sent(1000), "");
}

TEST_F(SimSession, ReplyDelayHoldsTheReply) {
  auto config = Quiet(TSimRoute::Serial);
  config.ReplyDelayMs = 500;
  Make(config);
  FSession->Receive("i900?\r\n", 1000);
  // 1000 may stand for 1000.9 ms: the reply waits for 1501 to be 500 ms late for certain.
  EXPECT_EQ(Sent(1500), "");
  EXPECT_EQ(FSession->NextWakeMs(), 1501u);
  EXPECT_EQ(Sent(1501), "i900=1.00\r\n" + kPrompt);
}

TEST_F(SimSession, NoPromptLeavesThePromptOutEverywhere) {
  auto config = Quiet();
  config.NoPrompt = true;
  Make(config);
  Sent();
  FSession->Receive("pw\r\ni900?\r\n", 0);
  const auto all = Sent();
  EXPECT_EQ(all.find("<Tallybox"), std::string::npos);
  EXPECT_TRUE(all.ends_with("i900=1.00\r\n"));
}

TEST_F(SimSession, DropOnCommandDropsAtOnceWithoutAnswer) {
  auto config = Quiet(TSimRoute::Serial);
  config.DropOnCommand = "R?";
  Make(config);
  FSession->Receive("i900?\r\nr?\r\ni?\r\n", 0);
  EXPECT_TRUE(FSession->MustDrop());
  EXPECT_EQ(FLines, (std::vector<std::string>{"i900?", "r?"}));
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
  const auto prompt = all.find(kPrompt);
  ASSERT_NE(prompt, std::string::npos);
  const auto after = all.substr(prompt + kPrompt.size());
  ASSERT_GE(after.size(), 1064u);
  EXPECT_TRUE(after.starts_with(kEventStart + "Flood event 1\x1b[0m\r\n"));
  const auto flood = after.size() - 64;
  EXPECT_TRUE(after.substr(0, flood).ends_with("\x1b[0m\r\n"));
  EXPECT_GE(flood, 1000u);
}
