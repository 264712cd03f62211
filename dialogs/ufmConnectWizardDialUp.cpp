// The wizard's dial-up page: the phone-book entries of the system's dial-up service, the
// optional overrides of number, user name and password, and the modem connection worker.
// Without a dial-up service the list stays empty and New does nothing.
#include "dialogs/ufmConnectWizard.h"
#include "dispatch/uModemDispatcher.h"
#include "dispatch/uRoute.h"
#include "gui/uApplication.h"
#include "rtl/Exceptions.h"
#include "rtl/LocaleCompare.h"
#include "transport/Ras.h"
#include "ui_ufmConnectWizard.h"

void TfmConnectWizard::FillConnections() {
  std::vector<std::string> entries;
  TModemDispatcher::ListEntries(entries);
  ui->cbConnection->clear();
  for (const std::string& entry : entries) ui->cbConnection->addItem(ToQ(entry));
  ui->cbConnection->setCurrentIndex(entries.empty() ? -1 : 0);
  for (size_t i = 0; i < entries.size(); ++i)
    if (AnsiCompareText(entries[i], Route.DialEntry) == 0) {
      ui->cbConnection->setCurrentIndex(static_cast<int>(i));
      break;
    }
}

void TfmConnectWizard::btnNewConnectionClick() {
  // The service wants the owner window's handle; its result is of no use here.
  RasCreatePhonebookEntry(reinterpret_cast<void*>(winId()),
                          nullptr);  // NOLINT(performance-no-int-to-ptr)
  FillConnections();
}

void TfmConnectWizard::TelephoneNext() {
  std::string connection, telephone, username, password;
  if (!FieldToDevice(this, ui->cbConnection->currentText(), "connection name", connection) ||
      !FieldToDevice(this, ui->edTelephone->text(), "telephone number", telephone) ||
      !FieldToDevice(this, ui->edUsername->text(), "user name", username) ||
      !FieldToDevice(this, ui->edPassword->text(), "password", password))
    throw EAbort();
  Route.Kind = TRouteKind::DialUp;
  Route.DialEntry = connection;
  Route.Phone = telephone;
  Route.User = username;
  Route.Password = password;
  Dispatcher = MakeDispatcher(Route);
  accept();
}
