#include "cli/uCliOptions.h"

#include <charconv>
#include <functional>
#include <map>

#include "transport/uNetSerialUrl.h"

namespace {

struct TCommandShape {
  bool TakesArgument;
  bool NeedsArgument;
};

const std::map<std::string, TCommandShape> Commands = {
    {"version", {false, false}}, {"status", {false, false}}, {"registers", {true, false}},
    {"program", {true, true}},   {"diff", {true, true}},     {"diag", {false, false}},
    {"send", {true, true}},      {"ports", {false, false}},
};

constexpr const char* NetSerialUrlHelp =
    "--port takes a device path, tcp://HOST:PORT or rfc2217://HOST:PORT";
constexpr const char* Routes = "--host, --com, --port and --dial";

// A whole decimal number within [Min, Max], or false.
bool ParseNumber(const std::string& Text, int64_t Min, int64_t Max, int64_t& Value) {
  const char* end = Text.data() + Text.size();
  auto [at, error] = std::from_chars(Text.data(), end, Value);
  return !Text.empty() && error == std::errc() && at == end && Value >= Min && Value <= Max;
}

// A time option's value: milliseconds from 1 to an hour into Ms, or what is wrong with it.
std::string Milliseconds(const std::string& Option, const std::string& Text, uint32_t& Ms) {
  int64_t n = 0;
  if (!ParseNumber(Text, 1, 3600000, n)) return Option + " needs milliseconds from 1 to 3600000";
  Ms = static_cast<uint32_t>(n);
  return "";
}

std::string SetRoute(TCliOptions& Options, TRouteKind Route) {
  if ((Options.Route.Kind != TRouteKind::None && Options.Route.Kind != Route) ||
      (Options.Route.ComPort != 0 && !Options.Route.DevicePath.empty()))
    return std::string("give only one of ") + Routes;
  Options.Route.Kind = Route;
  return "";
}

// The options that take a value: each stores it, or says what is wrong with it.
using TSetter = std::function<std::string(TCliOptions&, const std::string&)>;

const std::map<std::string, TSetter>& ValueOptions() {
  static const std::map<std::string, TSetter> options = {
      {"--host",
       [](TCliOptions& O, const std::string& V) {
         O.Route.Host = V;
         return V.empty() ? "--host needs a host name or address" : SetRoute(O, TRouteKind::Tcp);
       }},
      {"--com",
       [](TCliOptions& O, const std::string& V) -> std::string {
         int64_t n = 0;
         if (!ParseNumber(V, 1, 255, n)) return "--com needs a port number from 1 to 255";
         O.Route.ComPort = static_cast<int32_t>(n);
         return SetRoute(O, TRouteKind::Serial);
       }},
      {"--port",
       [](TCliOptions& O, const std::string& V) {
         O.Route.DevicePath = V;
         if (V.empty()) return std::string("--port needs a device path");
         TNetSerialAddress address;
         if (IsNetSerialUrl(V) && !ParseNetSerialUrl(V, address))
           return std::string(NetSerialUrlHelp);
         return SetRoute(O, TRouteKind::Serial);
       }},
      {"--dial",
       [](TCliOptions& O, const std::string& V) {
         O.Route.DialEntry = V;
         return V.empty() ? "--dial needs a phone-book entry" : SetRoute(O, TRouteKind::DialUp);
       }},
      {"--phone",
       [](TCliOptions& O, const std::string& V) { return O.Route.Phone = V, std::string(); }},
      {"--user",
       [](TCliOptions& O, const std::string& V) { return O.Route.User = V, std::string(); }},
      {"--password-file",
       [](TCliOptions& O, const std::string& V) {
         O.PasswordFile = V;
         return V.empty() ? "--password-file needs a file name" : "";
       }},
      {"--log",
       [](TCliOptions& O, const std::string& V) {
         O.LogFile = V;
         return V.empty() ? "--log needs a file name" : "";
       }},
      {"--timeout", [](TCliOptions& O,
                       const std::string& V) { return Milliseconds("--timeout", V, O.TimeoutMs); }},
      {"--reply-timeout",
       [](TCliOptions& O, const std::string& V) {
         return Milliseconds("--reply-timeout", V, O.ReplyTimeoutMs);
       }},
      {"--retry",
       [](TCliOptions& O, const std::string& V) -> std::string {
         int64_t n = 0;
         if (!ParseNumber(V, 0, 1000, n)) return "--retry needs a number from 0 to 1000";
         O.Retries = static_cast<int32_t>(n);
         return "";
       }},
      {"--jobs",
       [](TCliOptions& O, const std::string& V) -> std::string {
         int64_t n = 0;
         if (!ParseNumber(V, 1, 256, n)) return "--jobs needs a number from 1 to 256";
         O.Jobs = static_cast<int32_t>(n);
         O.JobsGiven = true;
         return "";
       }},
  };
  return options;
}

std::string ParseOption(const std::vector<std::string>& Args, size_t& I, TCliOptions& Options) {
  const std::string& arg = Args[I];
  const size_t equals = arg.find('=');
  const std::string name = arg.substr(0, equals);
  // A short option's value may follow it directly ("-pSECRET"), so only its letter is named.
  const std::string shortName = arg.substr(0, 2);
  if ((name.starts_with("--password") && name != "--password-file") || shortName == "-p")
    return "the password is never taken from the command line (others could read it); use "
           "--password-file FILE or TALLYBOX_PASSWORD";
  if (equals == std::string::npos) {
    if (name == "--json") return Options.Json = true, "";
    if (name == "--raw") return Options.Raw = true, "";
    if (name == "--progress") return Options.Progress = true, "";
    if (name == "--verbose" || name == "-v") return Options.Verbose = true, "";
    if (name == "--help" || name == "-h") return Options.Help = true, "";
    if (name == "--version" || name == "-V") return Options.Version = true, "";
  }
  const auto option = ValueOptions().find(name);
  if (option == ValueOptions().end()) return "unknown option " + (arg[1] == '-' ? name : shortName);
  if (equals != std::string::npos) return option->second(Options, arg.substr(equals + 1));
  if (I + 1 >= Args.size()) return name + " needs a value";
  return option->second(Options, Args[++I]);
}

// "fleet FILE" takes the first two operands and stands for the route options.
std::string TakeFleet(std::vector<std::string>& Operands, TCliOptions& Options) {
  if (Operands.empty() || Operands[0] != "fleet") {
    const bool fleetOnly = Options.JobsGiven || Options.Progress;
    return fleetOnly ? "--jobs and --progress belong to fleet" : "";
  }
  if (Operands.size() < 2 || Operands[1].empty()) return "fleet needs a device list FILE";
  if (Options.Route.Kind != TRouteKind::None)
    return "fleet takes its devices from FILE; leave out --host, --com and --dial";
  Options.FleetFile = Operands[1];
  Operands.erase(Operands.begin(), Operands.begin() + 2);
  return "";
}

std::string CheckRequest(const TCliOptions& Options, size_t Operands) {
  if (Options.Command == "ports")
    return Options.Route.Kind == TRouteKind::None && Options.FleetFile.empty() && Operands == 1
               ? ""
               : "ports lists the serial ports: give it no route and no argument";
  const bool fleet = !Options.FleetFile.empty();
  if (Options.Route.Kind == TRouteKind::None && !fleet) return std::string("give one of ") + Routes;
  if (Options.Route.Kind != TRouteKind::DialUp &&
      (!Options.Route.Phone.empty() || !Options.Route.User.empty()))
    return "--phone and --user belong to --dial";
  if (Options.Command.empty()) return "no command given";
  const auto shape = Commands.find(Options.Command);
  if (shape == Commands.end()) return "unknown command " + Options.Command;
  if (Operands > (shape->second.TakesArgument ? 2u : 1u))
    return "too many arguments for " + Options.Command;
  if (shape->second.NeedsArgument && !Options.HasArgument)
    return Options.Command + " needs an argument";
  if (Options.HasArgument && Options.Argument.empty())
    return Options.Command + " needs a non-empty argument";
  if (Options.Json && Options.Command == "registers" && Options.HasArgument && !fleet)
    return "registers FILE prints nothing to give as JSON; leave out --json";
  if (Options.Command == "send" && Options.Argument.find_first_of("\r\n") != std::string::npos)
    return "the line to send cannot hold a line break (the device would take it as a further "
           "command)";
  return "";
}

}  // namespace

