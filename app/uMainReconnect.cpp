#include "app/uMainReconnect.h"

#include <QAction>
#include <QLabel>

#include "dispatch/uTerminalDispatcher.h"

TMainReconnect::TMainReconnect(QAction* Reconnect, QLabel* HintPanel, TRoute& Route)
    : FReconnect(Reconnect), FHintPanel(HintPanel), FRoute(Route) {}

TTerminalDispatcher* TMainReconnect::MakeWorker() const {
  return FRoute.Complete() ? MakeDispatcher(FRoute) : nullptr;
}

void TMainReconnect::Offer(bool Connected) {
  FReconnect->setEnabled(!Connected && FRoute.Complete());
}

void TMainReconnect::Starting() {
  Offer(true);
  SetStandingHint({});
  FOpened = false;
  FAborted = false;
}

bool TMainReconnect::Closed(bool Asked) {
  Offer(false);
  const bool dropped = FOpened && !Asked && !FAborted;
  if (dropped) SayDropped();
  return dropped;
}

void TMainReconnect::ShowTip(const QString& Tip) {
  FHintPanel->setText(Tip.isEmpty() ? FStandingHint : Tip);
}

void TMainReconnect::SetStandingHint(const QString& Hint) {
  FStandingHint = Hint;
  FHintPanel->setText(Hint);
}

std::string TMainReconnect::Address() const {
  return FRoute.Complete() ? FRoute.Name() : std::string();
}
