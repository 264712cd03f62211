// A real link hands the device's output over a few bytes at a time. A whole session with the
// simulated device (login through the password request, version, status, registers, a
// programming run read back, diagnostics, with event and modem-trace lines interleaved) is
// recorded once, then replayed cut into pieces: one byte a tick, and random pieces for
// thousands of seeds. Every replay must give the replies, parameter values, view text and
// bytes sent of the replay that got each of the device's answers whole.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "app/core/uDialogue.h"
#include "app/core/uSubmitSequence.h"
#include "dispatch/uTerminalDispatcher.h"
#include "sim/uSimDevice.h"
#include "sim/uSimSession.h"
#include "sim/uSimText.h"

namespace {

// The device's end of the link: bytes go into the dispatcher's input queue, and what the
// dialogue wrote is read back from its output queue; no thread.
class TLink : public TTerminalDispatcher {
 public:
  void Receive(const std::string& Bytes) {
    AppendInput(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  }
  std::string Sent() {
    std::string out;
    for (int32_t n; (n = TakeOutput(false)) > 0;) out.append(FBuffer, static_cast<size_t>(n));
    return out;
  }
};

// What a person and the device could tell apart.
struct TSeen {
  std::vector<std::string> Replies;  // each completion and the reply lines it was handed
  std::string Params;                // the parameter list at each completion
  std::string Terminal, Events, Modem, Sent;
  bool operator==(const TSeen&) const = default;
};

void PrintTo(const TSeen& Seen, std::ostream* Out) {
  for (const std::string& reply : Seen.Replies) *Out << "\n  reply " << reply;
  *Out << "\n  terminal " << simtext::Printable(Seen.Terminal) << "\n  events "
       << simtext::Printable(Seen.Events) << "\n  modem " << simtext::Printable(Seen.Modem)
       << "\n  sent " << simtext::Printable(Seen.Sent);
}

enum class TAction { None, Status, Registers, Program, Diagnostics };

struct TStep {
  TAction Action;
  std::string Bytes;  // the device's answer to it
};

// Plays the main window on a dialogue: its completions, its programming run and diagnostics.
class TWindow {
 public:
  TWindow() {
    FDialogue.Reset(&FLink);
    FDialogue.Opened(false);
  }

  void Do(TAction Action) {
    switch (Action) {
      case TAction::None:
        break;
      case TAction::Status:
        FDialogue.SendCommand("i?", TDialogue::CommandTimeout, Filling("status"));
        break;
      case TAction::Registers:
        FDialogue.SendCommand("r?", TDialogue::CommandTimeout, Filling("registers"));
        break;
      case TAction::Program:
        SendSubmitPlan(
            PlanSubmit(FParams, {"r100=77", "r200=off", "r400=Depot south"}),
            [this](const std::string& Bytes) { FDialogue.WriteAnswered(Bytes); },
            [this](const std::string& Text, uint32_t Timeout) {
              FDialogue.SendCommand(Text, Timeout, [this] {
                Record("programmed");
                FDialogue.SendCommand("r?", TDialogue::CommandTimeout, Filling("read back"));
              });
            });
        break;
      case TAction::Diagnostics:
        FDialogue.SendCommand("r?", TDialogue::CommandTimeout, [this] {
          Record("diag r?");
          FDialogue.SendCommand("i?", TDialogue::CommandTimeout, [this] {
            Record("diag i?");
            FDialogue.SendCommand("diag", TDialogue::CommandTimeout, [this] { Record("diag"); });
          });
        });
        break;
    }
  }
  // Bytes arrive, then one pump tick.
  void Tick(const std::string& Arriving) {
    if (!Arriving.empty()) FLink.Receive(Arriving);
    FDialogue.Tick();
    FSeen.Sent += FLink.Sent();
  }
  // Ticks enough for the views to take everything the fork holds.
  void Settle() {
    for (int i = 0; i < 12; ++i) Tick("");
  }
  // What the dialogue wrote since the last call, for the device.
  std::string Written() {
    FSeen.Sent += FLink.Sent();
    const std::string sent = FSeen.Sent.substr(FHandedOver);
    FHandedOver = FSeen.Sent.size();
    return sent;
  }
  bool Busy() const { return FDialogue.Busy(); }
  const TSeen& Seen() const { return FSeen; }

