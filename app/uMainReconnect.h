// Reconnect and the remembered route: the last route the wizard confirmed, offered again by
// Reconnect (Ctrl+R) whenever no connection is up. A line that drops without a Disconnect
// says so beside the status panels, in the place where menu items show their hints, and
// keeps saying so until the next connection starts.
#pragma once

#include <QString>
#include <string>

#include "dispatch/uRoute.h"

class QAction;
class QLabel;
class TTerminalDispatcher;

class TMainReconnect {
 public:
  static constexpr const char16_t* kDroppedHint = u"Line dropped \u2014 Reconnect (Ctrl+R)";

  // Route is the remembered one, kept with the settings.
  TMainReconnect(QAction* Reconnect, QLabel* HintPanel, TRoute& Route);

  // A new, suspended worker for the remembered route; none while it is incomplete.
  TTerminalDispatcher* MakeWorker() const;
  void Offer(bool Connected);
  // The connection's stages, as far as a drop is told from an end the user asked for; Reconnect
  // is offered again once it has closed.
  void Starting();
  void Opened() { FOpened = true; }
  void Aborted() { FAborted = true; }
  // Asked: a Disconnect, or the login refused. True when the line dropped: the connection had
  // opened and nobody asked for its end.
  bool Closed(bool Asked);
  // The standing hint: what stands beside the status panels while no item is under the pointer.
  void Say(const QString& Hint) { SetStandingHint(Hint); }
  void SayDropped() { SetStandingHint(QString::fromUtf16(kDroppedHint)); }
  // The hint of the item under the pointer; empty brings the standing hint back.
  void ShowTip(const QString& Tip);
  // The device a session log is about: the remembered route's, which a connection under way
  // took; "" while that route is incomplete.
  std::string Address() const;

 private:
  void SetStandingHint(const QString& Hint);
  QAction* FReconnect;
  QLabel* FHintPanel;
  TRoute& FRoute;
  QString FStandingHint;  // shown while no item is under the pointer
  bool FOpened = false;   // the current connection opened: its end unasked for is a drop
  bool FAborted = false;  // the user aborted connecting
};
