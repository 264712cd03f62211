#include "sim/uSimSession.h"

#include "sim/uSimDevice.h"
#include "sim/uSimText.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

bool SameCommand(const std::string& A, const std::string& B) {
  auto trim = [](const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    return first == std::string::npos ? std::string()
                                      : s.substr(first, s.find_last_not_of(" \t") - first + 1);
  };
  const std::string a = trim(A), b = trim(B);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

uint64_t After(uint64_t NowMs, uint32_t IntervalMs) {
  return IntervalMs == 0 ? TSimOutput::kNever : NowMs + IntervalMs;
}

std::string WithLineEnds(const std::string& Text, const std::string& LineEnd) {
  if (LineEnd == simtext::kCrLf) return Text;
  std::string out;
  for (std::size_t at = 0;;) {
    const std::size_t end = Text.find(simtext::kCrLf, at);
    if (end == std::string::npos) return out + Text.substr(at);
    out += Text.substr(at, end - at) + LineEnd;
    at = end + simtext::kCrLf.size();
  }
}

std::string PromptOf(const TSimDevice& Device, const TSimSessionConfig& Config) {
  return Config.NoPrompt ? std::string() : simtext::Prompt(Device.Unit()) + Config.AfterPrompt;
}

}  // namespace

TSimSession::TSimSession(TSimDevice& Device, const TSimSessionConfig& Config, TLineSink OnLine)
    : FDevice(Device),
      FConfig(Config),
      FOnLine(std::move(OnLine)),
      FOutput(Config.SplitBytes, Config.SplitGapMs, Config.DropAfterBytes,
              {Config.SplitRandom, Config.Seed + Config.SessionNumber * 7919u, Config.Baud}),
      FRandom(Config.Seed) {}

std::string TSimSession::DebugGreeting(const TSimDevice& Device, const TSimSessionConfig& Config) {
  return WithLineEnds(Device.Banner(), Config.LineEnd) + PromptOf(Device, Config);
}

void TSimSession::Start(uint64_t NowMs) {
  if (FConfig.Route == TSimRoute::Serial) {
    BeginReady(NowMs);
    return;
  }
  FOutput.Queue(TcpGreeting(), NowMs);
}

std::string TSimSession::TcpGreeting() const {
  return Lines("\r\nTallybox " + FDevice.Unit() + " remote access\r\n" +
               std::string(simtext::kPasswordRequest) + "\r\n");
}

void TSimSession::Receive(std::string_view Bytes, uint64_t NowMs) {
  // The echo is gathered so that typing leaves in one write, and goes out before any reply.
  std::string echo;
  if (!Bytes.empty()) FLastInputMs = NowMs;
  for (char c : Bytes) {
    if (FDropNow) break;
    if (!TakeByte(c, echo)) continue;
    FOutput.Queue(std::move(echo), NowMs);
    echo.clear();
    EndLine(NowMs);
  }
  FOutput.Queue(std::move(echo), NowMs);
}

bool TSimSession::TakeByte(char C, std::string& Echo) {
  const bool lf = C == '\n';
  if (lf && FLastWasCr) {
    FLastWasCr = false;
    return false;
  }
  FLastWasCr = C == '\r';
  const bool echoes = Echoes();
  if (C == '\r' || lf) {
    // Every line end comes back as CR LF, so the reply starts on a line of its own.
    if (echoes) Echo += "\r\n";
    return true;
  }
  if (C == '\b' || C == 0x7f) {
    if (FLine.empty()) return false;  // nothing to rub out: the prompt stays
    FLine.pop_back();                 // the engineer typed a backspace
    if (echoes) Echo += "\b \b";
  } else if (C != '\0') {
    // Bytes past the line's room are neither kept nor echoed.
    if (FLine.size() < kMaxLine) {
      FLine += C;
      if (echoes) Echo += C;
    } else {
      FLineTooLong = true;
    }
  }
  return false;
}

