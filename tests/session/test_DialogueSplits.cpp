// A real link hands the device's output over a few bytes at a time, and real consoles differ in
// how they end their lines, in what they send after their prompt, and on the debug port in
// whether they echo, whether their banner and prompt wait for the port to open, and whether
// they answer "bye". A whole session with the simulated device (login through the password
// request, version, status, registers, a programming run read back, diagnostics, with event
// and modem-trace lines interleaved, and "bye" on the debug port) is recorded in every such
// dialect, over TCP and over the debug port, then replayed cut into pieces: one byte a tick,
// and random pieces for many seeds. Every replay must give the replies, parameter values, view
// text and bytes sent of the replay that got each of the device's answers whole, and every
// dialect of a route the replies, parameter values and bytes sent of the plain one.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "session/LinkStandIn.h"
#include "session/uDialogue.h"
#include "session/uProgrammingRun.h"
#include "sim/uSimDevice.h"
#include "sim/uSimSession.h"
#include "sim/uSimText.h"

namespace {

// A sanitizer build runs many times slower: fewer seeds there keep it inside its time-out.
#ifdef TALLYBOX_SANITIZED
constexpr uint32_t kSeeds = 300, kDialectSeeds = 20;
#else
constexpr uint32_t kSeeds = 3000, kDialectSeeds = 200;
#endif

// How a device talks: what it sends after each prompt and how it ends its lines; on the debug
// port whether it echoes, whether its banner waits for the port to open, whether "bye" is
// answered.
struct TDialect {
  std::string AfterPrompt;
  std::string LineEnd;
  TSimRoute Route = TSimRoute::Tcp;
  bool Echo = true, BannerWaiting = true, ByePrompt = false;
  bool Burst = false;     // the debug port echoes a whole burst of lines before answering
  std::string RestartOn;  // the device restarts instead of answering this command
};

std::string Describe(const TDialect& Dialect) {
  const bool serial = Dialect.Route == TSimRoute::Serial;
  return std::string(serial ? "serial" : "TCP") +
         (serial ? std::string(Dialect.Echo ? ", echo" : ", no echo") +
                       (Dialect.BannerWaiting ? ", banner waiting" : ", nothing waiting") +
                       (Dialect.ByePrompt ? ", bye answered" : ", bye silent") +
                       (Dialect.Burst ? ", echo of a burst first" : "")
                 : "") +
         (Dialect.RestartOn.empty() ? "" : ", restarts at " + Dialect.RestartOn) +
         ", after the prompt \"" + simtext::Printable(Dialect.AfterPrompt) + "\", lines end \"" +
         simtext::Printable(Dialect.LineEnd) + "\"";
}

// Text with its CR LF line ends as the dialect ends them.
std::string InDialect(std::string Text, const TDialect& Dialect) {
  for (size_t at = Text.find("\r\n"); at != std::string::npos;
       at = Text.find("\r\n", at + Dialect.LineEnd.size()))
    Text.replace(at, 2, Dialect.LineEnd);
  return Text;
}

// What a person and the device could tell apart: each completion with its reply lines and
// the parameter list then, the terminal, events and modem views, the bytes sent.
enum { Replies, Terminal, Events, Modem, Sent };
using TSeen = std::array<std::string, 5>;

// What the user does before the device's answer: "" nothing (the device talks by itself),
// "i?" Status, "r?" Registers, "program" a submission, "diag" Diagnostics, "bye" Disconnect;
// "quiet" the port says nothing for a while after it opened.
struct TStep {
  std::string Action;
  std::string Bytes;
};

// Plays the main window on a dialogue: its completions, programming run and diagnostics.
class TWindow {
 public:
  explicit TWindow(TSimRoute Route) {
    FDialogue.Reset(&FLink);
    FDialogue.Opened(Route == TSimRoute::Serial);
  }
  void Do(const std::string& Action) {
    if (Action == "program") {
      FRun.Start(PlanSubmit(FParams, {"r100=77", "r200=off", "r400=Depot south"}),
                 [this](const TProgrammingOutcome& Outcome) { Record(Outcome); });
    } else if (Action == "diag") {
      Request("r?", false, "i?");
    } else if (Action == "bye") {
      FDialogue.Disconnect(true);
    } else if (Action == "quiet") {
      Settle();
    } else if (!Action.empty() && Action != "login") {
      Request(Action, true, "");
    }
  }
  void Tick(const std::string& Arriving) {
    FLink.Receive(Arriving);
    FDialogue.Tick();
    FSeen[Sent] += FLink.Sent();
  }
  // Ticks enough for the views to take everything the fork holds, 10 ms apart: time passes
  // only between the device's answers, never inside one.
  void Settle() {
    for (int i = 0; i < 12; ++i) {
      FNow += 10;
      Tick("");
    }
  }
  // Time enough for the last request to run out, then whether the link was ended.
  void Finish() {
    for (int i = 0; i < 10; ++i) Settle();
    FSeen[Replies] += FLink.Terminated() ? "ended\n" : "still open\n";
  }
  // What the dialogue wrote since the last call, for the device.
  std::string Written() {
    FSeen[Sent] += FLink.Sent();
    const std::string sent = FSeen[Sent].substr(FHandedOver);
    FHandedOver = FSeen[Sent].size();
    return sent;
  }
  const TSeen& Seen() const { return FSeen; }

