#include "sim/uSimDevice.h"

#include <gtest/gtest.h>

namespace {

std::size_t CountLines(const std::string& Text) {
  std::size_t lines = 0;
  for (auto at = Text.find("\r\n"); at != std::string::npos; at = Text.find("\r\n", at + 2))
    ++lines;
  return lines;
}

}  // namespace

TEST(SimDevice, AnswersTheVersionQueryWithItsPageVersion) {
  TSimDevice device("1.10", 0);
  EXPECT_EQ(device.Execute("i900?", false, 0).Reply, "i900=1.10\r\n");
  EXPECT_EQ(device.Execute("  I900?  ", false, 0).Reply, "i900=1.10\r\n");
}

TEST(SimDevice, InformationHasADozenItemsAndCountsUptime) {
  TSimDevice device("1.00", 1000);
  const auto reply = device.Execute("i?", false, 1000 + 90061000).Reply;
  EXPECT_GE(CountLines(reply), 12u);
  EXPECT_NE(reply.find("i200=\"1d 01:01:01\"\r\n"), std::string::npos) << reply;
  EXPECT_NE(reply.find("i401=\"Input 2 tamper\" ;** alarm\r\n"), std::string::npos);
  EXPECT_TRUE(reply.ends_with("i900=1.00\r\n"));
}

TEST(SimDevice, RegisterLineSetsTheRegisterAndLeavesAnEvent) {
  TSimDevice device("1.00", 0);
  EXPECT_EQ(device.Execute("r105 = 7 ", false, 0).Reply, "");
  EXPECT_NE(device.Execute("r?", false, 0).Reply.find("r105=7 ;** changed\r\n"), std::string::npos);
  const auto events = device.TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], "Register r105 (Call retries) set to 7");
  EXPECT_TRUE(device.TakeEvents().empty());
  EXPECT_EQ(device.Execute("r105=7", false, 0).Reply, "");
  EXPECT_TRUE(device.TakeEvents().empty()) << "an unchanged value is no event";
}

TEST(SimDevice, QuotedAndCommentedRegisterLinesAreUnderstood) {
  TSimDevice device("1.00", 0);
  device.Execute("r400=\"Main gate\" ;** changed", false, 0);
  EXPECT_EQ(device.Registers().Value(device.Registers().IndexOf("r400")), "Main gate");
}

TEST(SimDevice, RefusedValuesAndUnknownCommandsGiveErrorText) {
  TSimDevice device("1.00", 0);
  struct {
    const char* Line;
    const char* Expected;
  } const cases[] = {
      {"r105=12", "r105: out of range 0..9"},
      {"r999=1", "r999: no such register"},
      {"frobnicate", "unknown command \"frobnicate\""},
      {"M:ATZ~", "only available on the debug port"},
  };
  for (const auto& c : cases) {
    const auto reply = device.Execute(c.Line, false, 0).Reply;
    EXPECT_NE(reply.find(c.Expected), std::string::npos) << c.Line << " -> " << reply;
    EXPECT_TRUE(reply.ends_with("\r\n"));
  }
}

TEST(SimDevice, ByeEndsTheSessionAndModemLinesGoToTheModemOnSerial) {
  TSimDevice device("1.00", 0);
  EXPECT_TRUE(device.Execute("bye", true, 0).EndSession);
  EXPECT_EQ(device.Execute("bye", true, 0).Reply, "Debug mode off\r\n");
  const auto modem = device.Execute("M:ATDT123~", true, 0);
  EXPECT_TRUE(modem.ModemLine);
  EXPECT_EQ(modem.Modem, "ATDT123\r");
  EXPECT_EQ(modem.Reply, "");
}

TEST(SimDevice, DiagnosticsIsAMultiLineDump) {
  TSimDevice device("1.00", 0);
  EXPECT_GE(CountLines(device.Execute("diag", false, 0).Reply), 8u);
  EXPECT_EQ(device.Execute("", false, 0).Reply, "");
}

TEST(SimDevice, BannerAndTerminalTextUseEveryColourOfTheTerminal) {
  TSimDevice device("1.00", 0);
  std::string text;
  for (int i = 0; i < 4; ++i) text += device.NextTerminalText();
  for (const std::string& all : {device.Banner(), text})
    for (const char* sequence : {"\x1b[41;33;1m", "\x1b[0;1m", "\x1b[36;1m", "\x1b[0m",
                                 "\x1b[0;31;41m", "\x1b[34;1m", "\x1b[31m", "\b"})
      EXPECT_NE(all.find(sequence), std::string::npos) << sequence + 1;
  EXPECT_EQ(device.Banner().find("\x1b[2J"), 0u);
  EXPECT_EQ(device.Execute("cls", false, 0).Reply, "\x1b[2J");
}

TEST(SimDevice, UnsolicitedTextsVaryAndHoldNoLineBreakInside) {
  TSimDevice device("1.00", 0);
  const auto first = device.NextEventText();
  EXPECT_NE(device.NextEventText(), first);
  EXPECT_EQ(first.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(device.NextModemTrace(), "AT\r");
  EXPECT_EQ(device.NextModemTrace(), "\r\nOK\r\n");
}
