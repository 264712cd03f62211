#include "session/uDialogue.h"

#include <algorithm>
#include <cstring>

#include "dispatch/uTerminalDispatcher.h"
#include "session/uPromptSearch.h"
#include "session/uSessionLog.h"

using namespace std::string_literals;

namespace {

const std::string CrLf = "\r\n";
const std::string PasswordRequest = "PASSWORD";
const std::string EventStart = "\0\t"s;
const std::string ModemStart = "\0\t\x1b[31mM:\""s;
const std::string VersionCommand = "i900?";
const std::string ByeCommand = "bye";
// Longer escape sequences than this are taken for text.
constexpr size_t MaxSequence = 32;

// The length of an escape sequence that Text ends in the middle of (0: none).
size_t UnfinishedSequence(const std::string& Text) {
  const size_t esc = Text.rfind('\x1b');
  if (esc == std::string::npos || Text.size() - esc > MaxSequence) return 0;
  if (esc + 1 < Text.size() && Text[esc + 1] != '[') return 0;
  for (size_t at = esc + 2; at < Text.size(); ++at)
    if (Text[at] < 0x20 || Text[at] > 0x3F) return 0;
  return Text.size() - esc;
}

}  // namespace

TDialogue::TDialogue(TParameterList& Params, TDialogueHost Host, std::function<uint32_t()> Now)
    : FParams(Params), FHost(std::move(Host)), FNow(std::move(Now)), FPort(FNow) {
  FFork.DeferStartPattern = true;
  FFork.SegmentLimit = SegmentLimit;
  FSegTerminal = FFork.AddSegment("", "", 0);
  FSegEvents = FFork.AddSegment(EventStart, CrLf, LineTimeout);
  FSegModem = FFork.AddSegment(ModemStart, CrLf, LineTimeout);
  // Devices end these lines as they end the others: CR LF, LF or CR alone.
  FFork.Segments(FSegEvents)->AnyLineEnd = true;
  FFork.Segments(FSegModem)->AnyLineEnd = true;
}

void TDialogue::Reset(TTerminalDispatcher* Dispatcher) {
  FFork.Reset();
  FDialogueState = ssIdle;
  FDispatcher = Dispatcher;
  FOpened = false;
  FBehind = false;
  ++FSession;
  FBusy = false;
  FPollOutstanding = false;
  FDisconnecting = false;
  FUnansweredPrompts = FPromptsAfterCurrent = 0;
  FWaiting.reset();
  FPort.Reset(false);
  FRestart.Clear();
  FSincePassword = -1;
  FAhead = 0;
  FOpenSequence.clear();
  if (FLog) FLog->SetPasswordAsked(false);
}

void TDialogue::Opened(bool Serial) {
  FOpened = true;
  FPort.Reset(Serial);
  if (Serial) {
    FPort.Opened();
  } else {
    FDialogueState = ssLogin;
  }
}

void TDialogue::Closed() {
  if (!FDispatcher) return;
  const int64_t undrained =
      Drain(FNow() + static_cast<uint32_t>(TickBudget.count())) ? 0 : DropInput();
  FFork.Flush();
  if (FLog) {
    FLog->EndLines();
    FLog->SetPasswordAsked(false);
  }
  for (int32_t i = 0; i < FFork.SegmentCount(); ++i) {
    TSFSegment* segment = FFork.Segments(i);
    segment->Keep = false;
    const int64_t older = segment->Stream->Size() - LastWordsLimit;
    if (older <= 0) continue;
    Take(i, older);
    segment->Dropped += older;
  }
  FBehind = false;
  FDispatcher = nullptr;  // it frees itself once the closed notification returns
  ++FSession;
  FBusy = false;
  FPollOutstanding = false;
  FUnansweredPrompts = FPromptsAfterCurrent = 0;
  FWaiting.reset();
  FAhead = 0;
  const uint64_t session = FSession;
  ShowAll();
  FBytesDropped += undrained;
  if (undrained > 0 && FHost.Dropped && FSession == session) FHost.Dropped(FSegEvents, undrained);
}

