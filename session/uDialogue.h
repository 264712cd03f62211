// The device dialogue without widgets: every pump tick drains the connection into the stream
// fork, then logs in, frames the reply of the one outstanding command at the device's prompt
// (or its time-out) and passes free text to the views. The main window and the command-line
// tool drive it and hear from it through TDialogueHost and the completions.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "params/uStorage.h"
#include "rtl/Tick.h"
#include "session/uDebugPort.h"
#include "session/uRestartSign.h"
#include "streams/uStreamFork.h"

class TSessionLog;
class TTerminalDispatcher;

enum TDialogueState : uint8_t { ssIdle = 0, ssLogin = 1, ssCommand = 2 };

// Runs when the reply is in the splitter, or when the time-out passed first (it cannot tell).
using TCompletion = std::function<void()>;

// What the host does for the dialogue; any of them may be empty. A callback may run a nested
// event loop in which the connection closes: the dialogue re-checks after each one.
// The views get everything waiting at each tick in one call: a view that keeps only its last
// lines need draw only those.
struct TDialogueHost {
  std::function<void(const std::string& Text)> TerminalWrite;  // terminal text
  std::function<void(const std::string& Text)> AddEvents;      // event lines
  std::function<void(const std::string& Text)> AddModemTrace;  // modem-trace lines
  // Bytes meant for the view of Segment went unseen (nobody took them in time, or the
  // connection closed with them still queued); comes before that view's next text.
  std::function<void(int32_t Segment, int64_t Bytes)> Dropped;
  // The outstanding request ended without its reply, for the reason given; its completion
  // runs right after, as after a time-out.
  std::function<void(const std::string& Why)> RequestFailed;
  std::function<void()> AskPassword;  // the device asked for the password
  std::function<void()> CloseSoon;    // the login prompt came: the progress may go
  // The version reply is in the parameter list: choose the page folder, enable the device
  // actions, show the home page. The idle poll is sent after it returns.
  std::function<void()> LoggedIn;
};

class TDialogue {
 public:
  static constexpr uint32_t CommandTimeout = 2000;
  static constexpr uint32_t ByeTimeout = 1000;
  static constexpr uint32_t ProgrammingTimeout = 10000;
  static constexpr uint32_t IdleInterval = 30000;
  static constexpr uint32_t DisconnectQuiet = 120000;
  static constexpr int32_t ReadSize = 1024;
  static constexpr int32_t LineTimeout = 2000;
  // A fork segment holds at most this much text nobody has taken; a reply is never cut, so
  // a longer one ends its request instead.
  static constexpr int64_t SegmentLimit = 8 << 20;
  // What one tick may spend reading the connection before the views get what it read; the
  // rest waits for the next tick, which the host then runs at once (Behind).
  static constexpr std::chrono::milliseconds TickBudget{20};
  // Nor more than this many reads (256 KiB): what the views then draw stays small too.
  static constexpr uint32_t TickReads = 256;
  // At close each view still gets the last this-many bytes waiting for it; older ones go.
  static constexpr int64_t LastWordsLimit = 64 << 10;
  static constexpr uint32_t OpeningQuiet = TDebugPort::OpeningQuiet;
  static constexpr uint32_t EchoGrace = TDebugPort::EchoGrace;

  // Params receives the version reply at login; it must outlive the dialogue. Now is the
  // millisecond tick source (tests inject one).
  TDialogue(
      TParameterList& Params, TDialogueHost Host,
      std::function<uint32_t()> Now = [] { return GetTickCount(); });
  TDialogue(const TDialogue&) = delete;
  TDialogue& operator=(const TDialogue&) = delete;

  // Connect: the fork is emptied, nothing is outstanding, state ssIdle, Dispatcher (may be
  // none) becomes current. The dialogue never owns or frees it.
  void Reset(TTerminalDispatcher* Dispatcher);
  // The connection opened: serial shows what waits at the open, then asks for the version
  // (ssCommand); TCP and dial-up wait for the login (ssLogin).
  void Opened(bool Serial);
  // The connection closed: what one tick's budget can read of the dispatcher's input goes
  // through the fork and the last LastWordsLimit bytes waiting for each view reach it; what is
  // left is dropped and reported through Dropped (the dispatcher's remainder to the events
  // view). Then the dispatcher is forgotten and nothing is outstanding any more. The state
  // stays as it was (the host tells a failed login by ssLogin). No-op without one.
  void Closed();
  // TCP and dial-up: the dispatcher is terminated at once. Serial: "bye" is sent and its
  // completion terminates; with a request outstanding the bye waits for its reply or time-out
  // (every other request is dropped from now on), or terminates at once when that request has
  // no deadline. No-op without a dispatcher.
  void Disconnect(bool Serial);
  // The debug port: "bye" is written and nothing more is asked, for a caller that ends the
  // connection once it has left rather than wait for what the device may or may not answer.
  void SayBye();

