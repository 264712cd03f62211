// A real link hands the device's output over a few bytes at a time, and real consoles differ in
// how they end their lines and in what they send after their prompt. A whole session with the
// simulated device (login through the password request, version, status, registers, a
// programming run read back, diagnostics, with event and modem-trace lines interleaved) is
// recorded in every such dialect, over TCP and over the debug port with its banner and prompt
// already waiting when the port opens, then replayed cut into pieces: one byte a tick, and
// random pieces for many seeds. Every replay must give the replies, parameter values, view
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
#include "session/uSubmitSequence.h"
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

// How a device talks: what it sends after each prompt and how it ends its lines.
struct TDialect {
  std::string AfterPrompt;
  std::string LineEnd;
  TSimRoute Route = TSimRoute::Tcp;
};

std::string Describe(const TDialect& Dialect) {
  return std::string(Dialect.Route == TSimRoute::Serial ? "serial, banner waiting" : "TCP") +
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
// "i?" Status, "r?" Registers, "program" a submission, "diag" Diagnostics.
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
      SendSubmitPlan(
          PlanSubmit(FParams, {"r100=77", "r200=off", "r400=Depot south"}),
          [this](const std::string& Bytes) { FDialogue.WriteAnswered(Bytes); },
          [this](const std::string& Text, uint32_t Timeout) {
            FDialogue.SendCommand(Text, Timeout, [this] {
              Record("programmed", false);
              Request("r?", true, "");
            });
          });
    } else if (Action == "diag") {
      Request("r?", false, "i?");
    } else if (!Action.empty() && Action != "login") {
      Request(Action, true, "");
    }
  }
  void Tick(const std::string& Arriving) {
    FLink.Receive(Arriving);
    FDialogue.Tick();
    FSeen[Sent] += FLink.Sent();
  }
  // Ticks enough for the views to take everything the fork holds.
  void Settle() {
    for (int i = 0; i < 12; ++i) Tick("");
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
  void Record(const std::string& What, bool Fill) {
    if (Fill) FParams.Clear();
    FSeen[Replies] += What + ":";
    for (TResponseSplitter& reply = FDialogue.Splitter(); !reply.IsEmpty();) {
      const std::string line = reply.NextLine();
      FSeen[Replies] += line + "|";
      if (Fill) FParams.AddLine(line);
    }
    FSeen[Replies] += "\n  list ";
    for (int32_t i = 0; i < FParams.Count(); ++i) FSeen[Replies] += FParams.GetLine(i) + "|";
    FSeen[Replies] += "\n";
  }

  uint32_t FNow = 5000;  // the clock stands still: no deadline passes in a replay
  TParameterList FParams;
  TLink FLink;
  TDialogue FDialogue{FParams, Host(), [this] { return FNow; }};
  TSeen FSeen;
  size_t FHandedOver = 0;
};

// An event line after the first line end of Bytes, and a modem-trace line after the second.
std::string Interleave(std::string Bytes, int Turn, const std::string& LineEnd) {
  const size_t first = Bytes.find(LineEnd);
  if (first == std::string::npos) return Bytes;
  const size_t second = Bytes.find(LineEnd, first + LineEnd.size());
  if (second != std::string::npos)
    Bytes.insert(second + LineEnd.size(),
                 simtext::ModemTraceLine("ATDT0800555014" + std::to_string(Turn)));
  Bytes.insert(first + LineEnd.size(),
               simtext::EventLine("Input 2 changed, turn " + std::to_string(Turn)));
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
  TSimSession session(device, config, nullptr);
  TWindow window(Dialect.Route);
  std::vector<TStep> steps;
  const auto play = [&](const std::string& Action, const std::string& Bytes) {
    steps.push_back({Action, Interleave(Bytes, static_cast<int>(steps.size()), Dialect.LineEnd)});
    window.Tick(steps.back().Bytes);
    window.Settle();
  };
  // On the debug port the device was put into debug mode first: its banner and prompt wait
  // for the port to open, and reach the window only after its version request went out.
  std::string waiting = Dialect.Route == TSimRoute::Serial
                            ? TSimSession::DebugGreeting(device, config)
                            : std::string();
  session.Start(0);
  for (const std::string action : {"login", "i?", "r?", "", "program", "diag"}) {
    if (action.empty()) {
      play(action, InDialect(device.NextTerminalText(), Dialect));
      continue;
    }
    window.Do(action);
    // The answer, then the answers to what the window sends on from its completions.
    std::string done = action;
    for (;;) {
      session.Receive(window.Written(), 0);
      std::string bytes = std::exchange(waiting, std::string());
      for (auto piece = session.Output().Peek(0); !piece.empty();
           piece = session.Output().Peek(0)) {
        bytes.append(piece);
        session.Output().Consume(piece.size(), 0);
      }
      if (bytes.empty()) break;
      play(done, bytes);
      done.clear();
    }
  }
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
    const std::string last = std::to_string(steps.size() - 1);  // the last answer's turn
    EXPECT_NE(whole[Events].find("turn " + last), std::string::npos);
    EXPECT_NE(whole[Modem].find("ATDT0800555014" + last), std::string::npos);
    EXPECT_NE(whole[Terminal].find("counting"), std::string::npos);
    // No prompt shown but the one that waited at the open, with the banner before it.
    const size_t prompts = route == TSimRoute::Serial ? 1 : 0;
    EXPECT_EQ(whole[Terminal].find("<Tallybox") == std::string::npos, prompts == 0);
    EXPECT_EQ(whole[Terminal].find("Type help") == std::string::npos, prompts == 0);
    EXPECT_EQ(whole[Terminal].find("<Tallybox"), whole[Terminal].rfind("<Tallybox"));

    for (const std::string after : {"", " ", "\r\n", "\x1b[K"}) {
      for (const std::string end : {"\r\n", "\n", "\r"}) {
        const TDialect dialect{after, end, route};
        if (after.empty() && end == "\r\n") continue;
        SCOPED_TRACE(Describe(dialect));
        const std::vector<TStep> spoken = RecordSession(dialect);
        std::string all;
        for (const TStep& step : spoken) all += step.Bytes;
        EXPECT_NE(all.find(">\x1b[0m" + after), std::string::npos);
        EXPECT_NE(all.find("i900=1.10" + end), std::string::npos);
        EXPECT_EQ(all.find("i900=1.10\r\n") == std::string::npos, end != "\r\n");
        const TSeen seen = ReplayWholeAndInPieces(spoken, route, kDialectSeeds);
        EXPECT_EQ(seen[Replies], whole[Replies]);
        EXPECT_EQ(seen[Sent], whole[Sent]);
        EXPECT_NE(seen[Events].find("turn " + last), std::string::npos);
        EXPECT_NE(seen[Terminal].find("counting"), std::string::npos);
      }
    }
  }
}
