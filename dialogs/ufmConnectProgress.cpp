#include "dialogs/ufmConnectProgress.h"

#include <QCloseEvent>

#include "dialogs/uDialogLook.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "session/uDialogue.h"
#include "ui_ufmConnectProgress.h"

TfmConnectProgress::TfmConnectProgress(QWidget* Parent)
    : QDialog(Parent), ui(std::make_unique<Ui::TfmConnectProgress>()) {
  ui->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint);
  setModal(false);
  StyleHeaderBand(ui->pnlTop, ui->lblHeading);
  ui->edPassword->setStyleSheet("lineedit-password-character: 42");  // shown as *
  FTimerClose.setObjectName("timerClose");
  FTimerClose.setSingleShot(false);
  FTimerClose.setTimerType(Qt::PreciseTimer);
  FTimerClose.setInterval(CloseDelayMs);
  connect(&FTimerClose, &QTimer::timeout, this, Guarded([this] { timerCloseTimer(); }));
  connect(ui->btnCancel, &QPushButton::clicked, this, Guarded([this] { btnCancelClick(); }));
  connect(ui->btnSend, &QPushButton::clicked, this, Guarded([this] { btnSendClick(); }));
  CentreOnScreen(this);
}

TfmConnectProgress::~TfmConnectProgress() = default;

void TfmConnectProgress::Start() {
  Reset();
  show();
  raise();
}

void TfmConnectProgress::Reset() {
  ui->lbProgress->clear();
  ui->pcMain->setCurrentWidget(ui->tsProgress);
}

void TfmConnectProgress::AddProgress(const std::string& Text) {
  ui->lbProgress->addItem(ToQ(Text));
  ui->lbProgress->setCurrentRow(ui->lbProgress->count() - 1);
  ui->lbProgress->scrollToBottom();
}

void TfmConnectProgress::CloseSoon() {
  if (!isVisible() || FTimerClose.isActive()) return;
  FTimerClose.setInterval(CloseDelayMs);
  FTimerClose.start();
}

void TfmConnectProgress::AskPassword() {
  ui->pcMain->setCurrentWidget(ui->tsPassword);
  ui->edPassword->clear();
  FTimerClose.stop();
  show();
  raise();
  activateWindow();
  ui->edPassword->setFocus();
}

void TfmConnectProgress::timerCloseTimer() {
  FTimerClose.stop();
  hide();
}

// Closing from the window manager is the Abort button: the window goes with the connection,
// through the close delay, which keeps running.
void TfmConnectProgress::closeEvent(QCloseEvent* Event) {
  Event->ignore();
  btnCancelClick();
}

// Esc is the Abort button, not a way to close the window behind the main window's back.
void TfmConnectProgress::reject() {
  btnCancelClick();
}

void TfmConnectProgress::btnCancelClick() {
  if (OnAbort) OnAbort(this);
}

void TfmConnectProgress::btnSendClick() {
  std::string password;
  if (!FieldToDevice(this, ui->edPassword->text(), "password", password)) return;
  // A line break would reach the device as a second line.
  const std::string refusal = TDialogue::PasswordRefusal(password);
  if (!refusal.empty()) {
    TModal::MessageBox(this, ToQ(refusal), "Error", TModal::MB_ICONERROR);
    return;
  }
  if (OnPassword) OnPassword(this, password);
}
