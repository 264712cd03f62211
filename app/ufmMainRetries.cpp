// The main window's side of reconnecting by itself: quiet tries by the remembered route, the
// kept password answering the device, and the page that was in sight read again.
#include <QAction>
#include <QLabel>

#include "app/uMainReconnect.h"
#include "app/uMainRetries.h"
#include "app/ufmMain.h"
#include "dialogs/ufmConnectProgress.h"
#include "dispatch/uTerminalDispatcher.h"
#include "gui/uApplication.h"
#include "htmlview/THtmlView.h"
#include "ui_ufmMain.h"

void TfmMain::BuildRetries() {
  TRetriesHost host;
  host.Try = [this] { return TryAgain(); };
  host.Say = [this](const QString& Text) { FReconnect->Say(Text); };
  host.Offering = [this](bool Active) {
    ui->actDisconnect->setEnabled(Active || (FDispatcher && !FDisconnecting));
  };
  host.StopAsked = Guarded([this] { actDisconnectExecute(); });
  FRetries = std::make_unique<TMainRetries>(this, FSaved.Route, std::move(host));
  connect(ui->actReconnectByItself, &QAction::toggled, this, [this](bool On) {
    if (!On) StopRetrying();
    FRetries->SetOn(On);
  });
}

bool TfmMain::TryAgain() {
  if (FDispatcher || !FProgress || FDestroyed) return false;
  TTerminalDispatcher* dispatcher = nullptr;
  try {
    dispatcher = FReconnect->MakeWorker();
  } catch (const std::exception&) {
    return false;  // the route no longer makes a worker: nothing to retry
  }
  if (!dispatcher) return false;
  FDisconnecting = false;
  StartConnection(dispatcher, true);
  return true;
}

// Stopped by the user, the retries leave the dropped-line hint as the first drop left it.
void TfmMain::StopRetrying() {
  if (!FRetries->Active()) return;
  FRetries->Stop();
  FReconnect->SayDropped();
}

// A try answers with the password kept for the session; asked again, the device refused it
// and the tries end. Without a kept password the user is asked, as on Connect.
void TfmMain::PasswordAsked() {
  if (!FQuietTry) {
    if (FProgress) FProgress->AskPassword();
    return;
  }
  if (const std::string* kept = FRetries->PasswordForTry()) {
    FDialogue->SendPassword(*kept);
  } else if (FRetries->PasswordSent()) {
    FRetries->Refused();
    FDialogue->Disconnect(false);
  } else if (FProgress) {
    FProgress->Start();
    FProgress->AskPassword();
  }
}

TRetryPage TfmMain::PageInSight() const {
  if (ui->actAdvanced->isChecked()) return TRetryPage::Other;
  const std::string file = FHtmlView->CurrentFile();
  if (file.find("regs.htm") != std::string::npos) return TRetryPage::Registers;
  if (file.find("info.htm") != std::string::npos) return TRetryPage::Status;
  // A page was being read when the line went.
  if (file.find("wait.htm") != std::string::npos)
    return FRegistersShown ? TRetryPage::Registers : TRetryPage::Status;
  return TRetryPage::Other;
}

// A try whose line closes right after the password, before any word, was refused.
void TfmMain::NoteRefusal() {
  if (FQuietTry && FRetries->PasswordSent() && FDialogue->State() == ssLogin &&
      FDialogue->BytesSincePassword() <= 0)
    FRetries->Refused();
}

// After the close handling of a connection: a failed try counts down to the next, a dropped
// line starts the tries.
void TfmMain::RetryAfterClose(TRetryPage Page, bool Dropped) {
  if (FRetries->Trying()) {
    FRetries->TryEnded();
    if (!FRetries->Active()) FReconnect->SayDropped();  // refused: the tries end here
  } else if (Dropped) {
    FRetries->Dropped(Page);
  }
  if (FRetries->Active()) ui->actDisconnect->setEnabled(true);
  FQuietTry = false;
}

// Logged in again: back on the page that was in sight once the login's own requests are done.
// Only read; nothing is programmed.
void TfmMain::ReadAgain(TRetryPage Page) {
  if (Page == TRetryPage::Other) return;
  QTimer::singleShot(0, this, Guarded([this, Page] {
                       if (!FDispatcher) return;
                       if (Page == TRetryPage::Registers)
                         actRegistersExecute();
                       else
                         actStatusExecute();
                     }));
}