  // One pump tick. True while a dispatcher is current (re-arm the pump timer). Does nothing
  // without one, or before it opened (nothing can be sent to a device not yet reached).
  bool Tick();
  // The last tick ran out of its budget with bytes still waiting: tick again soon.
  bool Behind() const { return FBehind; }
  // Bytes handed to the views, and bytes meant for them but dropped, since the dialogue began.
  int64_t BytesShown() const { return FBytesShown; }
  int64_t BytesDropped() const { return FBytesDropped; }

  // Starts a request: Text + CR LF is written, the splitter cleared, Completion runs on the
  // reply or after Timeout ms (0: no time-out). The reply is what arrives after the request went
  // out, up to the prompt: text waiting before goes to the terminal first, and so do the blanks,
  // line ends and erase sequences a device sends after its prompt, which may come late. On the
  // debug port an echo of the request, where the device gives one, is no part of the reply, and
  // what came before it goes to the terminal. Refused (false, nothing sent) without a
  // dispatcher, while the debug port is still opening, while disconnecting, or while a request
  // is outstanding; one request made while only the idle poll is outstanding waits and is sent
  // when the poll ends (true).
  bool SendCommand(const std::string& Text, uint32_t Timeout, TCompletion Completion);
  // Whether SendCommand would take a request now (send it, or let it wait for the idle poll).
  bool CanSend() const;
  // Bytes written straight to the dispatcher, no request (typed keys, programming lines, the
  // modem line). Nothing without a dispatcher.
  void Write(const std::string& Bytes);
  // Bytes holding one line the device answers with a prompt of its own though no request
  // waits for it (the programming lines before the last). One prompt is passed over for each
  // such line, whatever the state, so the next request completes at its own prompt, not at
  // theirs; the replies to those lines go to the terminal view.
  void WriteAnswered(const std::string& Bytes);
  // Empty when Password can be sent as one line, else the reason it cannot.
  static std::string PasswordRefusal(const std::string& Password);
  // Writes Password + CR LF. Refused (false, nothing sent) when PasswordRefusal is not empty
  // or no dispatcher is current.
  bool SendPassword(const std::string& Password);

  void StartResponseTimer();
  void RestartIdleTimer();
  void RequestVersion();
  void VersionReceived();
  void SendIdlePoll();
  void IdlePollDone();
  void ByeDone();
  // A deadline passed when it was reached less than about 12.4 days ago (ticks wrap).
  bool DeadlinePassed(uint32_t Deadline) const;

  // The time-out of the version request and the idle poll (CommandTimeout unless set).
  void SetCommandTimeout(uint32_t Ms) { FCommandTimeout = Ms; }
  // Off: no "i900?" beyond the login's own (a caller that asks and leaves).
  void SetIdlePolls(bool On) { FIdlePolls = On; }

  // Log (may be none; the host owns it) hears every byte read from and written to the
  // dispatcher, and when the device asks for the password; it is ticked with the dialogue.
  void SetLog(TSessionLog* Log) { FLog = Log; }