void TDialogue::Disconnect(bool Serial) {
  if (!FDispatcher) return;
  FIdleDeadline = FNow() + DisconnectQuiet;
  FDisconnecting = true;
  TRequest bye{ByeCommand, ByeTimeout, [this] { ByeDone(); }, TKind::Bye};
  if (!Serial || (FBusy && FResponseDeadline == 0)) {
    FDispatcher->Terminate();
  } else if (FBusy) {
    FWaiting = std::move(bye);  // replaces a waiting user request: the user is leaving
  } else {
    Request(std::move(bye));
  }
}

void TDialogue::SayBye() {
  if (!FDispatcher) return;
  FDisconnecting = true;
  FPort.EndOpening();
  Write(ByeCommand + CrLf);
}

bool TDialogue::Tick() {
  if (!FDispatcher || !FOpened) return FDispatcher != nullptr;
  const uint64_t session = FSession;
  FBehind = !Drain(FNow() + static_cast<uint32_t>(TickBudget.count()));
  FFork.Expire(FNow());
  if (FPort.Opening()) {
    PumpOpening(session);
    if (FLog) FLog->Tick();
    return FDispatcher != nullptr;
  }
  switch (FDialogueState) {
    case ssIdle:
      PumpIdle(session);
      break;
    case ssLogin:
      PumpLogin(session);
      break;
    case ssCommand:
      PumpCommand(session);
      break;
  }
  if (FLog) FLog->Tick();
  return FDispatcher != nullptr;
}

// Moves the dispatcher's bytes into the fork in ReadSize reads. False when it stopped with
// bytes still waiting: the time was up, or a reply being framed passed the segment limit.
// Until is on the dialogue's own tick, so a test that holds the tick still sees no budget run out.
bool TDialogue::Drain(uint32_t Until) {
  char buffer[ReadSize];
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  terminal->Keep = FDialogueState == ssCommand;
  for (uint32_t reads = 1; FDispatcher; ++reads) {
    if (terminal->Keep && terminal->Stream->Size() > SegmentLimit) return false;
    if (reads > TickReads || (reads % 64 == 0 && DeadlinePassed(Until))) return false;
    const int32_t n = FDispatcher->ReadInput(buffer, ReadSize);
    if (n <= 0) return true;
    if (FLog) FLog->Received({buffer, size_t(n)});
    FPort.Arrived();
    if (FSincePassword >= 0) FSincePassword += n;
    FFork.Feed(buffer, n, FNow());
  }
  return true;
}

// Empties the dispatcher's input unread; returns how many bytes went.
int64_t TDialogue::DropInput() {
  std::string buffer(64 << 10, '\0');
  int64_t dropped = 0;
  for (int32_t n;
       FDispatcher && (n = FDispatcher->ReadInput(buffer.data(), int32_t(buffer.size()))) > 0;) {
    if (FLog) FLog->Received({buffer.data(), size_t(n)});  // unseen, but it did arrive
    dropped += n;
  }
  return dropped;
}

// What a debug port says as it opens (a banner and prompt that waited from before, or the end
// of a session before this one) goes to the terminal once it is all in: a prompt from before
// must not end the first reply.
void TDialogue::PumpOpening(uint64_t Session) {
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  if (!FPort.OpeningDone(*terminal)) return;
  FPort.EndOpening();
  const std::string greeting = Take(FSegTerminal, terminal->Stream->Size());
  if (!greeting.empty() && FHost.TerminalWrite) {
    FHost.TerminalWrite(greeting);
    if (!Current(Session)) return;
  }
  RequestVersion();
}

bool TDialogue::WholePromptWaiting() {
  return FindPrompt(*FFork.Segments(FSegTerminal)).Whole;
}

