#include "app/uMainRetries.h"

#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <filesystem>

#include "session/uRetrySpacing.h"
#include "transport/uComPortMap.h"

namespace {

QString DroppedHint(const QString& Rest) {
  return QString::fromUtf16(u"Line dropped \u2014 ") + Rest + " (Esc to stop)";
}

void Wipe(std::string& Secret) {
  std::fill(Secret.begin(), Secret.end(), '\0');
  Secret.clear();
}

}  // namespace

TMainRetries::TMainRetries(QWidget* Window, const TRoute& Route, TRetriesHost Host)
    : FWindow(Window), FRoute(Route), FHost(std::move(Host)) {
  FTimer.setInterval(TickMs);
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
  FEsc = new QShortcut(QKeySequence(Qt::Key_Escape), FWindow);
  FEsc->setObjectName("scStopRetries");
  FEsc->setEnabled(false);
  QObject::connect(FEsc, &QShortcut::activated, [this] {
    if (FActive && FHost.StopAsked) FHost.StopAsked();
  });
}

TMainRetries::~TMainRetries() {
  Wipe(FPassword);
}

void TMainRetries::SetOn(bool On) {
  FOn = On;
  if (!On) Stop();
}

void TMainRetries::KeepPassword(const std::string& Password) {
  Wipe(FPassword);
  FPassword = Password;
}

void TMainRetries::ForgetPassword() {
  Wipe(FPassword);
}

void TMainRetries::Dropped(TRetryPage Page) {
  if (!FOn || FActive || !FRoute.Complete()) return;
  FActive = true;
  FTrying = false;
  FRefused = false;
  FRetry = 0;
  FPage = Page;
  FPortAtTry = PortNow();
  FEsc->setEnabled(true);
  if (FHost.Offering) FHost.Offering(true);
  CountDown();
}

const std::string* TMainRetries::PasswordForTry() {
  if (!Trying() || FPasswordSent || FPassword.empty()) return nullptr;
  FPasswordSent = true;
  return &FPassword;
}

void TMainRetries::TryEnded() {
  if (!FActive) return;
  FTrying = false;
  if (FRefused) return Stop();
  CountDown();
}

TRetryPage TMainRetries::LoggedIn() {
  if (!FActive) return TRetryPage::Other;
  const TRetryPage page = FPage;
  FHost.Say({});
  Stop();
  return page;
}

void TMainRetries::Stop() {
  FTimer.stop();
  FEsc->setEnabled(false);
  const bool was = FActive;
  FActive = FTrying = false;
  if (was && FHost.Offering) FHost.Offering(false);
}

void TMainRetries::CountDown() {
  FDue.setRemainingTime(int64_t(RetryDelayMs(FRetry)));
  FTimer.start();
  Tick();
}

// A local serial port that is gone holds the countdown; the moment it leads somewhere new
// (the adapter plugged back, the device's terminal made again) it is tried.
void TMainRetries::Tick() {
  if (!FActive || FTrying) return;
  const std::string port = PortNow();
  const bool local = FRoute.Kind == TRouteKind::Serial && !FRoute.ThroughServer;
  if (local && port.empty())
    return FHost.Say(DroppedHint("waiting for " + QString::fromStdString(FRoute.Name())));
  if ((local && port != FPortAtTry) || FDue.hasExpired()) return StartTry();
  const qint64 seconds = (FDue.remainingTime() + 999) / 1000;
  FHost.Say(DroppedHint(QString("reconnecting in %1 s").arg(seconds)));
}

void TMainRetries::StartTry() {
  FTimer.stop();
  FTrying = true;
  FPasswordSent = false;
  FPortAtTry = PortNow();
  ++FRetry;
  if (!FHost.Try()) return Stop();
  FHost.Say(DroppedHint(QString::fromUtf16(u"reconnecting\u2026")));
}

std::string TMainRetries::PortNow() const {
  if (FRoute.Kind != TRouteKind::Serial || FRoute.ThroughServer) return {};
  const std::string path =
      FRoute.DevicePath.empty()
          ? ComDevicePath(FRoute.ComPort, TSerialFolders::FromEnvironment().Dev)
          : FRoute.DevicePath;
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(path, error);
  return error ? std::string() : real.string();
}
