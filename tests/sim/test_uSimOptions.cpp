#include "sim/uSimOptions.h"

#include <gtest/gtest.h>

TEST(SimOptions, DefaultsServeTcpOnLoopbackWithThePrintedPassword) {
  TSimOptions options;
  EXPECT_EQ(SimParseOptions({}, options), "");
  EXPECT_TRUE(options.Tcp && !options.Serial);
  EXPECT_EQ(options.Address, "127.0.0.1");
  EXPECT_EQ(options.Session.Password, "tallybox");
  EXPECT_EQ(options.PageVersion, "1.00");
}

// The integration tests start the program with nearly every option; these are the others and
// the mistakes.
TEST(SimOptions, AcceptsOrReportsEachCommandLine) {
  struct {
    std::vector<std::string> Args;
    const char* Error;
  } const cases[] = {
      {{"--address=127.0.0.9", "--serial", "--tcp"}, ""},
      {{"--address", "10.0.0.1", "--allow-external"}, ""},
      {{"--serial", "--address", "10.0.0.1"}, ""},
      {{"--address", "10.0.0.1"}, "outside 127.0.0.0/8"},
      {{"--address", "example"}, "IPv4 address"},
      {{"--events", "soon"}, "--events expects a number"},
      {{"--split"}, "--split needs a value"},
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"--link", "x"}, "--link needs --serial"},
      {{"--no-prompt=yes"}, "unknown option"},
      {{"--after-prompt", "\\q"}, "--after-prompt knows only the escapes"},
      {{"--after-prompt", "\\x4"}, "--after-prompt knows only the escapes"},
      {{"--after-prompt", "a\\"}, "--after-prompt knows only the escapes"},
      {{"--eol", "crlf", "--eol", "dos"}, "--eol expects crlf, lf or cr"},
      {{"--banner-on-open"}, "--banner-on-open needs --serial"},
      {{"--echo-burst"}, "--echo-burst needs --serial"},
      {{"--serial", "--drop-after-password", "9"}, "--drop-after-password needs --tcp"},
      {{"--drop-after-password", "x"}, "--drop-after-password expects a number"},
      {{"--event-eol", "crlf2"}, "--event-eol expects crlf, lf or cr"},
  };
  for (const auto& c : cases) {
    TSimOptions options;
    const auto error = SimParseOptions(c.Args, options);
    if (*c.Error == '\0')
      EXPECT_EQ(error, "") << c.Args[0];
    else
      EXPECT_NE(error.find(c.Error), std::string::npos) << c.Args[0] << ": " << error;
  }
  TSimOptions options;
  SimParseOptions({"--address=127.0.0.9", "--serial", "--tcp"}, options);
  EXPECT_EQ(options.Address, "127.0.0.9");
  EXPECT_TRUE(options.Tcp && options.Serial);

  SimParseOptions(
      {"--serial", "--banner-on-open", "--eol", "cr", "--after-prompt", "\\e[K\\x20\\\\\\r\\n\\t$"},
      options);
  EXPECT_TRUE(options.Session.BannerOnOpen);
  EXPECT_EQ(options.Session.LineEnd, "\r");
  EXPECT_EQ(options.Session.AfterPrompt, "\x1b[K \\\r\n\t$");

  TSimOptions device;
  SimParseOptions({"--serial", "--tcp", "--event-eol", "lf", "--echo-burst", "--restart-on", "r?",
                   "--drop-after-password", "100"},
                  device);
  EXPECT_EQ(device.Session.EventLineEnd, "\n");
  EXPECT_EQ(device.Session.LineEnd, "\r\n");
  EXPECT_TRUE(device.Session.EchoBurst);
  EXPECT_EQ(device.Session.RestartOnCommand, "r?");
  EXPECT_EQ(device.Session.DropAfterPasswordBytes, 100u);
}