void TDialogue::PumpIdle(uint64_t Session) {
  if (!PassOverAnsweredLines(Session, INT32_MAX)) return;
  if (FUnansweredPrompts > 0) {
    if (!ShowBeforePrompt(Session)) return;
  } else if (!Show(FSegTerminal, FHost.TerminalWrite) || !Current(Session)) {
    return;
  }
  if (!Show(FSegEvents, FHost.AddEvents) || !Current(Session)) return;
  if (!Show(FSegModem, FHost.AddModemTrace) || !Current(Session)) return;
  if (DeadlinePassed(FIdleDeadline)) SendIdlePoll();
}

// Hands everything a segment holds to its view, after the notice of what it dropped. False
// when a host call ran and the connection went meanwhile.
bool TDialogue::Show(int32_t Segment, const std::function<void(const std::string&)>& View) {
  const uint64_t session = FSession;
  TSFSegment* segment = FFork.Segments(Segment);
  if (const int64_t dropped = segment->Dropped; dropped > 0) {
    segment->Dropped = 0;
    FBytesDropped += dropped;
    if (FHost.Dropped) FHost.Dropped(Segment, dropped);
    if (FSession != session) return false;
  }
  const std::string text = Take(Segment, segment->Stream->Size());
  FBytesShown += static_cast<int64_t>(text.size());
  if (text.empty() || !View) return true;
  View(text);
  return FSession == session;
}

// While prompts are still due for lines written straight to the device, the terminal gets
// only the text before the next (perhaps partial) prompt start: the prompt is passed over
// once whole. False when the connection went meanwhile.
bool TDialogue::ShowBeforePrompt(uint64_t Session) {
  const int32_t before = FindPrompt(*FFork.Segments(FSegTerminal)).Start;
  const std::string text = Take(std::min(before, ReadSize));
  if (text.empty() || !FHost.TerminalWrite) return true;
  FHost.TerminalWrite(text);
  return Current(Session);
}

void TDialogue::ShowAll() {
  const std::pair<int32_t, const std::function<void(const std::string&)>*> views[] = {
      {FSegTerminal, &FHost.TerminalWrite},
      {FSegEvents, &FHost.AddEvents},
      {FSegModem, &FHost.AddModemTrace}};
  const uint64_t session = FSession;
  for (const auto& [segment, view] : views)
    if (!Show(segment, *view) || FSession != session) return;
}

void TDialogue::PumpLogin(uint64_t Session) {
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  bool found;
  const int32_t at = terminal->Find(0, PasswordRequest, found);
  if (found) {
    terminal->Stream->Seek(at + static_cast<int32_t>(PasswordRequest.size()), 0);
    terminal->Stream->DiscardRead();
    if (FLog) FLog->SetPasswordAsked(true);
    if (FHost.AskPassword) FHost.AskPassword();
    if (!Current(Session)) return;
  }
  // The prompt may arrive in pieces: only the whole of it ends the login. Then the segment is
  // emptied, what the device sent after its prompt too; its banner is kept in mind.
  const TPromptAt prompt = FindPrompt(*terminal);
  if (!prompt.Whole) return;
  FRestart.LearnBanner(Take(prompt.Start));
  Take(FSegTerminal, terminal->Stream->Size());
  if (FLog) FLog->SetPasswordAsked(false);
  RequestVersion();
  FAfterLogin = true;
  if (FHost.CloseSoon) FHost.CloseSoon();
}

// The prompts that answer lines written straight to the device come before the request's
// own; what precedes each goes to the terminal. Only prompts that end by the offset Limit are
// passed over. False when the connection went meanwhile.
bool TDialogue::PassOverAnsweredLines(uint64_t Session, int32_t Limit) {
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  while (FUnansweredPrompts > 0) {
    const TPromptAt prompt = FindPrompt(*terminal);
    if (!prompt.Whole || prompt.End > Limit) return true;
    const std::string reply = Take(prompt.Start);
    Take(prompt.End - prompt.Start);
    Limit -= prompt.End;
    --FUnansweredPrompts;
    if (!reply.empty() && FHost.TerminalWrite) {
      FHost.TerminalWrite(reply);
      if (!Current(Session)) return false;
    }
  }
  return true;
}

