#include "cli/uCliSession.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/uCliExit.h"
#include "dispatch/uTerminalDispatcher.h"
#include "rtl/Thread.h"
#include "session/uProgrammingRun.h"

namespace {

constexpr auto PollSlice = 2;  // ms between ticks: a script waits for each reply
// How long "bye" may take to leave a port whose flow control holds it.
constexpr auto ByeFlush = std::chrono::milliseconds(TDialogue::ByeTimeout);
constexpr auto CloseWait = std::chrono::milliseconds(2000);
constexpr size_t LoginWords = 4096;  // of the device's last words, kept to tell a refusal

std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}

// A reply cut short is told from none, by how much of it came.
std::string TimedOut(const std::string& Text, uint32_t TimeoutMs, int64_t ReplyBytes) {
  const std::string limit = std::to_string(TimeoutMs) + " ms";
  if (ReplyBytes == 0) return "No reply to " + Quoted(Text) + " within " + limit;
  return "The reply to " + Quoted(Text) + " was incomplete after " + limit + ": " +
         std::to_string(ReplyBytes) + (ReplyBytes == 1 ? " byte" : " bytes") +
         " came, but no prompt";
}

}  // namespace

TCliSession::TCliSession(const TCliOptions& Options, std::ostream& Log,
                         const std::atomic<bool>& Interrupted)
    : FOptions(Options), FLog(Log), FInterrupted(Interrupted) {
  TDialogueHost host;
  host.AskPassword = [this] {
    if (++FPasswordRequests == 1) FDialogue->SendPassword(FPassword);
  };
  host.LoggedIn = [this] {
    FLoggedIn = true;
    FLoginTimedOut = FDialogue->LastRequestTimedOut();
    FLoginReplyBytes = FDialogue->LastReplyBytes();
    FLoginError = FDialogue->LastRequestError();
  };
  // What the device says during the login reaches the terminal only as the line closes.
  host.TerminalWrite = [this](const std::string& Text) {
    if (!FLoggedIn && FAfterPassword.size() < LoginWords) FAfterPassword += Text;
  };
  FDialogue = std::make_unique<TDialogue>(FParams, std::move(host));
  // One "i900?" a run: the login's. Nothing stays connected long enough to need a poll.
  FDialogue->SetIdlePolls(false);
  FDialogue->SetCommandTimeout(Options.ReplyTimeoutMs);
  FSessionLog.OnFailed = [this](const std::string& Error) { FLogError = Error; };
}

TCliSession::~TCliSession() {
  try {
    Close(false);
  } catch (...) {
    // Ending the session on the way out of an error: the first error is what the user sees.
  }
}

void TCliSession::Wire() {
  const bool verbose = FOptions.Verbose;
  FDispatcher->OnOpened = [this, verbose](TTerminalDispatcher*) {
    if (verbose) FLog << "Opened" << std::endl;
    FOpened = true;
    FDialogue->Opened(FSerial);
  };
  FDispatcher->OnClosed = [this, verbose](TTerminalDispatcher* Sender) {
    if (verbose) FLog << "Closed" << std::endl;
    Sender->DetachNotifications();
    FDialogue->Closed();
    FClosed = true;
  };
  FDispatcher->OnStatus = [this, verbose](TTerminalDispatcher*, const std::string& Text) {
    if (verbose) FLog << Text << std::endl;
    if (TOutputWait::TellsAWait(Text))
      FWaitNote = Text;
    else if (Text == TOutputWait::Sentence(TOutputWait::TWhy::None))
      FWaitNote.clear();
  };
  // Kept for the failure it explains, so that one failure makes one line on standard error;
  // a serial port's reason, reported on a status line of its own, joins it there.
  FDispatcher->OnError = [this](TTerminalDispatcher* Sender, const std::string& Msg) {
    FLastError = Msg;
    if (auto* serial = dynamic_cast<TComPortDispatcher*>(Sender))
      if (!serial->OpenProblem().empty()) FLastError += ". " + serial->OpenProblem();
    FErrorReported = true;
  };
}

void TCliSession::Open(const std::string& Password) {
  FPassword = Password;
  if (!FOptions.LogFile.empty()) {
    if (!OpenLog()) throw TCliFailure(kExitFailure, FSessionLog.Error());
    FDialogue->SetLog(&FSessionLog);
  }
  FStarted = true;
  FSerial = FOptions.Route.Kind == TRouteKind::Serial;
  FDispatcher.reset(MakeDispatcher(FOptions.Route));
  FDispatcher->FreeOnTerminate = false;  // this session waits for it and frees it
  FDialogue->Reset(FDispatcher.get());
  Wire();
  FDispatcher->Resume();
  const auto deadline = TClock::now() + std::chrono::milliseconds(FOptions.TimeoutMs);
  PumpUntil([this] { return FLoggedIn || FClosed || FPasswordRequests > 1; }, deadline, true);
  CheckLogin();
}

// A log the fleet named is the program's own; one the user named is appended as ">>" would.
bool TCliSession::OpenLog() {
  if (!FOptions.OwnFiles) return FSessionLog.Open(FOptions.LogFile);
  const std::filesystem::path file(FOptions.LogFile);
  return FSessionLog.Append(file.parent_path().string(), file.filename().string());
}

