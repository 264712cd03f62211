// The simulated device's optional extra number registers and its flood burst, used to exercise
// large register pages and a busy window: names, validation, options and the burst's lines.
#include <gtest/gtest.h>

#include "sim/uSimDevice.h"
#include "sim/uSimOptions.h"
#include "sim/uSimRegisters.h"
#include "sim/uSimText.h"

TEST(SimExtraRegisters, FollowTheStandardSetAsPlainNumbersUpToTheCap) {
  const std::size_t standard = TSimRegisterSet(100).Count();
  struct {
    std::size_t Asked, Added;
    const char* Last;
  } const cases[] = {{0, 0, "r405"},
                     {1, 1, "r1000"},
                     {1000, 1000, "r1999"},
                     {20000, kSimMaxExtraRegisters, "r9999"}};
  for (const auto& c : cases) {
    const TSimRegisterSet set(110, c.Asked);
    ASSERT_EQ(set.Count(), TSimRegisterSet(110).Count() + c.Added) << c.Asked;
    EXPECT_EQ(set.Def(set.Count() - 1).Name, c.Last) << c.Asked;
  }
  TSimRegisterSet set(100, 1000);
  EXPECT_EQ(set.Def(standard).Name, "r1000");
  EXPECT_EQ(set.IndexOf("r2000"), -1);
  EXPECT_EQ(set.Set("R1500", "999999"), "");
  EXPECT_NE(set.Set("r1500", "1000000"), "");
  EXPECT_NE(set.Set("r1501", "x"), "");
  EXPECT_EQ(set.ReplyLine(set.IndexOf("r1500")), "r1500=999999 ;** changed");
  EXPECT_EQ(set.ReplyLine(set.IndexOf("r1501")), "r1501=0");
  EXPECT_EQ(set.Value(set.IndexOf("r100")), "42");  // the installation is still applied
}

TEST(SimExtraRegisters, TheDeviceReportsAndProgramsThem) {
  TSimDevice device("1.00", 0, 3);
  EXPECT_NE(device.Execute("r?", false, 0).Reply.find("r1002=0\r\n"), std::string::npos);
  device.Execute("r1001=77", false, 0);
  EXPECT_NE(device.Execute("r?", false, 0).Reply.find("r1001=77 ;** changed\r\n"),
            std::string::npos);
}

TEST(SimExtraRegisters, OptionTakesACountUpToTheCap) {
  struct {
    const char* Value;
    std::size_t Count;
    bool Accepted;
  } const cases[] = {{"1000", 1000, true},
                     {"9000", 9000, true},
                     {"9001", 0, false},
                     {"-1", 0, false},
                     {"many", 0, false}};
  for (const auto& c : cases) {
    TSimOptions options;
    const std::string error = SimParseOptions({"--extra-registers", c.Value}, options);
    EXPECT_EQ(error.empty(), c.Accepted) << c.Value << ": " << error;
    EXPECT_EQ(options.ExtraRegisters, c.Count) << c.Value;
  }
}

TEST(SimFloodText, NumberedEventLinesUpToAtLeastTheSize) {
  EXPECT_EQ(simtext::FloodText(0), "");
  EXPECT_EQ(simtext::FloodText(1), simtext::EventLine("Flood event 1"));
  const std::string flood = simtext::FloodText(1000);
  const std::string second = simtext::EventLine("Flood event 2");
  EXPECT_EQ(flood.compare(simtext::EventLine("Flood event 1").size(), second.size(), second), 0);
  const std::size_t lastStart = flood.rfind(std::string("\0\t", 2));
  ASSERT_GE(flood.size(), 1000u);
  EXPECT_LT(lastStart, 1000u);  // one line fewer would not reach the size
}