void TDialogue::PumpCommand(uint64_t Session) {
  if (!ShowAhead(Session) || !PassOverToEcho(Session) || !PassOverAnsweredLines(Session, INT32_MAX))
    return;
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  const TPromptAt prompt = FindPrompt(*terminal);
  const bool due = prompt.Whole && FUnansweredPrompts == 0;
  if (due && !FPort.ReplyBegun() && FPort.PromptWithoutEcho() == TDebugPort::TNoEcho::Missing) {
    EndRestarted(Session, Take(prompt.End));
    return;
  }
  FLastError.clear();
  const std::string open = FOpenSequence;
  std::string reply;
  if (due && FPort.ReplyBegun()) {
    reply = Take(prompt.Start);
    Take(prompt.End - prompt.Start);
    FTimedOut = false;
  } else if (terminal->Stream->Size() > SegmentLimit) {
    if (!EndOverlongReply(Session)) return;
  } else if (FResponseDeadline != 0 && DeadlinePassed(FResponseDeadline)) {
    // A partial prompt at the end stays for the terminal.
    reply = Take(prompt.Start);
    FTimedOut = true;
  } else {
    if (PasswordAsked()) EndRestarted(Session, Take(FSegTerminal, terminal->Stream->Size()));
    return;
  }
  if (FRestart.In(reply)) {
    EndRestarted(Session, reply);
    return;
  }
  FLastUnanswered = FUnansweredPrompts;
  if (HandOver(reply, open, Session)) Complete(Session);
}

// Whether the text waiting holds the device's password request: it started afresh. A reply
// longer than the budget of a tick is not searched before it ends.
bool TDialogue::PasswordAsked() {
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  bool found;
  terminal->Find(0, PasswordRequest, found);
  if (!found || terminal->Stream->Size() > ReadSize * int64_t{TickReads}) return false;
  std::string text(static_cast<size_t>(terminal->Stream->Size()), '\0');
  terminal->Stream->Seek(0, 0);
  terminal->Stream->Read(text.data(), static_cast<int32_t>(text.size()));
  return TRestartSign::AsksPassword(text);
}

// The device started afresh where the reply should be: what it sent goes to the terminal and
// the request ends with the reason.
void TDialogue::EndRestarted(uint64_t Session, const std::string& Text) {
  FTimedOut = true;
  FLastUnanswered = FUnansweredPrompts;
  FLastError = "The device restarted while answering \"" + FRequestText + "\"";
  FReplyBytes = 0;
  if (!Text.empty() && FHost.TerminalWrite) {
    FHost.TerminalWrite(Text);
    if (!Current(Session)) return;
  }
  if (FHost.RequestFailed) FHost.RequestFailed(FLastError);
  if (Current(Session)) Complete(Session);
}

// Text that was waiting when the request went out is no part of its reply: it goes to the
// terminal first. False when the connection went meanwhile.
bool TDialogue::ShowAhead(uint64_t Session) {
  if (FAhead == 0) return true;
  const std::string ahead = Take(FSegTerminal, FAhead);
  FAhead = 0;
  if (ahead.empty() || !FHost.TerminalWrite) return true;
  FHost.TerminalWrite(ahead);
  return Current(Session);
}

