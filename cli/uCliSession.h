// One connection of tallybox-cli to a device: opens the route the options name, logs in,
// runs requests one at a time through the same dialogue the main window uses, and always
// ends the connection properly. The commands use it; main owns it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/uCliOptions.h"
#include "session/uDialogue.h"
#include "session/uSessionLog.h"

class TTerminalDispatcher;

class TCliSession {
 public:
  // Progress texts go to Log when Verbose; the dispatcher's errors become part of the failure
  // they cause (or go to Log when they come while closing). Interrupted is polled while
  // waiting (Ctrl+C).
  TCliSession(const TCliOptions& Options, std::ostream& Log, const std::atomic<bool>& Interrupted);
  ~TCliSession();
  TCliSession(const TCliSession&) = delete;
  TCliSession& operator=(const TCliSession&) = delete;

  // Opens the --log file first (TCliFailure kExitFailure when it cannot be opened); a later
  // write failure stops the log, the request goes on, and LogError() tells it afterwards.
  // Connects and logs in within the options' time-out; on TCP and dial-up Password answers
  // the device's request for it. Raises TCliFailure: kExitFailure when the route cannot be
  // opened, closes or does not finish the login in time (the dispatcher's own error text has
  // already gone to Log), kExitBadPassword when the device asks again or drops the line
  // after the password, kExitInterrupted on Ctrl+C.
  void Open(const std::string& Password);
  // Sends Text as a request and returns the reply's lines; it may take the options' reply
  // time-out. Raises TCliFailure kExitFailure "No reply to …" when its time-out passes first,
  // the dialogue's reason when the reply grows past what it may hold or the device restarted
  // instead of answering, or when the connection closes before the reply is complete;
  // kExitInterrupted on Ctrl+C.
  std::vector<std::string> Request(const std::string& Text);
  // Request for "r?" or "i?": a reply without a single name=value line is no answer (the
  // device started afresh, or said something else) and raises kExitFailure.
  std::vector<std::string> RequestList(const std::string& Text);
  // Ticks the dialogue until Done holds; the dialogue's own time-outs bound the wait. Raises
  // TCliFailure kExitFailure when the connection closes first (What names what was awaited),
  // kExitInterrupted on Ctrl+C.
  void Await(const std::function<bool()>& Done, const std::string& What);
  TDialogue& Dialogue() { return *FDialogue; }
  uint32_t ReplyTimeoutMs() const { return FOptions.ReplyTimeoutMs; }
  // What the device reported at login (its "i900" among them).
  TParameterList& LoginParams() { return FParams; }
  // Ends the connection: "bye" first on serial, a clean close on TCP, the hang-up on
  // dial-up. Interrupted: the dispatcher's Abort instead (after "bye" on serial). Waits for
  // the worker to end. Never raises; safe to call twice.
  void Close(bool Interrupted);
  // Open got past the --log file to the route: a failure since came on the way to the device.
  bool Started() const { return FStarted; }
  // Why the --log file stopped being written; "" while it is whole (or there is none).
  const std::string& LogError() const { return FLogError; }

 private:
  using TClock = std::chrono::steady_clock;
  void Wire();
  // Ticks the dialogue and delivers the worker's notifications until Done or Deadline;
  // false at the deadline. Raises kExitInterrupted on Ctrl+C when Interruptible.
  bool PumpUntil(const std::function<bool()>& Done, TClock::time_point Deadline,
                 bool Interruptible);
  bool OpenLog();
  void CheckLogin();
  void CheckClosedLogin();
  bool PasswordTaken() const;
  std::string WithWaitNote(const std::string& Message) const;

  const TCliOptions& FOptions;
  std::ostream& FLog;
  const std::atomic<bool>& FInterrupted;
  TParameterList FParams;
  std::unique_ptr<TDialogue> FDialogue;
  TSessionLog FSessionLog;
  std::unique_ptr<TTerminalDispatcher> FDispatcher;
  std::string FPassword;
  bool FSerial = false;
  bool FStarted = false;
  bool FOpened = false, FClosed = false, FLoggedIn = false;
  bool FLoginTimedOut = false;
  int64_t FLoginReplyBytes = 0;
  std::string FLoginError;
  std::string FAfterPassword;  // what the device said after the password, while logging in
  int FPasswordRequests = 0;
  bool FErrorReported = false;
  std::string FLastError;  // the dispatcher's last error text
  std::string FWaitNote;  // what the serial dispatcher said of a wait for the lines, until it ended
  std::string FLogError;
};
