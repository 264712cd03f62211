// The wizard's dial-up page: until a dial-up service binding is built in, the entry list
// stays empty and Dial is refused silently.
#include "dialogs/ufmConnectWizard.h"
#include "rtl/Exceptions.h"
#include "ui_ufmConnectWizard.h"

void TfmConnectWizard::FillConnections() { ui->cbConnection->clear(); }

void TfmConnectWizard::btnNewConnectionClick() { FillConnections(); }

void TfmConnectWizard::TelephoneNext() { throw EAbort(); }