// A debug port that echoes sends each request line back before it answers: what comes before
// the echo was sent before the request arrived, or answers lines written before it (a device
// may echo a whole burst of lines before it answers the first), and goes to the terminal; the
// echo itself is dropped. False when the connection went meanwhile.
bool TDialogue::PassOverToEcho(uint64_t Session) {
  if (FPort.ReplyBegun()) return true;
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  int32_t at = 0, end = 0;
  if (!FPort.FindEcho(*terminal, at, end)) return true;
  const int64_t size = terminal->Stream->Size();
  if (!PassOverAnsweredLines(Session, at)) return false;
  const auto passed = static_cast<int32_t>(size - terminal->Stream->Size());
  FPort.EchoFound();
  const std::string before = Take(at - passed);
  FEchoText = Take(end - at).substr(0, FRequestText.size());
  FOpenSequence.clear();  // the echo starts the reply, whatever came before it
  if (before.empty() || !FHost.TerminalWrite) return true;
  FHost.TerminalWrite(before);
  return Current(Session);
}

// Hands the reply to the splitter without the blanks, line ends and erase sequences before it:
// what a device sends after its prompt may come only after the next request went out, even
// the end of a sequence whose start (Open) went before. They go to the terminal, or nowhere
// when they followed the login prompt (whose segment is emptied). False when the connection
// went meanwhile.
bool TDialogue::HandOver(const std::string& Reply, const std::string& Open, uint64_t Session) {
  const size_t filler = std::max(PromptFiller(Open + Reply), Open.size()) - Open.size();
  FSplitter.Append(Reply.substr(filler));
  FReplyBytes = static_cast<int64_t>(Reply.size() - std::min(filler, Reply.size()));
  if (filler == 0 || FAfterLogin || !FHost.TerminalWrite) return true;
  FHost.TerminalWrite(Reply.substr(0, filler));
  return Current(Session);
}

// A reply longer than a segment may hold cannot be framed without keeping it all: the
// request ends with an error and the text goes as dropped. False when the connection went
// while the host heard of it.
bool TDialogue::EndOverlongReply(uint64_t Session) {
  TSFSegment* terminal = FFork.Segments(FSegTerminal);
  const int64_t size = terminal->Stream->Size();
  Take(FSegTerminal, size);
  terminal->Dropped += size;
  FTimedOut = true;
  FLastError = "The reply to \"" + FRequestText + "\" was longer than " +
               std::to_string(SegmentLimit >> 20) + " MiB: the request was ended";
  if (FHost.RequestFailed) FHost.RequestFailed(FLastError);
  return Current(Session);
}

// Takes Count bytes from the front of the terminal segment.
std::string TDialogue::Take(int32_t Count) {
  return Take(FSegTerminal, Count);
}

std::string TDialogue::Take(int32_t Segment, int64_t Count) {
  TFIFOStream* stream = FFork.Segments(Segment)->Stream;
  Count = std::min(Count, stream->Size());
  if (Count <= 0) return "";
  std::string text(static_cast<size_t>(Count), '\0');
  stream->Seek(0, 0);
  text.resize(static_cast<size_t>(stream->Read(text.data(), static_cast<int32_t>(Count))));
  stream->DiscardRead();
  if (Segment == FSegTerminal) {
    std::string tail =
        FOpenSequence + text.substr(text.size() - std::min(text.size(), MaxSequence));
    FOpenSequence = tail.substr(tail.size() - UnfinishedSequence(tail));
  }
  return text;
}

void TDialogue::Complete(uint64_t Session) {
  FDialogueState = ssIdle;
  // After a time-out, prompts still due are plain terminal text from now on.
  FUnansweredPrompts = FPromptsAfterCurrent;
  FPromptsAfterCurrent = 0;
  FBusy = false;
  FPollOutstanding = false;
  // A copy: the completion may send the next request, which replaces FOnResponse.
  if (TCompletion completion = FOnResponse) completion();
  if (!Current(Session) || FBusy || !FWaiting) return;
  TRequest waiting = std::move(*FWaiting);
  FWaiting.reset();
  Request(std::move(waiting));
}

bool TDialogue::SendCommand(const std::string& Text, uint32_t Timeout, TCompletion Completion) {
  return Request({Text, Timeout, std::move(Completion), TKind::User});
}

