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

void TMainReconnect::Closed(bool Asked) {
  Offer(false);
  if (FOpened && !Asked && !FAborted) SetStandingHint(QString::fromUtf16(kDroppedHint));
}

void TMainReconnect::ShowTip(const QString& Tip) {
  FHintPanel->setText(Tip.isEmpty() ? FStandingHint : Tip);
}

void TMainReconnect::SetStandingHint(const QString& Hint) {
  FStandingHint = Hint;
  FHintPanel->setText(Hint);
}

std::string TMainReconnect::Address(TTerminalDispatcher* Current) const {
  if (auto* serial = dynamic_cast<TComPortDispatcher*>(Current)) return serial->PortName();
  if (auto* tcp = dynamic_cast<TTCPDispatcher*>(Current)) return tcp->GetHost();
  if (FRoute.Kind == TRouteKind::Serial && (FRoute.ThroughServer || FRoute.ComPort > 0))
    return FRoute.Name();
  return FRoute.Kind == TRouteKind::DialUp ? FRoute.DialEntry : FRoute.Host;
}
