// The connection wizard: the user picks a route (modem dial-up, serial debug port or TCP/IP)
// and its details; confirming the route page creates the matching connection worker,
// suspended, for the main window to take. The route travels in and out through Route, so the
// main window can keep it in its settings and offer it again.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dispatch/uRoute.h"
#include "transport/uSerialDevices.h"

class QCheckBox;
class QFileSystemWatcher;
class QLineEdit;
class QTimer;
class QWidget;
class TTerminalDispatcher;

namespace Ui {
class TfmConnectWizard;
}

class TfmConnectWizard : public QDialog {
  Q_OBJECT

 public:
  explicit TfmConnectWizard(QWidget* Parent = nullptr);
  ~TfmConnectWizard() override;

  // The route the pages open on and, after an OK result, the one confirmed (dial-up with the
  // number, user name and password typed on its page).
  TRoute Route;
  // The new, suspended worker after an OK result; the main window takes ownership.
  TTerminalDispatcher* Dispatcher = nullptr;

 protected:
  void showEvent(QShowEvent* Event) override;
  void done(int Result) override;

 private:
  void FormShow();
  void btnNextClick();
  void btnBackClick();
  void btnNewConnectionClick();
  void ShowPage(QWidget* Page);
  void pcPagesChange();
  void SetHeader(const char* Title, const char* Description, const char* NextCaption);
  // The dial-up and serial pages.
  void PrepareRoutePages();
  void FillConnections();
  void TelephoneNext();
  void SerialNext();
  void TcpNext();
  // The serial page's device list: what each COM number reaches, kept fresh while the page
  // is shown (adapters come and go), and the Assign button that links one to a device.
  void WireSerialPage();
  void FillComPorts();
  void WatchDevices(bool On);
  void btnAssignClick();
  // The serial page's terminal server choice, below the COM port's notes.
  void WireTerminalServer();
  void PrepareTerminalServer();
  bool TerminalServerNext();

  std::unique_ptr<Ui::TfmConnectWizard> ui;
  bool FOpen = false;  // between opening and closing: a restore from minimised is no opening
  std::vector<TSerialDevice> FDevices;  // as last listed on the serial page
  QFileSystemWatcher* FDeviceWatch = nullptr;
  QTimer* FRescan = nullptr;
  QCheckBox* chkTerminalServer = nullptr;
  QLineEdit* edTerminalServer = nullptr;
};