bool TDialogue::CanSend() const {
  return FDispatcher && !FDisconnecting && !FPort.Opening() &&
         (!FBusy || (FPollOutstanding && !FWaiting));
}

bool TDialogue::Request(TRequest R) {
  if (!FDispatcher) return false;
  if (FDisconnecting && R.Kind != TKind::Bye) return false;
  if (FPort.Opening() && R.Kind != TKind::Bye) return false;
  if (FBusy) {
    // The idle poll must not cost the user a request; one waiting request is enough.
    if (R.Kind != TKind::User || !FPollOutstanding || FWaiting) return false;
    FWaiting = std::move(R);
    return true;
  }
  FSplitter.Clear();
  FRequestText = R.Text;
  // What waits now came before the request; answered lines still due frame their own text.
  FAhead = FUnansweredPrompts == 0 ? FFork.Segments(FSegTerminal)->Stream->Size() : 0;
  FPort.EndOpening();
  FPort.RequestSent(R.Text);
  FEchoText.clear();
  FReplyBytes = 0;
  FAfterLogin = false;
  FOnResponse = std::move(R.Completion);
  FDialogueState = ssCommand;
  FResponseTimeout = R.Timeout;
  StartResponseTimer();
  Write(R.Text + CrLf);
  RestartIdleTimer();
  FBusy = true;
  FPollOutstanding = R.Kind == TKind::Poll;
  return true;
}

void TDialogue::WriteAnswered(const std::string& Bytes) {
  if (!FDispatcher || Bytes.empty()) return;
  Write(Bytes);
  ++(FBusy ? FPromptsAfterCurrent : FUnansweredPrompts);
}

void TDialogue::Write(const std::string& Bytes) {
  if (!FDispatcher || Bytes.empty()) return;
  if (FLog) FLog->Sent(Bytes);
  FDispatcher->WriteOutput(Bytes.data(), static_cast<int32_t>(Bytes.size()));
}

std::string TDialogue::PasswordRefusal(const std::string& Password) {
  if (Password.find_first_of(CrLf) != std::string::npos)
    return "The password cannot contain a line break (CR or LF).";
  return "";
}

bool TDialogue::SendPassword(const std::string& Password) {
  if (!FDispatcher || !PasswordRefusal(Password).empty()) return false;
  Write(Password + CrLf);
  FSincePassword = 0;
  return true;
}

void TDialogue::StartResponseTimer() {
  if (FResponseTimeout == 0) {
    FResponseDeadline = 0;
    return;
  }
  FResponseDeadline = FNow() + FResponseTimeout;
  if (FResponseDeadline == 0) FResponseDeadline = 1;  // 0 means no deadline
}

void TDialogue::RestartIdleTimer() {
  FIdleDeadline = FNow() + IdleInterval;
}

void TDialogue::RequestVersion() {
  SendCommand(VersionCommand, FCommandTimeout, [this] { VersionReceived(); });
}

void TDialogue::VersionReceived() {
  const uint64_t session = FSession;
  while (!FSplitter.IsEmpty()) FParams.AddLine(FSplitter.NextLine());
  FOnResponse = nullptr;
  if (FHost.LoggedIn) FHost.LoggedIn();
  if (Current(session) && FIdlePolls) SendIdlePoll();
}

void TDialogue::SendIdlePoll() {
  RestartIdleTimer();
  if (FIdlePolls)
    Request({VersionCommand, FCommandTimeout, [this] { IdlePollDone(); }, TKind::Poll});
}

void TDialogue::IdlePollDone() {
  FDialogueState = ssIdle;
  FSplitter.NextLine();  // the reply is not used
}

void TDialogue::ByeDone() {
  if (FDispatcher) FDispatcher->Terminate();
}

bool TDialogue::DeadlinePassed(uint32_t Deadline) const {
  return ((FNow() - Deadline) & 0x7FFFFFFFu) < 0x3FFFFFFFu;
}
