// Reconnecting by itself. Once a connection that was up ends without the user asking (the
// device closed it, the line dropped, the serial device went), the remembered route is tried
// again 1 s, 2 s, 4 s ... apart, up to 30 s, with the countdown where the dropped-line hint
// stands, until a try logs in, the device refuses the password, or the user stops it (Esc,
// Disconnect, or another connection). On a local serial port a port that is gone is waited
// for and tried the moment it is back. The password typed for the session stays in this
// object's memory for the tries only; nothing of it is written anywhere.
#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "dispatch/uRoute.h"

class QShortcut;
class QWidget;

// The page in sight when the line dropped, read again once logged in.
enum class TRetryPage { Other, Status, Registers };

struct TRetriesHost {
  std::function<bool()> Try;                  // one quiet try by the route; false: none started
  std::function<void(const QString&)> Say;    // the text where the dropped-line hint stands
  std::function<void(bool Active)> Offering;  // the retries began or ended (Disconnect stops them)
  std::function<void()> StopAsked;            // Esc while retrying
};

class TMainRetries {
 public:
  static constexpr int TickMs = 200;  // the countdown and a serial port are looked at so often

  TMainRetries(QWidget* Window, const TRoute& Route, TRetriesHost Host);
  ~TMainRetries();
  TMainRetries(const TMainRetries&) = delete;
  TMainRetries& operator=(const TMainRetries&) = delete;

  void SetOn(bool On);
  bool On() const { return FOn; }
  // The password the user gave the device this session; another route forgets it.
  void KeepPassword(const std::string& Password);
  void ForgetPassword();

  // A connection that was up ended without the user asking, with Page in sight.
  void Dropped(TRetryPage Page);
  bool Active() const { return FActive; }
  bool Trying() const { return FActive && FTrying; }
  // The try's device asks for the password: the kept one the first time; none when there is
  // none or it was sent already (the device refused it).
  const std::string* PasswordForTry();
  // The device refused the password: no more tries once this one has closed.
  void Refused() { FRefused = true; }
  bool WasRefused() const { return FRefused; }
  bool PasswordSent() const { return FPasswordSent; }
  // The try's connection closed before it logged in: the next one is counted down.
  void TryEnded();
  // The try logged in: the retries end; returns the page to read again.
  TRetryPage LoggedIn();
  void Stop();

 private:
  void Tick();
  void StartTry();
  void CountDown();
  std::string PortNow() const;

  QWidget* FWindow;
  const TRoute& FRoute;
  TRetriesHost FHost;
  QTimer FTimer;
  QShortcut* FEsc;
  bool FOn = true;
  bool FActive = false, FTrying = false, FRefused = false, FPasswordSent = false;
  int32_t FRetry = 0;  // tries made since the drop
  QDeadlineTimer FDue;
  TRetryPage FPage = TRetryPage::Other;
  std::string FPassword;
  std::string FPortAtTry;  // where a local serial port led when the last try began ("" gone)
};
