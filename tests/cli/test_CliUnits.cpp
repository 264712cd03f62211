// The command-line front end's pieces without a device: argument parsing, JSON text, and
// where the password comes from.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "cli/uCliExit.h"
#include "cli/uCliOptions.h"
#include "cli/uCliPassword.h"
#include "cli/uJson.h"
#include "support/TempConfig.h"
#include "support/TempFolder.h"

TEST(CliOptions, ParsesRoutesCommandsAndValues) {
  struct TCase {
    std::vector<std::string> Args;
    std::string Error;  // "" when accepted
    TCliRoute Route;
    std::string Command, Argument;
  };
  const TCase cases[] = {
      {{"--host", "10.0.0.9", "version"}, "", TCliRoute::Tcp, "version", ""},
      {{"--host=dev", "--json", "registers", "out.rgp"},
       "registers FILE prints nothing to give as JSON; leave out --json",
       TCliRoute::Tcp,
       "registers",
       "out.rgp"},
      {{"--host=dev", "--raw", "registers", "out.rgp"}, "", TCliRoute::Tcp, "registers", "out.rgp"},
      {{"--host", "h", "-xSECRET", "diag"}, "unknown option -x", TCliRoute::Tcp, "", ""},
      {{"--host", "h", "--bogus=SECRET", "diag"}, "unknown option --bogus", TCliRoute::Tcp, "", ""},
      {{"--com", "3", "send", "a", "b"},
       "too many arguments for send",
       TCliRoute::Serial,
       "send",
       "a"},
      {{"--com", "3", "--", "send", "-x"}, "", TCliRoute::Serial, "send", "-x"},
      {{"--dial", "Depot", "--phone", "0100", "--user", "u", "diag"},
       "",
       TCliRoute::DialUp,
       "diag",
       ""},
      {{"--host", "h", "program"}, "program needs an argument", TCliRoute::Tcp, "program", ""},
      {{"--host", "h", "send", ""}, "send needs a non-empty argument", TCliRoute::Tcp, "send", ""},
      {{"--host", "h", "--dial", "x", "diag"},
       "give only one of --host, --com, --port and --dial",
       TCliRoute::Tcp,
       "",
       ""},
      {{"--com", "256", "diag"},
       "--com needs a port number from 1 to 255",
       TCliRoute::None,
       "",
       ""},
      {{"--host", "h", "--timeout", "10s", "diag"},
       "--timeout needs milliseconds from 1 to 3600000",
       TCliRoute::Tcp,
       "",
       ""},
      {{"--host", "h", "--timeout"}, "--timeout needs a value", TCliRoute::Tcp, "", ""},
      {{"--host", "h", "--user", "u", "diag"},
       "--phone and --user belong to --dial",
       TCliRoute::Tcp,
       "diag",
       ""},
      {{"version"}, "give one of --host, --com, --port and --dial", TCliRoute::None, "version", ""},
      {{"--port", "/dev/ttyUSB0", "version"}, "", TCliRoute::Serial, "version", ""},
      {{"--com", "3", "--port=/dev/ttyUSB0", "diag"},
       "give only one of --host, --com, --port and --dial",
       TCliRoute::Serial,
       "",
       ""},
      {{"--json", "ports"}, "", TCliRoute::None, "ports", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    TCliOptions options;
    EXPECT_EQ(ParseCliOptions(c.Args, options), c.Error);
    EXPECT_EQ(options.Route, c.Route);
    EXPECT_EQ(options.Command, c.Command);
    EXPECT_EQ(options.Argument, c.Argument);
  }
  for (const char* secret : {"-pSECRET", "--passwordSECRET", "--password=SECRET"}) {
    TCliOptions refused;
    const std::string error = ParseCliOptions({"--host", "h", secret, "diag"}, refused);
    EXPECT_TRUE(error.starts_with("the password is never taken")) << error;
    EXPECT_EQ(error.find("SECRET"), std::string::npos) << error;
  }
  TCliOptions version;
  EXPECT_EQ(ParseCliOptions({"--version"}, version), "");
  EXPECT_TRUE(version.Version);
  TCliOptions options;
  EXPECT_EQ(ParseCliOptions({"--host", "h", "--timeout=250", "--verbose", "status"}, options), "");
  EXPECT_EQ(options.TimeoutMs, 250u);
  EXPECT_TRUE(options.Verbose);
  EXPECT_FALSE(options.Json);
}

TEST(CliJson, DeviceTextBecomesAsciiJson) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\" \\ now", "\"say \\\"hi\\\" \\\\ now\""},
      {"a\r\nb\tc", "\"a\\r\\nb\\tc\""},
      {"\x1b[0m\x7f", "\"\\u001b[0m\\u007f\""},
      {"caf\xe9 \x80 \x93\x81", "\"caf\\u00e9 \\u20ac \\u201c\\u0081\""},
      {"nul\0inside"s, "\"nul\\u0000inside\""},
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json);
  EXPECT_EQ(JsonObject({{"a", "1"}, {"b\"", JsonArray({"true", JsonString("x")})}}),
            "{\"a\": 1, \"b\\\"\": [true, \"x\"]}");
  EXPECT_EQ(JsonObject({}), "{}");
  EXPECT_EQ(JsonArray({}), "[]");
}

TEST(CliPassword, FileThenEnvironmentThenRefusals) {
  TTempFolder folder;
  const std::atomic<bool> interrupted{false};
  struct TCase {
    std::string FileText;  // written to a file when not "-"
    const char* Environment;
    std::string Password;  // expected, or the exit status as text when refused
  };
  const TCase cases[] = {
      {"pw\n", nullptr, "pw"},       {"pw\r\n", "env", "pw"},
      {"pw", nullptr, "pw"},         {"pw\n\n", nullptr, "2"},
      {"p\rw", nullptr, "2"},        {"", nullptr, ""},
      {"-", "from env", "from env"}, {"-", "two\nlines", "2"},
      {"-", nullptr, "2"},  // no terminal to ask on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.FileText + "|" + (c.Environment ? c.Environment : "(unset)"));
    std::string file;
    if (c.FileText != "-") WriteFileBytes(file = folder.Path("pw"), c.FileText);
    std::string got;
    try {
      got = ResolvePassword({file, c.Environment, "/dev/null"}, interrupted);
    } catch (const TCliFailure& f) {
      got = std::to_string(f.Code);
    }
    EXPECT_EQ(got, c.Password);
  }
}