std::string ParseCliOptions(const std::vector<std::string>& Args, TCliOptions& Options) {
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (std::string error = ParseOption(Args, i, Options); !error.empty()) return error;
    } else {
      operands.push_back(arg);
    }
  }
  if (Options.Help || Options.Version) return "";
  if (std::string error = TakeFleet(operands, Options); !error.empty()) return error;
  if (!operands.empty()) Options.Command = operands[0];
  if (operands.size() > 1) {
    Options.Argument = operands[1];
    Options.HasArgument = true;
  }
  return CheckRequest(Options, operands.size());
}

std::string CliUsage() {
  return "usage: tallybox-cli (--host HOST | --com N | --port PATH|URL | --dial ENTRY [--phone P]\n"
         "                    [--user U]) [--password-file FILE] [--timeout MS]\n"
         "                    [--reply-timeout MS] [--retry N] [--log FILE] [--json] [--raw]\n"
         "                    [--verbose] COMMAND [ARG]\n"
         "       tallybox-cli [--jobs N] [--progress] [other options] fleet FILE COMMAND [ARG]\n"
         "       tallybox-cli [--json] ports\n"
         "       tallybox-cli --help | --version\n"
         "commands:\n"
         "  version           print the page version the device reports\n"
         "  status            print the status items, one line each\n"
         "  registers [FILE]  print the registers, or save them to FILE as a register preset\n"
         "  program FILE      program the registers from a preset file, read them back and\n"
         "                    list every register whose value differs\n"
         "  diff FILE         compare the registers with a preset file: the values that\n"
         "                    differ, those only on the device, those only in the preset\n"
         "  diag              print the registers, status and diagnostics replies\n"
         "  send LINE         send one command line, print the reply up to the prompt\n"
         "  fleet FILE COMMAND [ARG]\n"
         "                    run COMMAND on every device FILE lists, one a line: host NAME,\n"
         "                    com N, port PATH|URL or dial ENTRY, each optionally followed by\n"
         "                    password-file=PATH; # starts a comment. registers DIR saves\n"
         "                    DIR/<device>.rgp for each device; each device's output follows\n"
         "                    a header line with its result, a summary goes to stderr\n"
         "  ports             list COM1 to COM9 with the device each reaches, and the serial\n"
         "                    devices found (no route needed)\n"
         "options:\n"
         "  --port PATH|URL       a serial debug port by its device path, instead of --com N;\n"
         "                        or behind a terminal server: tcp://HOST:PORT (raw) or\n"
         "                        rfc2217://HOST:PORT (the far port set to the debug line)\n"
         "  --password-file FILE  the device password (a final line end is ignored; FILE \"-\"\n"
         "                        is standard input); else the environment variable\n"
         "                        TALLYBOX_PASSWORD, else it is asked on the terminal\n"
         "                        (/dev/tty; not for --com or --port)\n"
         "  --timeout MS          time allowed for connecting and logging in (default 10000)\n"
         "  --reply-timeout MS    time allowed for each reply, the version asked at login\n"
         "                        among them (default 2000); the last line of program waits\n"
         "                        at least 10000\n"
         "  --retry N             when the connection, the login or a reply fails, run the\n"
         "                        command again up to N more times, 1 s, 2 s, 4 s ... apart\n"
         "                        (at most 30 s); fleet: each device so (default 0)\n"
         "  --log FILE            append everything received from and sent to the device to\n"
         "                        FILE, one stamped line each (\"< \" received, \"> \" sent;\n"
         "                        the password is written as ********); fleet: --log DIR,\n"
         "                        one DIR/<device>.log for each device\n"
         "  --json                the output as one JSON document (not for registers FILE);\n"
         "                        fleet: one object a line per device\n"
         "  --raw                 device text to a terminal as it is, control bytes included\n"
         "                        (otherwise shown as ^[ or \\xHH; files and pipes always\n"
         "                        get it as it is)\n"
         "  --verbose             connection progress on standard error\n"
         "  --jobs N              fleet: devices at once (default 4; a serial port or dial-up\n"
         "                        is never used twice at once)\n"
         "  --progress            fleet: devices done of all on standard error (a terminal)\n"
         "  --help, --version     this text, or the tool's own version\n"
         "exit status: 0 done, 1 connection, login, reply or output failure, 2 usage error,\n"
         "             3 registers differ after program or from the preset (diff),\n"
         "             4 wrong password,\n"
         "             130 interrupted (Ctrl+C), 143 terminated (SIGTERM); fleet: 0 when every\n"
         "             device is done, else the gravest a device gave: 1, then 4, then 3\n";
}
