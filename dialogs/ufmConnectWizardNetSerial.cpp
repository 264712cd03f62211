// The serial page's second way to the debug port: through a terminal server on the network
// (ser2net or a serial-to-Ethernet converter) instead of a COM port of this computer. The
// dialogue on it is the serial one; only the line under it differs.
#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

#include "dialogs/ufmConnectWizard.h"
#include "dispatch/uRoute.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "rtl/Exceptions.h"
#include "transport/uNetSerialUrl.h"
#include "ui_ufmConnectWizard.h"

void TfmConnectWizard::WireTerminalServer() {
  chkTerminalServer = new QCheckBox("Through a &terminal server", ui->tsSerial);
  chkTerminalServer->setObjectName("chkTerminalServer");
  edTerminalServer = new QLineEdit(ui->tsSerial);
  edTerminalServer->setObjectName("edTerminalServer");
  edTerminalServer->setPlaceholderText("rfc2217://host:port or tcp://host:port");
  // Wide enough for the whole example, with room for the frame and the edit's own margins.
  edTerminalServer->setMinimumWidth(
      edTerminalServer->fontMetrics().horizontalAdvance(edTerminalServer->placeholderText()) + 16);
  edTerminalServer->setToolTip(
      "rfc2217://host:port: a telnet port that sets the far serial port (RFC 2217)\n"
      "tcp://host:port: a raw TCP port; the far serial port keeps its own settings");
  edTerminalServer->setEnabled(false);
  auto* grid = static_cast<QGridLayout*>(ui->tsSerial->layout());
  const int row = grid->rowCount();
  grid->addWidget(chkTerminalServer, row, 0);
  grid->addWidget(edTerminalServer, row, 1);
  connect(chkTerminalServer, &QCheckBox::toggled, this, [this](bool On) {
    edTerminalServer->setEnabled(On);
    if (On) edTerminalServer->setFocus();
  });
  // Made after the buttons, so Tab would reach them last without a chain of its own.
  QWidget* chain[] = {ui->cbCOMPort,    ui->lbComPorts, ui->btnAssign, chkTerminalServer,
                      edTerminalServer, ui->btnBack,    ui->btnNext,   ui->btnCancel};
  for (size_t i = 1; i < std::size(chain); ++i) setTabOrder(chain[i - 1], chain[i]);
  resize(size().expandedTo(sizeHint()));
}

void TfmConnectWizard::PrepareTerminalServer() {
  edTerminalServer->setText(ToQ(Route.TerminalServer));
  chkTerminalServer->setChecked(Route.ThroughServer);
  edTerminalServer->setEnabled(Route.ThroughServer);
}

// False when the COM port is the choice. An empty address is refused silently, as an empty
// host is; one that is no terminal server's address says what is wanted.
bool TfmConnectWizard::TerminalServerNext() {
  if (!chkTerminalServer->isChecked()) return false;
  const std::string url = edTerminalServer->text().trimmed().toStdString();
  if (url.empty()) throw EAbort();
  TNetSerialAddress address;
  if (!ParseNetSerialUrl(url, address)) {
    TModal::MessageBox(this, "Give the terminal server as rfc2217://HOST:PORT or tcp://HOST:PORT.",
                       "Error", TModal::MB_OK | TModal::MB_ICONERROR);
    throw EAbort();
  }
  Route.Kind = TRouteKind::Serial;
  Route.ThroughServer = true;
  Route.TerminalServer = url;
  Dispatcher = MakeDispatcher(Route);
  accept();
  return true;
}
