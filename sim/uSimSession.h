// One link to the simulated device, TCP or the serial debug port: the login with its three
// tries, line assembly from the received bytes (echoed on the debug port), reply framing with
// the prompt, unsolicited events, terminal text and modem trace on timers, and the fault
// options, a restart in place of a reply among them. Transports feed it bytes and write out
// what its output queue holds.
#pragma once

#include "sim/uSimOutput.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

class TSimDevice;

enum class TSimRoute { Tcp, Serial };

struct TSimSessionConfig {
  TSimRoute Route = TSimRoute::Tcp;
  std::string Password = "tallybox";
  uint32_t EventIntervalMs = 15000;  // 0: no timed events
  uint32_t TextIntervalMs = 30000;   // 0: no timed terminal text
  uint32_t ModemIntervalMs = 20000;  // serial only; 0: no timed modem trace
  uint32_t ReplyDelayMs = 0;
  std::size_t SplitBytes = 0;
  bool SplitRandom = false;  // pieces of 1..SplitBytes, gaps of 0..SplitGapMs
  uint32_t SplitGapMs = 2;
  uint32_t Baud = 0;  // 0: unpaced
  std::size_t DropAfterBytes = 0;
  std::size_t DropAfterPasswordBytes = 0;  // TCP: counted from the password's acceptance
  std::string DropOnCommand;
  std::string RestartOnCommand;  // the first time it arrives the device restarts instead
  bool NoPrompt = false;
  std::string AfterPrompt;            // sent right after every prompt, as a console's "$ " blank
  std::string LineEnd = "\r\n";       // ends the lines of replies, banner and terminal text
  std::string EventLineEnd = "\r\n";  // ends event and modem-trace lines
  bool BannerOnOpen = false;          // serial: banner and prompt wait before the port is opened
  bool Echo = true;                   // serial: each received byte is echoed in debug mode
  bool ByePrompt = false;        // serial: "bye" is answered; by default the device just leaves
  bool EchoBurst = false;        // serial: lines are answered once the input has gone quiet
  std::size_t FloodBytes = 0;    // events sent in one burst after login
  std::size_t GarbageBytes = 0;  // random bytes sent after login
  uint32_t Seed = 1;
  uint32_t SessionNumber = 0;  // varies the random pieces from one connection to the next
};

class TSimSession {
 public:
  using TLineSink = std::function<void(const std::string&)>;

  static constexpr std::size_t kMaxLine = 1024;
  static constexpr int kPasswordTries = 3;
  // Unsolicited traffic is skipped while this much waits unsent (nobody is reading).
  static constexpr std::size_t kBacklogLimit = std::size_t{256} * 1024;
  // With EchoBurst, received lines wait for this long a pause in the input.
  static constexpr uint64_t kBurstQuietMs = 20;

  TSimSession(TSimDevice& Device, const TSimSessionConfig& Config, TLineSink OnLine);

  // What a device put into debug mode writes at once, before anyone holds the port open: its
  // banner and prompt, in the configured line ends and with the text after the prompt.
  static std::string DebugGreeting(const TSimDevice& Device, const TSimSessionConfig& Config);

  // The link has just opened: TCP asks for the password, the debug port is ready at once.
  void Start(uint64_t NowMs);
  // Takes received bytes: lines end at CR, LF or CR LF; NUL is ignored; a line longer than
  // kMaxLine is refused as a whole. In debug mode on the serial route each byte is echoed
  // at once (a line end as CR LF, a backspace as BS blank BS), before any reply to the line;
  // with EchoBurst the lines wait there for Tick.
  void Receive(std::string_view Bytes, uint64_t NowMs);
  // Answers the lines held back by EchoBurst once the input has been quiet for
  // kBurstQuietMs, and queues the unsolicited traffic whose timers have run out.
  void Tick(uint64_t NowMs);
  // An event line (for example a register change), sent only to a logged-in session.
  void QueueEvent(const std::string& Text, uint64_t NowMs);

  TSimOutput& Output() { return FOutput; }
  bool LoggedIn() const { return FState == TState::Ready; }
  // The line must be dropped now: a fault, or the end of a session once its output has left.
  bool MustDrop() const;
  // Received bytes are to be read now: not while the replies already queued wait unread, so
  // a peer that only sends cannot make the device hoard its answers.
  bool WantsInput() const { return FOutput.Pending() < kBacklogLimit; }
  // The earliest time after NowMs at which Tick has something to do or held-back output falls
  // due. Output already due is not a time to wake: it waits for the link to take it.
  uint64_t NextWakeMs(uint64_t NowMs) const;

 private:
  enum class TState { Password, Ready, Ended, Closing };
  struct TLine {
    std::string Text;
    bool TooLong = false;
  };

  // Adds C to the line being typed and its echo to Echo; true when C ends the line.
  bool TakeByte(char C, std::string& Echo);
  void EndLine(uint64_t NowMs);
  void Answer(const TLine& Line, uint64_t NowMs);
  bool HoldsLines() const;
  void AnswerHeldLines(uint64_t NowMs);
  bool Echoes() const;
  void HandleLine(const std::string& Line, uint64_t NowMs);
  void HandlePassword(const std::string& Line, uint64_t NowMs);
  void RefusePassword(uint64_t NowMs);
  void RefuseOverlongLine(uint64_t NowMs);
  void HandleCommand(const std::string& Line, uint64_t NowMs);
  void BeginReady(uint64_t NowMs);
  // Starts again as after power-on, in place of the reply to the line just received.
  void Restart(uint64_t NowMs);
  std::string TcpGreeting() const;
  void Reply(std::string Text, uint64_t NowMs);
  // The prompt with the text after it; empty with NoPrompt.
  std::string Prompt() const;
  // Text with its CR LF line ends written as the configured ones.
  std::string Lines(const std::string& Text) const;
  void QueueUnsolicited(std::string Bytes, uint64_t NowMs);
  void QueueFlood(uint64_t NowMs);
  void QueueGarbage(uint64_t NowMs);

  TSimDevice& FDevice;
  TSimSessionConfig FConfig;
  TLineSink FOnLine;
  TSimOutput FOutput;
  std::mt19937 FRandom;
  TState FState = TState::Password;
  int FWrongTries = 0;
  bool FDropNow = false;
  bool FRestarted = false;
  std::string FLine;
  bool FLineTooLong = false;
  bool FLastWasCr = false;
  std::vector<TLine> FHeld;  // ended lines not yet answered (EchoBurst)
  uint64_t FLastInputMs = 0;
  uint64_t FNextEvent = TSimOutput::kNever;
  uint64_t FNextText = TSimOutput::kNever;
  uint64_t FNextModem = TSimOutput::kNever;
};