void TCliSession::CheckLogin() {
  if (FPasswordRequests > 1)
    throw TCliFailure(kExitBadPassword,
                      "The device asked for the password again: check the "
                      "password, and try again");
  if (FLoggedIn) {
    if (!FLoginError.empty()) throw TCliFailure(kExitFailure, FLoginError);
    if (FLoginTimedOut)
      throw TCliFailure(kExitFailure,
                        WithWaitNote(TimedOut("i900?", FOptions.ReplyTimeoutMs, FLoginReplyBytes)));
    return;
  }
  if (FClosed) CheckClosedLogin();
  const std::string limit = std::to_string(FOptions.TimeoutMs) + " ms";
  throw TCliFailure(kExitFailure,
                    FOpened ? WithWaitNote("No reply to the login within " + limit)
                            : "Could not reach " + FOptions.Route.Name() + " within " + limit);
}

// The line closed before the login ended: a wrong password when it closed right after the
// password or with a refusal; a dropped line when the device had taken it and gone on.
void TCliSession::CheckClosedLogin() {
  if (FOpened && FDialogue->State() == ssLogin && FPasswordRequests > 0) {
    if (!PasswordTaken()) throw TCliFailure(kExitBadPassword, "Check the password, and try again");
    throw TCliFailure(kExitFailure,
                      "The connection closed during the login, after the device took the "
                      "password");
  }
  if (FErrorReported) throw TCliFailure(kExitFailure, FLastError);
  throw TCliFailure(kExitFailure, FOpened ? "The connection closed during the login"
                                          : "Could not open " + FOptions.Route.Name());
}

// Taken: after the password the device said something, in words, and not a refusal. What it
// sent before the password was read (the request's own line end) says nothing either way.
bool TCliSession::PasswordTaken() const {
  if (FDialogue->BytesSincePassword() <= 0) return false;
  std::string words;
  for (char c : FAfterPassword)
    words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (std::none_of(words.begin(), words.end(),
                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
    return false;
  for (const char* refusal : {"denied", "incorrect", "invalid", "wrong"})
    if (words.find(refusal) != std::string::npos) return false;
  return true;
}

std::vector<std::string> TCliSession::Request(const std::string& Text) {
  const uint32_t timeout = FOptions.ReplyTimeoutMs;
  bool done = false, timedOut = false;
  int64_t replyBytes = 0;
  std::string error;
  std::vector<std::string> lines;
  const bool sent = !FClosed && FDialogue->SendCommand(Text, timeout, [&] {
    done = true;
    timedOut = FDialogue->LastRequestTimedOut();
    replyBytes = FDialogue->LastReplyBytes();
    error = FDialogue->LastRequestError();
    TResponseSplitter& splitter = FDialogue->Splitter();
    while (!splitter.IsEmpty()) lines.push_back(splitter.NextLine());
  });
  if (!sent) throw TCliFailure(kExitFailure, "Could not send " + Quoted(Text) + ": not connected");
  Await([&] { return done; }, "the reply to " + Quoted(Text));
  if (!error.empty()) throw TCliFailure(kExitFailure, error);
  if (timedOut) throw TCliFailure(kExitFailure, WithWaitNote(TimedOut(Text, timeout, replyBytes)));
  return lines;
}

std::vector<std::string> TCliSession::RequestList(const std::string& Text) {
  std::vector<std::string> lines = Request(Text);
  if (!HoldsNameValue(lines))
    throw TCliFailure(kExitFailure, "The reply to " + Quoted(Text) + " held no name=value line");
  return lines;
}

// A time-out while the device's lines held output back says so: that is why nothing came.
std::string TCliSession::WithWaitNote(const std::string& Message) const {
  return FWaitNote.empty() ? Message : Message + ". " + FWaitNote;
}

void TCliSession::Await(const std::function<bool()>& Done, const std::string& What) {
  PumpUntil([&] { return Done() || FClosed; }, TClock::time_point::max(), true);
  if (!Done())
    throw TCliFailure(kExitFailure, "The connection closed before " + What + " was complete" +
                                        (FErrorReported ? ": " + FLastError : std::string()));
}

bool TCliSession::PumpUntil(const std::function<bool()>& Done, TClock::time_point Deadline,
                            bool Interruptible) {
  for (;;) {
    if (Done()) return true;
    if (Interruptible && FInterrupted) throw TCliFailure(kExitInterrupted, "");
    if (TClock::now() >= Deadline) return false;
    CheckSynchronize(PollSlice);
    FDialogue->Tick();
  }
}

void TCliSession::Close(bool Interrupted) {
  if (!FDispatcher) return;
  FLastError.clear();
  const auto closed = [this] { return FClosed; };
  if (!FClosed) {
    // The debug port's "bye" is all the device needs: whatever it answers, or not, goes unread.
    if (FSerial && FOpened && FDialogue->Dispatcher()) {
      FDialogue->SayBye();
      static_cast<TComPortDispatcher*>(FDispatcher.get())->EndWhenSent();
      PumpUntil(closed, TClock::now() + ByeFlush, false);
    }
    if (Interrupted)
      FDispatcher->Abort();
    else
      FDispatcher->Terminate();
    PumpUntil(closed, TClock::now() + CloseWait, false);
  }
  FDispatcher->WaitFor();  // delivers the last notifications meanwhile
  FDispatcher->DetachNotifications();
  if (!FLastError.empty()) FLog << "tallybox-cli: " << FLastError << std::endl;  // while closing
  FDialogue->Reset(nullptr);
  FDispatcher.reset();
  FSessionLog.Close();
}