 private:
  TDialogueHost Host() {
    TDialogueHost host;
    host.TerminalWrite = [this](const std::string& Text) { FSeen.Terminal += Text; };
    host.AddEvents = [this](const std::string& Text) { FSeen.Events += Text; };
    host.AddModemTrace = [this](const std::string& Text) { FSeen.Modem += Text; };
    host.AskPassword = [this] { FDialogue.SendPassword("tallybox"); };
    host.LoggedIn = [this] { Record("logged in"); };
    return host;
  }
  void Record(const std::string& What) {
    std::string reply = What + ":";
    while (!FDialogue.Splitter().IsEmpty()) reply += FDialogue.Splitter().NextLine() + "|";
    FSeen.Replies.push_back(reply);
    for (int32_t i = 0; i < FParams.Count(); ++i) FSeen.Params += FParams.GetLine(i) + "|";
    FSeen.Params += "\n";
  }
  TCompletion Filling(const std::string& What) {
    return [this, What] {
      FParams.Clear();
      TResponseSplitter copy = FDialogue.Splitter();
      while (!copy.IsEmpty()) FParams.AddLine(copy.NextLine());
      Record(What);
    };
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
  const uint64_t now = 1000;
  TWindow window;
  std::vector<TStep> steps;
  const auto answer = [&] {
    session.Receive(window.Written(), now);
    std::string bytes;
    for (auto piece = session.Output().Peek(now); !piece.empty();
         piece = session.Output().Peek(now)) {
      bytes.append(piece);
      session.Output().Consume(piece.size(), now);
    }
    return bytes;
  };
  const auto play = [&](TAction Action, const std::string& Bytes) {
    steps.push_back({Action, Interleave(Bytes, static_cast<int>(steps.size()))});
    window.Tick(steps.back().Bytes);
    window.Settle();
  };
  session.Start(now);
  // None stands for free terminal text while nothing is asked.
  for (const TAction action : {TAction::None, TAction::Status, TAction::Registers, TAction::None,
                               TAction::Program, TAction::Diagnostics}) {
    if (action == TAction::None && !steps.empty()) {
      play(action, device.NextTerminalText());
      continue;
    }
    window.Do(action);
    // The answer, then the answers to whatever the window sends on from its completions.
    TAction done = action;
    for (std::string bytes = answer(); !bytes.empty(); bytes = answer()) {
      play(done, bytes);
      done = TAction::None;
    }
  }
  return steps;
}

// Replays the steps, each answer cut by Cut into pieces that arrive one or more a tick.
TSeen Replay(const std::vector<TStep>& Steps,
             const std::function<std::vector<std::string>(const std::string&)>& Cut,
             std::mt19937* Ticks = nullptr) {
  TWindow window;
  for (const TStep& step : Steps) {
    window.Do(step.Action);
    std::string held;
    for (const std::string& piece : Cut(step.Bytes)) {
      held += piece;
      if (Ticks && (*Ticks)() % 4 == 0) continue;  // this piece and the next in one tick
      window.Tick(held);
      held.clear();
    }
    window.Tick(held);
    window.Settle();
  }
  return window.Seen();
}

std::vector<std::string> Whole(const std::string& Bytes) {
  return {Bytes};
}

std::vector<std::string> Bytewise(const std::string& Bytes) {
  std::vector<std::string> pieces;
  for (char c : Bytes) pieces.emplace_back(1, c);
  return pieces;
}

}  // namespace

TEST(DialogueSplits, EverySplitOfARecordedSessionGivesWhatTheWholeAnswersGive) {
  const std::vector<TStep> steps = RecordSession();
  const TSeen whole = Replay(steps, Whole);
  // The session did what it should before anything is compared with it.
  ASSERT_EQ(whole.Replies.size(), 8u);
  EXPECT_NE(whole.Params.find("i900=1.10|"), std::string::npos);
  EXPECT_EQ(whole.Replies[3], "programmed:");
  EXPECT_NE(whole.Replies[4].find("read back:r100=77 "), std::string::npos) << whole.Replies[4];
  EXPECT_NE(whole.Params.find("r400=Depot south|"), std::string::npos);
  EXPECT_NE(whole.Events.find("turn 11"), std::string::npos);
  EXPECT_NE(whole.Modem.find("ATDT080055501411"), std::string::npos);
  EXPECT_NE(whole.Terminal.find("counting"), std::string::npos);
  EXPECT_EQ(whole.Terminal.find("<Tallybox"), std::string::npos);  // no prompt shown

  const TSeen bytewise = Replay(steps, Bytewise);
  EXPECT_EQ(bytewise.Replies, whole.Replies);
  EXPECT_EQ(bytewise.Params, whole.Params);
  EXPECT_EQ(bytewise, whole);

  for (uint32_t seed = 1; seed <= 3000; ++seed) {
    std::mt19937 random(seed);
    const size_t largest = 1 + random() % 48;
    const TSeen split = Replay(
        steps,
        [&](const std::string& Bytes) {
          std::vector<std::string> pieces;
          for (size_t at = 0; at < Bytes.size();) {
            const size_t size = 1 + random() % largest;
            pieces.push_back(Bytes.substr(at, size));
            at += size;
          }
          return pieces;
        },
        &random);
    ASSERT_EQ(split, whole) << "seed " << seed;
  }
}