void TSimSession::EndLine(uint64_t NowMs) {
  TLine line{std::exchange(FLine, {}), std::exchange(FLineTooLong, false)};
  if (HoldsLines())
    FHeld.push_back(std::move(line));
  else
    Answer(line, NowMs);
}

void TSimSession::Answer(const TLine& Line, uint64_t NowMs) {
  if (Line.TooLong)
    RefuseOverlongLine(NowMs);
  else
    HandleLine(Line.Text, NowMs);
}

bool TSimSession::HoldsLines() const {
  return FConfig.EchoBurst && FConfig.Route == TSimRoute::Serial;
}

void TSimSession::AnswerHeldLines(uint64_t NowMs) {
  // A line answered may drop the link; what follows it is never answered then.
  for (std::size_t i = 0; i < FHeld.size() && !FDropNow; ++i) Answer(FHeld[i], NowMs);
  FHeld.clear();
}

bool TSimSession::Echoes() const {
  // Only the debug port echoes, and only while the device is in debug mode.
  return FConfig.Echo && FConfig.Route == TSimRoute::Serial && FState == TState::Ready;
}

void TSimSession::HandleLine(const std::string& Line, uint64_t NowMs) {
  if (FOnLine) FOnLine(Line);
  switch (FState) {
    case TState::Password:
      HandlePassword(Line, NowMs);
      break;
    case TState::Ready:
      HandleCommand(Line, NowMs);
      break;
    case TState::Ended:
    case TState::Closing:
      break;  // out of debug mode, or on the way out: nothing is answered
  }
}

void TSimSession::HandlePassword(const std::string& Line, uint64_t NowMs) {
  if (Line == FConfig.Password) {
    if (FConfig.DropAfterPasswordBytes != 0) FOutput.DropAfterMore(FConfig.DropAfterPasswordBytes);
    Reply(Lines(FDevice.Banner()), NowMs);
    Reply(Prompt(), NowMs);
    BeginReady(NowMs);
    return;
  }
  RefusePassword(NowMs);
}

void TSimSession::RefusePassword(uint64_t NowMs) {
  if (++FWrongTries >= kPasswordTries) {
    Reply(Lines("Access denied\r\nToo many attempts, goodbye\r\n"), NowMs);
    FState = TState::Closing;
    return;
  }
  Reply(Lines("Access denied\r\n" + std::string(simtext::kPasswordRequest) + "\r\n"), NowMs);
}

void TSimSession::RefuseOverlongLine(uint64_t NowMs) {
  switch (FState) {
    case TState::Password:
      RefusePassword(NowMs);
      break;
    case TState::Ready:
      Reply(Lines("Line too long\r\n") + Prompt(), NowMs);
      break;
    case TState::Ended:
    case TState::Closing:
      break;
  }
}

void TSimSession::BeginReady(uint64_t NowMs) {
  FState = TState::Ready;
  FNextEvent = After(NowMs, FConfig.EventIntervalMs);
  FNextText = After(NowMs, FConfig.TextIntervalMs);
  FNextModem = FConfig.Route == TSimRoute::Serial ? After(NowMs, FConfig.ModemIntervalMs)
                                                  : TSimOutput::kNever;
  QueueFlood(NowMs);
  QueueGarbage(NowMs);
}

void TSimSession::HandleCommand(const std::string& Line, uint64_t NowMs) {
  if (!FConfig.DropOnCommand.empty() && SameCommand(Line, FConfig.DropOnCommand)) {
    FDropNow = true;
    return;
  }
  if (!FRestarted && !FConfig.RestartOnCommand.empty() &&
      SameCommand(Line, FConfig.RestartOnCommand)) {
    Restart(NowMs);
    return;
  }
  const bool serial = FConfig.Route == TSimRoute::Serial;
  const auto result = FDevice.Execute(Line, serial, NowMs);
  // Out of debug mode a device owes nothing more: most say no word.
  if (!(result.EndSession && serial && !FConfig.ByePrompt))
    Reply(Lines(result.Reply) + Prompt(), NowMs);
  if (result.ModemLine) {
    // What went to the modem, then the modem's answer.
    Reply(simtext::ModemTraceLine(result.Modem, FConfig.EventLineEnd), NowMs);
    Reply(simtext::ModemTraceLine("\r\nOK\r\n", FConfig.EventLineEnd), NowMs);
  }
  if (result.EndSession) {
    FState = FConfig.Route == TSimRoute::Serial ? TState::Ended : TState::Closing;
    FNextEvent = FNextText = FNextModem = TSimOutput::kNever;
  }
}