  TTerminalDispatcher* Dispatcher() const { return FDispatcher; }
  TDialogueState State() const { return FDialogueState; }
  bool Busy() const { return FBusy; }
  // The debug port is still showing what waited at its open; no request goes out yet.
  bool Opening() const { return FPort.Opening(); }
  // Whether the request completed last ran out of time instead of reaching its prompt; read
  // it in the completion, which cannot tell otherwise. False before any request completed.
  bool LastRequestTimedOut() const { return FTimedOut; }
  // Why the request completed last ended without its reply other than by its time-out (the
  // reply passed SegmentLimit, or the device started afresh instead of answering); empty
  // otherwise. LastRequestTimedOut is true then too.
  const std::string& LastRequestError() const { return FLastError; }
  // How many of the lines written by WriteAnswered before the request completed last were
  // still without their prompt when it ended (0 when it was answered).
  int32_t LastUnansweredLines() const { return FLastUnanswered; }
  // Bytes that came from the device since the password was sent (none before it was).
  int64_t BytesSincePassword() const { return FSincePassword; }
  // The debug port's echo of the request completed last, without its line end; empty where
  // none came (TCP, a port that does not echo).
  const std::string& LastEcho() const { return FEchoText; }
  // How many bytes of reply the request completed last had, without the blanks before it.
  int64_t LastReplyBytes() const { return FReplyBytes; }
  uint32_t ResponseDeadline() const { return FResponseDeadline; }
  uint32_t IdleDeadline() const { return FIdleDeadline; }
  TStreamFork& Fork() { return FFork; }
  TResponseSplitter& Splitter() { return FSplitter; }
  TParameterList& Params() { return FParams; }

  int32_t FSegTerminal = 0, FSegEvents = 0, FSegModem = 0;

 private:
  enum class TKind { User, Poll, Bye };
  struct TRequest {
    std::string Text;
    uint32_t Timeout;
    TCompletion Completion;
    TKind Kind;
  };

  bool Request(TRequest R);
  bool Drain(uint32_t Until);
  int64_t DropInput();
  bool EndOverlongReply(uint64_t Session);
  void EndRestarted(uint64_t Session, const std::string& Text);
  bool PasswordAsked();
  void PumpOpening(uint64_t Session);
  bool WholePromptWaiting();
  void PumpIdle(uint64_t Session);
  void PumpLogin(uint64_t Session);
  void PumpCommand(uint64_t Session);
  bool PassOverAnsweredLines(uint64_t Session, int32_t Limit);
  void Complete(uint64_t Session);
  void ShowAll();
  bool Show(int32_t Segment, const std::function<void(const std::string&)>& View);
  bool ShowBeforePrompt(uint64_t Session);
  bool ShowAhead(uint64_t Session);
  bool PassOverToEcho(uint64_t Session);
  bool HandOver(const std::string& Reply, const std::string& Open, uint64_t Session);
  std::string Take(int32_t Count);
  std::string Take(int32_t Segment, int64_t Count);
  bool Current(uint64_t Session) const { return FDispatcher && FSession == Session; }

  TParameterList& FParams;
  TDialogueHost FHost;
  std::function<uint32_t()> FNow;

  TTerminalDispatcher* FDispatcher = nullptr;
  TSessionLog* FLog = nullptr;
  TStreamFork FFork;
  TDialogueState FDialogueState = ssIdle;
  TResponseSplitter FSplitter;
  TCompletion FOnResponse;
  uint32_t FResponseTimeout = 0;
  uint32_t FResponseDeadline = 0;
  bool FBusy = false;
  uint32_t FIdleDeadline = 0;

  bool FTimedOut = false;
  std::string FLastError;
  std::string FRequestText;  // the outstanding request's command
  bool FBehind = false;
  int64_t FBytesShown = 0, FBytesDropped = 0;
  bool FOpened = false;
  bool FPollOutstanding = false;
  // Prompts still due for lines written by WriteAnswered: before the outstanding request's
  // own prompt, and after it (lines written while it was outstanding).
  int32_t FUnansweredPrompts = 0;
  int32_t FPromptsAfterCurrent = 0;
  bool FDisconnecting = false;
  TDebugPort FPort;
  TRestartSign FRestart;
  bool FRestarted = false;  // the outstanding request's reply showed a restart
  int32_t FLastUnanswered = 0;
  std::string FEchoText;
  int64_t FSincePassword = -1;  // -1: no password sent
  uint32_t FCommandTimeout = CommandTimeout;
  bool FIdlePolls = true;
  int64_t FReplyBytes = 0;
  int64_t FAhead = 0;        // terminal text that was waiting when the request went out
  bool FAfterLogin = false;  // the request went out as the login prompt came
  // The escape sequence the text taken from the terminal segment last ended in the middle of.
  std::string FOpenSequence;
  std::optional<TRequest> FWaiting;  // sent when the outstanding request ends
  uint64_t FSession = 0;             // changes whenever the dispatcher comes or goes
};
