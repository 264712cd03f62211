#include "sim/uSimDevice.h"

#include <gtest/gtest.h>

TEST(SimDevice, RepliesToEachCommand) {
  struct {
    const char* Line;
    bool Serial;
    const char* Contains;
  } const cases[] = {
      {"  I900?  ", false, "i900=1.10\r\n"},
      {"i?", false, "i200=\"1d 01:01:01\"\r\n"},  // uptime 90061 s
      {"r105=12", false, "r105: out of range 0..9\r\n"},
      {"r999=1", false, "r999: no such register\r\n"},
      {"frobnicate", false, "unknown command \"frobnicate\"\r\n"},
      {"M:ATZ~", false, "only available on the debug port\r\n"},
      {"bye", true, "Debug mode off\r\n"},
      {"cls", false, "\x1b[2J"},
  };
  for (const auto& c : cases) {
    TSimDevice device("1.10", 1000);
    const auto reply = device.Execute(c.Line, c.Serial, 1000 + 90061000).Reply;
    EXPECT_NE(reply.find(c.Contains), std::string::npos) << c.Line << " -> " << reply;
  }
  TSimDevice device("1.00", 0);
  EXPECT_EQ(device.Execute("", false, 0).Reply, "");
  EXPECT_TRUE(device.Execute("bye", true, 0).EndSession);
  const auto modem = device.Execute("M:ATDT123~", true, 0);
  EXPECT_TRUE(modem.ModemLine);
  EXPECT_EQ(modem.Modem, "ATDT123\r");
  EXPECT_EQ(modem.Reply, "");
}

TEST(SimDevice, RegisterLinesSetTheRegisterAndOnlyAChangeIsAnEvent) {
  TSimDevice device("1.00", 0);
  EXPECT_EQ(device.Execute("r105 = 7 ", false, 0).Reply, "");
  device.Execute("r400=\"Main gate\" ;** changed", false, 0);
  EXPECT_EQ(device.Registers().Value(device.Registers().IndexOf("r400")), "Main gate");
  EXPECT_EQ(device.TakeEvents(),
            (std::vector<std::string>{"Register r105 (Call retries) set to 7",
                                      "Register r400 (Site name) set to Main gate"}));
  EXPECT_EQ(device.Execute("r105=7", false, 0).Reply, "");
  EXPECT_TRUE(device.TakeEvents().empty()) << "an unchanged value is no event";
}

TEST(SimDevice, TerminalTextUsesEveryColourAndUnsolicitedTextsVary) {
  TSimDevice device("1.00", 0);
  std::string text;
  for (int i = 0; i < 4; ++i) text += device.NextTerminalText();
  for (const char* sequence : {"\x1b[41;33;1m", "\x1b[0;1m", "\x1b[36;1m", "\x1b[0m",
                               "\x1b[0;31;41m", "\x1b[34;1m", "\x1b[31m", "\b"})
    EXPECT_NE(text.find(sequence), std::string::npos) << sequence + 1;
  const auto first = device.NextEventText();
  EXPECT_NE(device.NextEventText(), first);
  EXPECT_EQ(first.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(device.NextModemTrace(), "AT\r");
  EXPECT_EQ(device.NextModemTrace(), "\r\nOK\r\n");
}
