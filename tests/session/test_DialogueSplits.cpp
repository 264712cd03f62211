// A real link hands the device's output over a few bytes at a time. A whole session with the
// simulated device (login through the password request, version, status, registers, a
// programming run read back, diagnostics, with event and modem-trace lines interleaved) is
// recorded once, then replayed cut into pieces: one byte a tick, and random pieces for
// thousands of seeds. Every replay must give the replies, parameter values, view text and
// bytes sent of the replay that got each of the device's answers whole.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
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
constexpr uint32_t kSeeds = 300;
#else
constexpr uint32_t kSeeds = 3000;
#endif

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
  TWindow() {
    FDialogue.Reset(&FLink);
    FDialogue.Opened(false);
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

// An event line after the first line of Bytes, and a modem-trace line after the second.
std::string Interleave(std::string Bytes, int Turn) {
  const size_t first = Bytes.find("\r\n");
  if (first == std::string::npos) return Bytes;
  const size_t second = Bytes.find("\r\n", first + 2);
  if (second != std::string::npos)
    Bytes.insert(second + 2, simtext::ModemTraceLine("ATDT0800555014" + std::to_string(Turn)));
  Bytes.insert(first + 2, simtext::EventLine("Input 2 changed, turn " + std::to_string(Turn)));
  return Bytes;
}

// The session with the simulated device, each answer fed whole as it is recorded.
std::vector<TStep> RecordSession() {
  TSimDevice device("1.10", 0);
  TSimSessionConfig config;
  config.EventIntervalMs = config.TextIntervalMs = config.ModemIntervalMs = 0;
  TSimSession session(device, config, nullptr);
  TWindow window;
  std::vector<TStep> steps;
  const auto play = [&](const std::string& Action, const std::string& Bytes) {
    steps.push_back({Action, Interleave(Bytes, static_cast<int>(steps.size()))});
    window.Tick(steps.back().Bytes);
    window.Settle();
  };
  session.Start(0);
  for (const std::string action : {"login", "i?", "r?", "", "program", "diag"}) {
    if (action.empty()) {
      play(action, device.NextTerminalText());
      continue;
    }
    window.Do(action);
    // The answer, then the answers to what the window sends on from its completions.
    std::string done = action;
    for (;;) {
      session.Receive(window.Written(), 0);
      std::string bytes;
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
TSeen Replay(const std::vector<TStep>& Steps,
             const std::function<std::vector<std::string>(const std::string&)>& Cut,
             std::mt19937* Merge = nullptr) {
  TWindow window;
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

}  // namespace

TEST(DialogueSplits, EverySplitOfARecordedSessionGivesWhatTheWholeAnswersGive) {
  const std::vector<TStep> steps = RecordSession();
  const TSeen whole =
      Replay(steps, [](const std::string& Bytes) { return std::vector<std::string>{Bytes}; });
  // The session did what it should before anything is compared with it.
  for (const char* reply :
       {"logged in:\n  list i900=1.10|", "\ni?:i100=", "\nr?:r100=42 ", "\nprogrammed:\n",
        "\nr?:r100=77 ", "|r400=Depot south|", "\ni?:i100=", "\ndiag:Tallybox diagnostics"})
    EXPECT_NE(whole[Replies].find(reply), std::string::npos) << reply << "\n" << whole[Replies];
  EXPECT_NE(whole[Events].find("turn 11"), std::string::npos);
  EXPECT_NE(whole[Modem].find("ATDT080055501411"), std::string::npos);
  EXPECT_NE(whole[Terminal].find("counting"), std::string::npos);
  EXPECT_EQ(whole[Terminal].find("<Tallybox"), std::string::npos);  // no prompt shown

  EXPECT_EQ(Replay(steps,
                   [](const std::string& Bytes) {
                     std::vector<std::string> pieces;
                     for (char c : Bytes) pieces.emplace_back(1, c);
                     return pieces;
                   }),
            whole)
      << "a byte a tick";
  for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
    std::mt19937 random(seed);
    const size_t largest = 1 + random() % 48;
    const auto cut = [&](const std::string& Bytes) {
      std::vector<std::string> pieces;
      for (size_t at = 0; at < Bytes.size(); at += pieces.back().size())
        pieces.push_back(Bytes.substr(at, 1 + random() % largest));
      return pieces;
    };
    ASSERT_EQ(Replay(steps, cut, &random), whole) << "seed " << seed;
  }
}
