#include "sim/uSimOptions.h"

#include "sim/uSimRegisters.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace {

bool ToNumber(const std::string& Text, unsigned long long& Out) {
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Out);
  return !Text.empty() && error == std::errc() && end == Text.data() + Text.size();
}

template <typename T>
std::function<std::string(const std::string&)> NumberInto(T& Target, unsigned long long Max) {
  return [&Target, Max](const std::string& Text) -> std::string {
    unsigned long long value = 0;
    if (!ToNumber(Text, value) || value > Max)
      return "expects a number up to " + std::to_string(Max);
    Target = static_cast<T>(value);
    return {};
  };
}

std::function<std::string(const std::string&)> TextInto(std::string& Target) {
  return [&Target](const std::string& Text) -> std::string {
    Target = Text;
    return {};
  };
}

// Text with the escapes \\ \e \r \n \t and \xHH turned into their bytes; false on any other.
bool Unescape(const std::string& Text, std::string& Bytes) {
  static const std::map<char, char> simple = {
      {'\\', '\\'}, {'e', '\x1b'}, {'r', '\r'}, {'n', '\n'}, {'t', '\t'}};
  for (std::size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] != '\\') {
      Bytes += Text[i];
    } else if (i + 1 == Text.size()) {
      return false;
    } else if (const auto escape = simple.find(Text[++i]); escape != simple.end()) {
      Bytes += escape->second;
    } else {
      const char* first = Text.data() + i + 1;
      const char* last = first + std::min<std::size_t>(2, Text.size() - i - 1);
      unsigned value = 0;
      if (Text[i] != 'x' || last - first != 2 ||
          std::from_chars(first, last, value, 16).ptr != last)
        return false;
      Bytes += static_cast<char>(value);
      i += 2;
    }
  }
  return true;
}

std::function<std::string(const std::string&)> EscapedInto(std::string& Target) {
  return [&Target](const std::string& Text) -> std::string {
    std::string bytes;
    if (!Unescape(Text, bytes)) return "knows only the escapes \\\\ \\e \\r \\n \\t \\xHH";
    Target = bytes;
    return {};
  };
}

std::function<std::string(const std::string&)> LineEndInto(std::string& Target) {
  return [&Target](const std::string& Text) -> std::string {
    static const std::map<std::string, std::string> ends = {
        {"crlf", "\r\n"}, {"lf", "\n"}, {"cr", "\r"}};
    const auto end = ends.find(Text);
    if (end == ends.end()) return "expects crlf, lf or cr";
    Target = end->second;
    return {};
  };
}

// "random", or the piece size (also the largest random piece when both are given).
std::function<std::string(const std::string&)> SplitInto(TSimSessionConfig& Session,
                                                         unsigned long long Max) {
  return [&Session, Max](const std::string& Text) -> std::string {
    if (Text == "random") {
      Session.SplitRandom = true;
      return {};
    }
    return NumberInto(Session.SplitBytes, Max)(Text).empty()
               ? std::string()
               : "expects \"random\" or a number up to " + std::to_string(Max);
  };
}

std::string CheckAddress(const TSimOptions& Options) {
  in_addr address{};
  if (inet_pton(AF_INET, Options.Address.c_str(), &address) != 1)
    return "--address expects an IPv4 address such as 127.0.0.1";
  const bool loopback = (ntohl(address.s_addr) >> 24) == 127;
  if (!loopback && !Options.AllowExternal)
    return "--address " + Options.Address +
           " is outside 127.0.0.0/8; add --allow-external to listen there";
  return {};
}

}  // namespace