 private:
  TDialogueHost Host() {
    TDialogueHost host;
    host.TerminalWrite = [this](const std::string& Text) { FSeen[Terminal] += Text; };
    host.AddEvents = [this](const std::string& Text) { FSeen[Events] += Text; };
    host.AddModemTrace = [this](const std::string& Text) { FSeen[Modem] += Text; };
    host.AskPassword = [this] { FDialogue.SendPassword("tallybox"); };
    host.LoggedIn = [this] { Record("logged in", false); };
    return host;
  }
  // Command's reply fills the parameter list (Fill) or not; Next is the diagnostics' next step.
  void Request(const std::string& Command, bool Fill, const std::string& Next) {
    FDialogue.SendCommand(Command, TDialogue::CommandTimeout, [=, this] {
      Record(Command, Fill);
      if (!Next.empty()) Request(Next, false, Next == "i?" ? "diag" : "");
    });
  }
  void Record(const TProgrammingOutcome& Outcome) {
    FSeen[Replies] += "programmed: " + std::to_string(static_cast<int>(Outcome.Kind)) + " " +
                      Outcome.Unanswered + " " + Outcome.Error + "\nr?:";
    for (const std::string& line : Outcome.ReadBack) FSeen[Replies] += line + "|";
    FSeen[Replies] += "\n";
  }
  void Record(const std::string& What, bool Fill) {
    if (Fill) FParams.Clear();
    FSeen[Replies] += What + ":" + FDialogue.LastRequestError();
    for (TResponseSplitter& reply = FDialogue.Splitter(); !reply.IsEmpty();) {
      const std::string line = reply.NextLine();
      FSeen[Replies] += line + "|";
      if (Fill) FParams.AddLine(line);
    }
    FSeen[Replies] += "\n  list ";
    for (int32_t i = 0; i < FParams.Count(); ++i) FSeen[Replies] += FParams.GetLine(i) + "|";
    FSeen[Replies] += "\n";
  }

