// The connection progress window: lists what the connection worker reports, asks for the
// device's password when the device wants one, offers Abort, and closes itself 750 ms after
// the main window says the connection has opened, closed or logged in. What Abort and Send
// do is up to the main window (OnAbort, OnPassword).
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class TfmConnectProgress;
}

class TfmConnectProgress : public QDialog {
  Q_OBJECT

 public:
  static constexpr int CloseDelayMs = 750;

  explicit TfmConnectProgress(QWidget* Parent = nullptr);
  ~TfmConnectProgress() override;

  std::function<void(TfmConnectProgress* Sender)> OnAbort;
  std::function<void(TfmConnectProgress* Sender, const std::string& Password)> OnPassword;

  void Start();
  void AddProgress(const std::string& Text);
  void CloseSoon();
  void AskPassword();

  QTimer* timerClose() { return &FTimerClose; }

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void reject() override;

 private:
  void Reset();
  void timerCloseTimer();
  void btnCancelClick();
  void btnSendClick();

  std::unique_ptr<Ui::TfmConnectProgress> ui;
  QTimer FTimerClose;
};