std::string SimParseOptions(const std::vector<std::string>& Args, TSimOptions& Options) {
  auto& s = Options.Session;
  const unsigned long long kMs = 24ull * 3600 * 1000;
  const unsigned long long kBytes = 1ull << 30;
  const unsigned long long kBurst = 64ull << 20;  // a flood or garbage burst is built in memory
  const std::map<std::string, std::function<std::string(const std::string&)>> valued = {
      {"--address", TextInto(Options.Address)},
      {"--password", TextInto(s.Password)},
      {"--page-version", TextInto(Options.PageVersion)},
      {"--registers", TextInto(Options.RegisterFile)},
      {"--extra-registers", NumberInto(Options.ExtraRegisters, kSimMaxExtraRegisters)},
      {"--log", TextInto(Options.LogFile)},
      {"--link", TextInto(Options.Link)},
      {"--events", NumberInto(s.EventIntervalMs, kMs)},
      {"--text", NumberInto(s.TextIntervalMs, kMs)},
      {"--modem", NumberInto(s.ModemIntervalMs, kMs)},
      {"--delay", NumberInto(s.ReplyDelayMs, kMs)},
      {"--split", SplitInto(s, kBytes)},
      {"--baud", NumberInto(s.Baud, kMaxBaud)},
      {"--split-gap", NumberInto(s.SplitGapMs, kMs)},
      {"--drop-after", NumberInto(s.DropAfterBytes, kBytes)},
      {"--drop-after-password", NumberInto(s.DropAfterPasswordBytes, kBytes)},
      {"--drop-on", TextInto(s.DropOnCommand)},
      {"--restart-on", TextInto(s.RestartOnCommand)},
      {"--flood", NumberInto(s.FloodBytes, kBurst)},
      {"--garbage", NumberInto(s.GarbageBytes, kBurst)},
      {"--seed", NumberInto(s.Seed, 0xFFFFFFFFull)},
      {"--after-prompt", EscapedInto(s.AfterPrompt)},
      {"--eol", LineEndInto(s.LineEnd)},
      {"--event-eol", LineEndInto(s.EventLineEnd)},
  };
  bool noEcho = false;
  const std::map<std::string, bool*> flags = {
      {"--tcp", &Options.Tcp},
      {"--serial", &Options.Serial},
      {"--no-prompt", &s.NoPrompt},
      {"--no-echo", &noEcho},
      {"--allow-external", &Options.AllowExternal},
      {"--help", &Options.Help},
      {"-h", &Options.Help},
      {"--version", &Options.Version},
      {"--banner-on-open", &s.BannerOnOpen},
      {"--bye-prompt", &s.ByePrompt},
      {"--echo-burst", &s.EchoBurst},
  };
  for (std::size_t i = 0; i < Args.size(); ++i) {
    std::string name = Args[i], value;
    bool hasValue = false;
    if (const auto equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
      hasValue = true;
    }
    if (const auto flag = flags.find(name); flag != flags.end() && !hasValue) {
      *flag->second = true;
    } else if (const auto option = valued.find(name); option != valued.end()) {
      if (!hasValue) {
        if (i + 1 >= Args.size()) return name + " needs a value";
        value = Args[++i];
      }
      if (auto error = option->second(value); !error.empty()) return name + " " + error;
    } else {
      return "unknown option " + Args[i] + " (try --help)";
    }
  }
  if (s.SplitRandom && s.SplitBytes == 0) s.SplitBytes = kSimRandomSplitBytes;
  if (!Options.Tcp && !Options.Serial) Options.Tcp = true;
  if (!Options.Link.empty() && !Options.Serial) return "--link needs --serial";
  s.Echo = !noEcho;
  for (const auto& [set, name] : {std::pair{s.BannerOnOpen, "--banner-on-open"},
                                  {noEcho, "--no-echo"},
                                  {s.ByePrompt, "--bye-prompt"},
                                  {s.EchoBurst, "--echo-burst"}})
    if (set && !Options.Serial) return std::string(name) + " needs --serial";
  if (s.DropAfterPasswordBytes != 0 && !Options.Tcp) return "--drop-after-password needs --tcp";
  return Options.Tcp ? CheckAddress(Options) : std::string();
}

std::string SimUsage() {
  return R"(Usage: tallybox-sim [options]
       tallybox-sim --help | --version
Plays a Tallybox: TCP port 6024 with a password, and/or a serial debug port on a
pseudo-terminal.

Routes (TCP when neither is given):
  --tcp                 listen on TCP port 6024
  --serial              open a pseudo-terminal as the debug port and print its path
  --link PATH           also make PATH a symbolic link to that terminal
  --address A           TCP listen address (default 127.0.0.1)
  --allow-external      allow an address outside 127.0.0.0/8

Device:
  --password P          TCP password (default tallybox)
  --page-version V      reported as i900 (default 1.00; 1.10 adds registers)
  --registers FILE      start from this register preset file
  --extra-registers N   add N number registers r1000.. (up to 9000)
  --log FILE            record every line received, one per line
  --after-prompt TEXT   send TEXT right after every prompt; escapes \\ \e \r \n
                        \t \xHH (for example " " or "\e[K")
  --eol crlf|lf|cr      end the lines of replies and texts so (default crlf)
  --event-eol crlf|lf|cr
                        end event and modem-trace lines so (default crlf)
  --banner-on-open      serial: write the banner and prompt as soon as the terminal
                        exists, so they wait for whoever opens it
  --no-echo             serial: do not echo what is received (echoed by default)
  --bye-prompt          serial: answer "bye" with a word and the prompt before leaving
                        debug mode (by default the device leaves without a word)
  --echo-burst          serial: echo each byte at once but answer the lines only
                        once the input has been quiet for 20 ms, so a burst of
                        lines is echoed whole before the first answer

Unsolicited traffic (milliseconds, 0 = off):
  --events MS           event lines (default 15000)
  --text MS             coloured terminal text (default 30000)
  --modem MS            modem-trace lines, serial only (default 20000)

Faults:
  --split N             write every output in pieces of N bytes
  --split random        pieces of 1 to N bytes (N from --split N, default 64) and
                        pauses of 0 to the --split-gap, drawn from --seed
  --split-gap MS        pause between pieces (default 2)
  --baud N              pace everything sent as a line of N bits/s (10 bits a byte)
  --delay MS            answer each line MS late
  --drop-after N        drop the line once N bytes have been sent
  --drop-after-password N
                        TCP: drop the line once N bytes have been sent after the
                        password was taken
  --drop-on CMD         drop the line when CMD is received
  --restart-on CMD      restart instead of answering CMD, the first time it comes:
                        serial sends the banner and prompt again, TCP its greeting
                        and a new password request
  --no-prompt           never send the prompt
  --flood N             send at least N bytes of event lines after login
  --garbage N           send N random bytes after login
  --seed S              seed for --garbage and --split random (default 1)
)";
}
