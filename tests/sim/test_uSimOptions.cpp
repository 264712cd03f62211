#include "sim/uSimOptions.h"

#include <gtest/gtest.h>

TEST(SimOptions, DefaultsServeTcpOnLoopbackWithThePrintedPassword) {
  TSimOptions options;
  EXPECT_EQ(SimParseOptions({}, options), "");
  EXPECT_TRUE(options.Tcp);
  EXPECT_FALSE(options.Serial);
  EXPECT_EQ(options.Address, "127.0.0.1");
  EXPECT_EQ(options.Session.Password, "tallybox");
  EXPECT_EQ(options.PageVersion, "1.00");
}

TEST(SimOptions, EveryOptionReachesItsField) {
  TSimOptions options;
  ASSERT_EQ(SimParseOptions({"--address=127.0.0.9",
                             "--password",
                             "pw",
                             "--page-version",
                             "1.10",
                             "--registers",
                             "r.rgp",
                             "--log",
                             "l",
                             "--events",
                             "1",
                             "--text",
                             "2",
                             "--modem",
                             "3",
                             "--delay",
                             "4",
                             "--split",
                             "5",
                             "--split-gap",
                             "6",
                             "--drop-after",
                             "7",
                             "--drop-on",
                             "diag",
                             "--no-prompt",
                             "--flood",
                             "8",
                             "--garbage",
                             "9",
                             "--seed",
                             "10",
                             "--serial",
                             "--link",
                             "x",
                             "--tcp"},
                            options),
            "");
  const auto& s = options.Session;
  EXPECT_EQ(options.Address, "127.0.0.9");
  EXPECT_EQ(options.RegisterFile, "r.rgp");
  EXPECT_EQ(options.LogFile, "l");
  EXPECT_EQ(options.Link, "x");
  EXPECT_TRUE(options.Tcp && options.Serial && s.NoPrompt);
  EXPECT_EQ(s.Password, "pw");
  EXPECT_EQ(std::vector<uint64_t>({s.EventIntervalMs, s.TextIntervalMs, s.ModemIntervalMs,
                                   s.ReplyDelayMs, s.SplitBytes, s.SplitGapMs, s.DropAfterBytes,
                                   s.FloodBytes, s.GarbageBytes, s.Seed}),
            std::vector<uint64_t>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(s.DropOnCommand, "diag");
}

TEST(SimOptions, MistakesAreReported) {
  struct {
    std::vector<std::string> Args;
    const char* Error;
  } const cases[] = {
      {{"--address", "10.0.0.1"}, "outside 127.0.0.0/8"},
      {{"--address", "example"}, "IPv4 address"},
      {{"--events", "soon"}, "--events expects a number"},
      {{"--split"}, "--split needs a value"},
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"--link", "x"}, "--link needs --serial"},
      {{"--no-prompt=yes"}, "unknown option"},
  };
  for (const auto& c : cases) {
    TSimOptions options;
    const auto error = SimParseOptions(c.Args, options);
    EXPECT_NE(error.find(c.Error), std::string::npos) << c.Args[0] << ": " << error;
  }
}

TEST(SimOptions, ExternalAddressNeedsToBeAskedFor) {
  TSimOptions options;
  EXPECT_EQ(SimParseOptions({"--address", "10.0.0.1", "--allow-external"}, options), "");
  TSimOptions serialOnly;
  EXPECT_EQ(SimParseOptions({"--serial", "--address", "10.0.0.1"}, serialOnly), "");
}
