#include "dialogs/ufmConnectWizard.h"

#include "dialogs/uDialogLook.h"
#include "gui/uApplication.h"
#include "rtl/Exceptions.h"
#include "ui_ufmConnectWizard.h"

TfmConnectWizard::TfmConnectWizard(QWidget* Parent)
    : QDialog(Parent), ui(std::make_unique<Ui::TfmConnectWizard>()) {
  ui->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint);
  StyleHeaderBand(ui->pnlTop, ui->lblHeading);
  ui->edPassword->setStyleSheet("lineedit-password-character: 88");  // shown as X
  for (QRadioButton* route : {ui->rbDialUp, ui->rbSerial, ui->rbTCP}) {
    QFont font = route->font();
    font.setBold(true);
    route->setFont(font);
  }
  connect(ui->btnNext, &QPushButton::clicked, this, Guarded([this] { btnNextClick(); }));
  connect(ui->btnBack, &QPushButton::clicked, this, Guarded([this] { btnBackClick(); }));
  connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui->btnNewConnection, &QPushButton::clicked, this,
          Guarded([this] { btnNewConnectionClick(); }));
  WireSerialPage();
  WireTerminalServer();
  CentreOnScreen(this);
}

TfmConnectWizard::~TfmConnectWizard() = default;

void TfmConnectWizard::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (FOpen) return;
  FOpen = true;
  try {
    FormShow();
  } catch (...) {
    TApplication::ShowException(std::current_exception());
  }
}

void TfmConnectWizard::done(int Result) {
  FOpen = false;
  WatchDevices(false);
  QDialog::done(Result);
}

void TfmConnectWizard::FormShow() {
  ShowPage(ui->tsStart);
  PrepareRoutePages();
  ui->edHost->setText(ToQ(Route.Host));
  Dispatcher = nullptr;
  // Radio buttons in one group cannot all be unchecked while exclusive.
  for (QRadioButton* route : {ui->rbDialUp, ui->rbSerial, ui->rbTCP})
    route->setAutoExclusive(false);
  ui->rbDialUp->setChecked(Route.Kind == TRouteKind::DialUp);
  ui->rbSerial->setChecked(Route.Kind == TRouteKind::Serial);
  ui->rbTCP->setChecked(Route.Kind == TRouteKind::Tcp);
  for (QRadioButton* route : {ui->rbDialUp, ui->rbSerial, ui->rbTCP}) route->setAutoExclusive(true);
}

void TfmConnectWizard::ShowPage(QWidget* Page) {
  ui->pcPages->setCurrentWidget(Page);
  pcPagesChange();
}

void TfmConnectWizard::pcPagesChange() {
  QWidget* page = ui->pcPages->currentWidget();
  QWidget* focus = nullptr;
  WatchDevices(page == ui->tsSerial);
  if (page == ui->tsStart) {
    SetHeader("Connection Type", "Select how to connect to the Tallybox", "&Next >");
    for (QRadioButton* route : {ui->rbDialUp, ui->rbSerial, ui->rbTCP})
      if (route->isChecked()) focus = route;
  } else if (page == ui->tsTelephone) {
    SetHeader("Telephone", "Select connection, telephone, username and password", "&Dial");
    focus = ui->cbConnection;
  } else if (page == ui->tsSerial) {
    SetHeader("Serial", "Select the COM port and enable the Tallybox debug mode", "Co&nnect");
    focus = ui->cbCOMPort;
  } else {
    SetHeader("TCP/IP", "Connect over an existing network connection", "Co&nnect");
    focus = ui->edHost;
  }
  if (focus) focus->setFocus();
}

void TfmConnectWizard::SetHeader(const char* Title, const char* Description,
                                 const char* NextCaption) {
  ui->lblHeading->setText(Title);
  ui->lblDescription->setText(Description);
  ui->btnBack->setEnabled(ui->pcPages->currentIndex() != 0);
  ui->btnNext->setText(*NextCaption ? NextCaption : "&Next >");
}

void TfmConnectWizard::btnBackClick() {
  ShowPage(ui->tsStart);
}

void TfmConnectWizard::btnNextClick() {
  QWidget* page = ui->pcPages->currentWidget();
  if (page == ui->tsStart) {
    if (ui->rbDialUp->isChecked()) ShowPage(ui->tsTelephone);
    if (ui->rbSerial->isChecked()) ShowPage(ui->tsSerial);
    if (ui->rbTCP->isChecked()) ShowPage(ui->tsTCP);
  } else if (page == ui->tsTelephone) {
    TelephoneNext();
  } else if (page == ui->tsSerial) {
    SerialNext();
  } else {
    TcpNext();
  }
}

void TfmConnectWizard::TcpNext() {
  if (ui->edHost->text().isEmpty()) throw EAbort();
  std::string host;
  if (!FieldToDevice(this, ui->edHost->text(), "host name or address", host)) throw EAbort();
  Route.Kind = TRouteKind::Tcp;
  Route.Host = host;  // as typed: blanks alone pass
  Dispatcher = MakeDispatcher(Route);
  accept();
}

void TfmConnectWizard::SerialNext() {
  if (TerminalServerNext()) return;
  if (ui->cbCOMPort->currentIndex() < 0) throw EAbort();
  Route.Kind = TRouteKind::Serial;
  Route.ThroughServer = false;
  Route.ComPort = ui->cbCOMPort->currentIndex() + 1;
  Dispatcher = MakeDispatcher(Route);
  accept();
}

void TfmConnectWizard::PrepareRoutePages() {
  FillConnections();
  PrepareTerminalServer();
  const int32_t port = Route.ComPort;
  ui->cbCOMPort->setCurrentIndex(port >= 1 && port <= ui->cbCOMPort->count() ? port - 1 : -1);
}