void TSimSession::Restart(uint64_t NowMs) {
  FRestarted = true;
  if (FConfig.Route == TSimRoute::Serial) {
    // Back in debug mode at once, as the device comes up with the port held there.
    Reply(DebugGreeting(FDevice, FConfig), NowMs);
    BeginReady(NowMs);
    return;
  }
  FState = TState::Password;
  FWrongTries = 0;
  FNextEvent = FNextText = FNextModem = TSimOutput::kNever;
  Reply(TcpGreeting(), NowMs);
}

void TSimSession::Reply(std::string Text, uint64_t NowMs) {
  // The clock counts whole milliseconds; one more keeps a delay at least as long as asked.
  const uint64_t delay = FConfig.ReplyDelayMs == 0 ? 0 : FConfig.ReplyDelayMs + 1;
  FOutput.Queue(std::move(Text), NowMs + delay);
}

std::string TSimSession::Prompt() const {
  return PromptOf(FDevice, FConfig);
}

std::string TSimSession::Lines(const std::string& Text) const {
  return WithLineEnds(Text, FConfig.LineEnd);
}

void TSimSession::QueueUnsolicited(std::string Bytes, uint64_t NowMs) {
  if (FOutput.Pending() < kBacklogLimit) FOutput.Queue(std::move(Bytes), NowMs);
}

void TSimSession::QueueEvent(const std::string& Text, uint64_t NowMs) {
  if (FState == TState::Ready)
    QueueUnsolicited(simtext::EventLine(Text, FConfig.EventLineEnd), NowMs);
}

void TSimSession::QueueFlood(uint64_t NowMs) {
  FOutput.Queue(simtext::FloodText(FConfig.FloodBytes, FConfig.EventLineEnd), NowMs);
}

void TSimSession::QueueGarbage(uint64_t NowMs) {
  std::string garbage(FConfig.GarbageBytes, '\0');
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& c : garbage) c = static_cast<char>(byte(FRandom));
  FOutput.Queue(std::move(garbage), NowMs);
}

void TSimSession::Tick(uint64_t NowMs) {
  if (!FHeld.empty() && NowMs >= FLastInputMs + kBurstQuietMs) AnswerHeldLines(NowMs);
  if (FState != TState::Ready) return;
  if (NowMs >= FNextEvent) {
    QueueUnsolicited(simtext::EventLine(FDevice.NextEventText(), FConfig.EventLineEnd), NowMs);
    FNextEvent = NowMs + FConfig.EventIntervalMs;
  }
  if (NowMs >= FNextText) {
    QueueUnsolicited(Lines(FDevice.NextTerminalText()), NowMs);
    FNextText = NowMs + FConfig.TextIntervalMs;
  }
  if (NowMs >= FNextModem) {
    QueueUnsolicited(simtext::ModemTraceLine(FDevice.NextModemTrace(), FConfig.EventLineEnd),
                     NowMs);
    FNextModem = NowMs + FConfig.ModemIntervalMs;
  }
}

bool TSimSession::MustDrop() const {
  return FDropNow || FOutput.DropReached() || (FState == TState::Closing && FOutput.Empty());
}

uint64_t TSimSession::NextWakeMs(uint64_t NowMs) const {
  const uint64_t due = FOutput.NextDue();
  const uint64_t held = FHeld.empty() ? TSimOutput::kNever : FLastInputMs + kBurstQuietMs;
  return std::min(
      {due > NowMs ? due : TSimOutput::kNever, held, FNextEvent, FNextText, FNextModem});
}
