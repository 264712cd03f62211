// The command-line front end's pieces without a device: argument parsing, JSON text, and
// where the password comes from.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <sstream>

#include "cli/uCliDeviceList.h"
#include "cli/uCliExit.h"
#include "cli/uCliFleetScheduler.h"
#include "cli/uCliOptions.h"
#include "cli/uCliPassword.h"
#include "cli/uJson.h"
#include "support/TempConfig.h"
#include "support/TempFolder.h"

TEST(CliOptions, ParsesRoutesCommandsAndValues) {
  struct TCase {
    std::vector<std::string> Args;
    std::string Error;  // "" when accepted
    TRouteKind Route;
    std::string Command, Argument;
  };
  const TCase cases[] = {
      {{"--host", "10.0.0.9", "version"}, "", TRouteKind::Tcp, "version", ""},
      {{"--host=dev", "--json", "registers", "out.rgp"},
       "registers FILE prints nothing to give as JSON; leave out --json",
       TRouteKind::Tcp,
       "registers",
       "out.rgp"},
      {{"--host=dev", "--raw", "registers", "out.rgp"},
       "",
       TRouteKind::Tcp,
       "registers",
       "out.rgp"},
      {{"--host", "h", "-xSECRET", "diag"}, "unknown option -x", TRouteKind::Tcp, "", ""},
      {{"--host", "h", "--bogus=SECRET", "diag"},
       "unknown option --bogus",
       TRouteKind::Tcp,
       "",
       ""},
      {{"--com", "3", "send", "a", "b"},
       "too many arguments for send",
       TRouteKind::Serial,
       "send",
       "a"},
      {{"--com", "3", "--", "send", "-x"}, "", TRouteKind::Serial, "send", "-x"},
      {{"--dial", "Depot", "--phone", "0100", "--user", "u", "diag"},
       "",
       TRouteKind::DialUp,
       "diag",
       ""},
      {{"--host", "h", "program"}, "program needs an argument", TRouteKind::Tcp, "program", ""},
      {{"--host", "h", "send", ""}, "send needs a non-empty argument", TRouteKind::Tcp, "send", ""},
      {{"--host", "h", "--dial", "x", "diag"},
       "give only one of --host, --com, --port and --dial",
       TRouteKind::Tcp,
       "",
       ""},
      {{"--com", "256", "diag"},
       "--com needs a port number from 1 to 255",
       TRouteKind::None,
       "",
       ""},
      {{"--host", "h", "--timeout", "10s", "diag"},
       "--timeout needs milliseconds from 1 to 3600000",
       TRouteKind::Tcp,
       "",
       ""},
      {{"--host", "h", "--timeout"}, "--timeout needs a value", TRouteKind::Tcp, "", ""},
      {{"--host", "h", "--user", "u", "diag"},
       "--phone and --user belong to --dial",
       TRouteKind::Tcp,
       "diag",
       ""},
      {{"version"},
       "give one of --host, --com, --port and --dial",
       TRouteKind::None,
       "version",
       ""},
      {{"--port", "/dev/ttyUSB0", "version"}, "", TRouteKind::Serial, "version", ""},
      {{"--com", "3", "--port=/dev/ttyUSB0", "diag"},
       "give only one of --host, --com, --port and --dial",
       TRouteKind::Serial,
       "",
       ""},
      {{"--json", "ports"}, "", TRouteKind::None, "ports", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    TCliOptions options;
    EXPECT_EQ(ParseCliOptions(c.Args, options), c.Error);
    EXPECT_EQ(options.Route.Kind, c.Route);
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

TEST(CliFleet, DeviceListLinesAndTheFleetOptions) {
  const std::string list =
      "# depot north\r\n"
      "host tb-1.example   \r\n"
      "  com 3 password-file=pw/com3  # bench\n"
      "\n"
      "dial Site A#2 (night) password-file=/etc/tb/site-a\n"
      "host 10.0.0.9#x\n"
      "port rfc2217://ts.example:2001\n";
  const std::vector<TFleetDevice> devices = ParseDeviceList(list, "fleet.txt");
  ASSERT_EQ(devices.size(), 5u);
  EXPECT_EQ(devices[4].Name(), "port rfc2217://ts.example:2001");
  EXPECT_EQ(devices[0].Name() + "|" + devices[0].PasswordFile, "host tb-1.example|");
  EXPECT_EQ(devices[1].Name() + "|" + devices[1].PasswordFile, "com 3|pw/com3");
  EXPECT_EQ(devices[2].Route.DialEntry + "|" + devices[2].PasswordFile,
            "Site A#2 (night)|/etc/tb/site-a");
  EXPECT_EQ(devices[3].Line, 6);
  EXPECT_EQ(devices[3].Route.Host, "10.0.0.9#x");  // a "#" inside a word starts no comment
  TFleetDevice odd;
  odd.Route.Kind = TRouteKind::DialUp;
  odd.Route.DialEntry = "../a/b\x1b";
  EXPECT_EQ(odd.FileStem(), "_._a_b_");

  const std::pair<std::string, std::string> bad[] = {
      {"host a\nhosts b\n",
       "fleet.txt, line 2: unknown device kind \"hosts\" (host, com, port or dial)"},
      {"host\n", "fleet.txt, line 1: host needs a host name or address"},
      {"host a b\n", "fleet.txt, line 1: unexpected \"b\""},
      {"#\ncom 0\n", "fleet.txt, line 2: com needs a port number from 1 to 255"},
      {"com 3x\n", "fleet.txt, line 1: com needs a port number from 1 to 255"},
      {"dial   password-file=x\n", "fleet.txt, line 1: dial needs a phone-book entry"},
      {"host a password-file=\n", "fleet.txt, line 1: password-file= needs a path"},
      {"port telnet://ts:23\n",
       "fleet.txt, line 1: port takes tcp://HOST:PORT or rfc2217://HOST:PORT"},
      {"dial Depot\n\ndial DEPOT\n", "fleet.txt, line 3: dial DEPOT is already listed on line 1"},
  };
  for (const auto& [text, error] : bad) {
    SCOPED_TRACE(text);
    try {
      ParseDeviceList(text, "fleet.txt");
      ADD_FAILURE() << "accepted";
    } catch (const TCliFailure& f) {
      EXPECT_EQ(f.Code, kExitUsage);
      EXPECT_EQ(std::string(f.what()), error);
    }
  }

  TCliOptions fleet;
  EXPECT_EQ(ParseCliOptions({"--jobs", "8", "--json", "fleet", "f.txt", "registers", "dir"}, fleet),
            "");
  EXPECT_EQ(fleet.FleetFile + "|" + fleet.Command + "|" + fleet.Argument, "f.txt|registers|dir");
  EXPECT_EQ(fleet.Jobs, 8);
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--host", "h", "fleet", "f", "version"},
       "fleet takes its devices from FILE; leave out --host, --com and --dial"},
      {{"fleet"}, "fleet needs a device list FILE"},
      {{"fleet", "f"}, "no command given"},
      {{"--jobs", "0", "fleet", "f", "version"}, "--jobs needs a number from 1 to 256"},
      {{"--host", "h", "--progress", "version"}, "--jobs and --progress belong to fleet"},
  };
  for (const auto& [args, error] : refused) {
    TCliOptions options;
    EXPECT_EQ(ParseCliOptions(args, options), error);
  }
}

// Windows opens COM1.rgp as the port COM1 and writes "a:b" into a stream of the file a, so
// there a device's file is named apart from both; elsewhere names stay as the list gives them.
TEST(CliFleet, EveryDeviceFileIsAPlainFileOnItsPlatform) {
  struct TCase {
    std::string Line, Elsewhere, Windows;
  };
  const TCase cases[] = {
      {"com 1", "COM1", "COM1_"},
      {"com 10", "COM10", "COM10"},
      {"host nul.example", "nul.example", "nul_.example"},
      {"host console.example", "console.example", "console.example"},
      {"dial Con", "Con", "Con_"},
      {"dial lpt9 .x", "lpt9 .x", "lpt9_ .x"},
      {"dial Aux:2", "Aux:2", "Aux_2"},
      {"dial prn?", "prn?", "prn_"},
      {"port rfc2217://ts.example:2001", "rfc2217:__ts.example:2001", "rfc2217___ts.example_2001"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
#ifdef _WIN32
    const std::string& want = c.Windows;
#else
    const std::string& want = c.Elsewhere;
#endif
    EXPECT_EQ(ParseDeviceList(c.Line + "\n", "fleet.txt").at(0).FileStem(), want);
  }
}

TEST(CliFleet, ALaneIsNeverUsedTwiceAtOnce) {
  TFleetScheduler scheduler({"dial", "", "dial", "com 3"});
  const auto never = [] { return false; };
  EXPECT_EQ(scheduler.Next(never), 0);
  EXPECT_EQ(scheduler.Next(never), 1);
  EXPECT_EQ(scheduler.Next(never), 3);  // the second dial-up waits for the first
  auto waiting = std::async(std::launch::async, [&] { return scheduler.Next(never); });
  EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  scheduler.Done(0);
  EXPECT_EQ(waiting.get(), 2);
  EXPECT_EQ(scheduler.Next(never), -1);
  TFleetScheduler stopped({""});
  EXPECT_EQ(stopped.Next([] { return true; }), -1);
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
