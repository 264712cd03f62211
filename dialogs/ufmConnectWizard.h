// The connection wizard: the user picks a route (modem dial-up, serial debug port or TCP/IP)
// and its details; confirming the route page creates the matching connection worker,
// suspended, for the main window to take. Route details travel in and out through the four
// public fields so the main window can keep them in its settings.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

  int32_t Method = 0;  // 0 modem dial-up, 1 direct serial, 2 direct TCP/IP
  std::string Connection;
  int32_t ComPort = -1;
  std::string Host;
  // The serial route through a terminal server: its address (tcp://HOST:PORT or
  // rfc2217://HOST:PORT, kept when the COM port is chosen) and whether it was chosen.
  std::string SerialServer;
  bool ThroughServer = false;
  // The new, suspended worker after an OK result; the main window takes ownership.
  TTerminalDispatcher* Dispatcher = nullptr;

  // A new, suspended worker for the route the four fields describe (dial-up with the number,
  // user name and password last confirmed here), as confirming the route page creates it;
  // the caller owns it. Reconnect uses it to go again without showing the wizard.
  TTerminalDispatcher* CreateDispatcher() const;
  // Whether the fields describe a route CreateDispatcher can take.
  static bool RouteComplete(int32_t Method, const std::string& Host, int32_t ComPort,
                            const std::string& Connection, bool ThroughServer = false,
                            const std::string& SerialServer = "");

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
  std::string FTelephone, FUsername, FPassword;  // the dial-up page's overrides, as confirmed
};