  uint32_t FNow = 5000;
  TParameterList FParams;
  TLink FLink;
  TDialogue FDialogue{FParams, Host(), [this] { return FNow; }};
  TProgrammingRun FRun{FDialogue};
  TSeen FSeen;
  size_t FHandedOver = 0;
};

// An event line after the first line end of Bytes, and a modem-trace line after the second,
// both ended as the device ends its lines.
std::string Interleave(std::string Bytes, int Turn, const std::string& LineEnd) {
  const size_t first = Bytes.find(LineEnd);
  if (first == std::string::npos) return Bytes;
  const size_t second = Bytes.find(LineEnd, first + LineEnd.size());
  if (second != std::string::npos)
    Bytes.insert(second + LineEnd.size(),
                 simtext::ModemTraceLine("ATDT0800555014" + std::to_string(Turn), LineEnd));
  Bytes.insert(first + LineEnd.size(),
               simtext::EventLine("Input 2 changed, turn " + std::to_string(Turn), LineEnd));
  return Bytes;
}

// The session with the simulated device in Dialect, each answer fed whole as it is recorded.
std::vector<TStep> RecordSession(const TDialect& Dialect) {
  TSimDevice device("1.10", 0);
  TSimSessionConfig config;
  config.EventIntervalMs = config.TextIntervalMs = config.ModemIntervalMs = 0;
  config.Route = Dialect.Route;
  config.AfterPrompt = Dialect.AfterPrompt;
  config.LineEnd = Dialect.LineEnd;
  config.Echo = Dialect.Echo;
  config.ByePrompt = Dialect.ByePrompt;
  config.EchoBurst = Dialect.Burst;
  config.RestartOnCommand = Dialect.RestartOn;
  TSimSession session(device, config, nullptr);
  TWindow window(Dialect.Route);
  std::vector<TStep> steps;
  const auto play = [&](const std::string& Action, const std::string& Bytes) {
    steps.push_back({Action, Interleave(Bytes, static_cast<int>(steps.size()), Dialect.LineEnd)});
    window.Tick(steps.back().Bytes);
    window.Settle();
  };
  // On the debug port the device may have been put into debug mode first: its banner and
  // prompt then wait for the port to open. Otherwise the port says nothing at first.
  const bool serial = Dialect.Route == TSimRoute::Serial;
  std::string waiting =
      serial && Dialect.BannerWaiting ? TSimSession::DebugGreeting(device, config) : std::string();
  session.Start(0);
  uint64_t now = 0;
  std::vector<std::string> actions = {"login", "i?", "r?", "", "program", "diag"};
  if (serial && !Dialect.BannerWaiting) actions.insert(actions.begin(), "quiet");
  if (serial) actions.push_back("bye");
  for (const std::string& action : actions) {
    if (action.empty()) {
      play(action, InDialect(device.NextTerminalText(), Dialect));
      continue;
    }
    window.Do(action);
    // The answer (even none), then the answers to what the window sends on from its
    // completions.
    std::string done = action;
    for (bool first = true;; first = false) {
      // Time enough for a device that answers a burst once its input has gone quiet.
      now += 100;
      session.Receive(window.Written(), now);
      session.Tick(now + TSimSession::kBurstQuietMs);
      std::string bytes = std::exchange(waiting, std::string());
      for (auto piece = session.Output().Peek(now + TSimSession::kBurstQuietMs); !piece.empty();
           piece = session.Output().Peek(now + TSimSession::kBurstQuietMs)) {
        bytes.append(piece);
        session.Output().Consume(piece.size(), now + TSimSession::kBurstQuietMs);
      }
      if (bytes.empty() && !first) break;
      play(done, bytes);
      done.clear();
    }
  }
  window.Finish();
  return steps;
}

// Replays the steps, each answer cut by Cut into pieces; with Merge, some pieces arrive
// together in one tick.
TSeen Replay(const std::vector<TStep>& Steps, TSimRoute Route,
             const std::function<std::vector<std::string>(const std::string&)>& Cut,
             std::mt19937* Merge = nullptr) {
  TWindow window(Route);
  for (const TStep& step : Steps) {
    window.Do(step.Action);
    std::string held;
    for (const std::string& piece : Cut(step.Bytes)) {
      held += piece;
      if (Merge && (*Merge)() % 4 == 0) continue;
      window.Tick(held);
      held.clear();
    }
    window.Tick(held);
    window.Settle();
  }
  window.Finish();
  return window.Seen();
}

// Whether Seen is what Expected is, field by field; the fields that differ are reported.
bool Same(const TSeen& Seen, const TSeen& Expected, const std::string& How) {
  static const char* const names[] = {"replies", "terminal", "events", "modem", "bytes sent"};
  for (size_t i = 0; i < Seen.size(); ++i)
    EXPECT_EQ(Seen[i], Expected[i]) << names[i] << ", " << How;
  return Seen == Expected;
}

// The replay of Steps with each answer whole, then a byte a tick and in random pieces for Seeds
// seeds: every one of them must see what the whole answers gave.
TSeen ReplayWholeAndInPieces(const std::vector<TStep>& Steps, TSimRoute Route, uint32_t Seeds) {
  const TSeen whole = Replay(
      Steps, Route, [](const std::string& Bytes) { return std::vector<std::string>{Bytes}; });
  const auto bytes = [](const std::string& Bytes) {
    std::vector<std::string> pieces;
    for (char c : Bytes) pieces.emplace_back(1, c);
    return pieces;
  };
  Same(Replay(Steps, Route, bytes), whole, "a byte a tick");
  for (uint32_t seed = 1; seed <= Seeds; ++seed) {
    std::mt19937 random(seed);
    const size_t largest = 1 + random() % 48;
    const auto cut = [&](const std::string& Bytes) {
      std::vector<std::string> pieces;
      for (size_t at = 0; at < Bytes.size(); at += pieces.back().size())
        pieces.push_back(Bytes.substr(at, 1 + random() % largest));
      return pieces;
    };
    if (!Same(Replay(Steps, Route, cut, &random), whole, "seed " + std::to_string(seed))) break;
  }
  return whole;
}

// Marker followed by the turn of the last answer that was long enough to carry it.
std::string LastTurn(const std::vector<TStep>& Steps, const std::string& Marker) {
  for (size_t turn = Steps.size(); turn-- > 0;)
    if (Steps[turn].Bytes.find(Marker + std::to_string(turn)) != std::string::npos)
      return Marker + std::to_string(turn);
  return Marker + "none";
}

// Every way a route's device may talk but the plain one: each blank after the prompt with each
// line end, and on the debug port each mix of echo, banner and bye among them.
std::vector<TDialect> Dialects(TSimRoute Route) {
  const std::string afters[] = {"", " ", "\r\n", "\x1b[K"}, ends[] = {"\r\n", "\n", "\r"};
  std::vector<TDialect> dialects;
  for (const std::string& after : afters)
    for (const std::string& end : ends)
      if (!after.empty() || end != "\r\n") dialects.push_back({after, end, Route});
  if (Route == TSimRoute::Tcp) return dialects;
  for (int mix = 0; mix < 8; ++mix) {
    TDialect dialect{afters[mix % 4], ends[mix % 3], Route};
    dialect.Echo = (mix & 1) == 0;
    dialect.BannerWaiting = (mix & 2) == 0;
    dialect.ByePrompt = (mix & 4) != 0;
    dialect.Burst = dialect.Echo && !dialect.BannerWaiting;
    if (mix != 0) dialects.push_back(dialect);
  }
  return dialects;
}

}  // namespace

TEST(DialogueSplits, EverySplitOfARecordedSessionGivesWhatTheWholeAnswersGive) {
  for (const TSimRoute route : {TSimRoute::Tcp, TSimRoute::Serial}) {
    const TDialect plain{"", "\r\n", route};
    const std::vector<TStep> steps = RecordSession(plain);
    SCOPED_TRACE(Describe(plain));
    const TSeen whole = ReplayWholeAndInPieces(steps, route, kSeeds);
    // The session did what it should before anything is compared with it.
    for (const char* reply :
         {"logged in:\n  list i900=1.10|", "\ni?:", "i100=", "\nr?:", "r100=42 ",
          "\nprogrammed:", "\nr?:", "r100=77 ", "|r400=Depot south|", "\ndiag:"})
      EXPECT_NE(whole[Replies].find(reply), std::string::npos) << reply << "\n" << whole[Replies];
    EXPECT_NE(whole[Replies].find("Tallybox diagnostics"), std::string::npos);
    EXPECT_EQ(whole[Replies].ends_with("ended\n"), route == TSimRoute::Serial);
    EXPECT_NE(whole[Events].find(LastTurn(steps, "turn ")), std::string::npos);
    EXPECT_NE(whole[Modem].find(LastTurn(steps, "ATDT0800555014")), std::string::npos);
    EXPECT_NE(whole[Terminal].find("counting"), std::string::npos);
    // No prompt shown but the one that waited at the open, with the banner before it.
    const size_t prompts = route == TSimRoute::Serial ? 1 : 0;
    EXPECT_EQ(whole[Terminal].find("<Tallybox") == std::string::npos, prompts == 0);
    EXPECT_EQ(whole[Terminal].find("Type help") == std::string::npos, prompts == 0);
    EXPECT_EQ(whole[Terminal].find("<Tallybox"), whole[Terminal].rfind("<Tallybox"));

    for (const TDialect& dialect : Dialects(route)) {
      SCOPED_TRACE(Describe(dialect));
      const std::vector<TStep> spoken = RecordSession(dialect);
      std::string all;
      for (const TStep& step : spoken) all += step.Bytes;
      const std::string after = dialect.AfterPrompt, end = dialect.LineEnd;
      EXPECT_NE(all.find(">\x1b[0m" + after), std::string::npos);
      EXPECT_NE(all.find("i900=1.10" + end), std::string::npos);
      EXPECT_EQ(all.find("i900=1.10\r\n") == std::string::npos, end != "\r\n");
      EXPECT_EQ(all.find("i900?\r") != std::string::npos,
                route == TSimRoute::Serial && dialect.Echo);
      const TSeen seen = ReplayWholeAndInPieces(spoken, route, kDialectSeeds);
      EXPECT_EQ(seen[Replies], whole[Replies]);
      EXPECT_EQ(seen[Sent], whole[Sent]);
      EXPECT_NE(seen[Events].find(LastTurn(spoken, "turn ")), std::string::npos);
      EXPECT_NE(seen[Terminal].find("counting"), std::string::npos);
      EXPECT_EQ(seen[Terminal].find("<Tallybox") != std::string::npos,
                route == TSimRoute::Serial && dialect.BannerWaiting);
    }
  }
}

// A device that starts afresh where the registers' reply should be: every split must say so as
// the whole answers do. Over TCP it asks for the password again, which ends the request with
// the reason; on the debug port it echoes, then shows its banner and prompt, which leaves a
// reply without a single register (the callers refuse it); the session goes on there.
TEST(DialogueSplits, ARestartInsideAReplyIsSaidAlikeInEverySplit) {
  for (const bool echo : {true, false}) {
    for (const TSimRoute route : {TSimRoute::Tcp, TSimRoute::Serial}) {
      if (route == TSimRoute::Tcp && !echo) continue;
      TDialect dialect{"", "\r\n", route};
      dialect.Echo = echo;
      dialect.RestartOn = "r?";
      SCOPED_TRACE(Describe(dialect));
      const TSeen whole = ReplayWholeAndInPieces(RecordSession(dialect), route, kDialectSeeds);
      if (route == TSimRoute::Tcp) {
        EXPECT_NE(whole[Replies].find("r?:The device restarted while answering \"r?\""),
                  std::string::npos)
            << whole[Replies];
        EXPECT_NE(whole[Terminal].find("remote access"), std::string::npos) << "it is shown";
      } else {
        EXPECT_NE(whole[Replies].find("Type help for the commands.|\n  list \n"), std::string::npos)
            << whole[Replies];
        EXPECT_NE(whole[Replies].find("\ndiag:Tallybox diagnostics"), std::string::npos);
      }
    }
  }
}
