// The main window's session log: File > Log Session asks for the file and starts it, the
// choice is remembered, every connection is then logged into it, and the status bar says so
// while it is written. The lines themselves come from TSessionLog, fed by the dialogue.
#include <QLabel>
#include <QStandardPaths>
#include <QTimer>
#include <filesystem>

#include "app/ufmMain.h"
#include "dispatch/uTerminalDispatcher.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "session/uSessionLog.h"
#include "ui_ufmMain.h"

void TfmMain::actLogSessionExecute() {
  if (!ui->actLogSession->isChecked()) {
    FSessionLog->Close();
    FLogFile.clear();
    ShowLogPanel();
    return;
  }
  const std::string name = SessionLogName(std::chrono::system_clock::now(), LogAddress());
  const QString chosen =
      TModal::SaveFileName(this, "Log Session", QString::fromStdString(LogFolder() + "/" + name),
                           "Log files (*.log);;Text files (*.txt);;All files (*)", "log");
  if (chosen.isEmpty() ||
      TellOtherUsersFolder(chosen.toStdString(), "The session is not logged in ")) {
    ui->actLogSession->setChecked(false);
    return;
  }
  FLogFile = chosen.toStdString();
  FLogFolder = std::filesystem::path(FLogFile).parent_path().string();
  if (FDispatcher) OpenSessionLog();
}

// A new connection: the log armed at start-up gets a new file of its own now, named for this
// device.
void TfmMain::StartSessionLog() {
  if (!ui->actLogSession->isChecked() || FSessionLog->Active()) return;
  if (!FLogFile.empty()) return OpenSessionLog();
  const std::string name = SessionLogName(std::chrono::system_clock::now(), LogAddress());
  if (FSessionLog->Create(LogFolder(), name)) {
    FLogFile = FSessionLog->FileName();
  } else {
    SessionLogFailed(FSessionLog->Error());
  }
  ShowLogPanel();
}

void TfmMain::OpenSessionLog() {
  if (!FSessionLog->Open(FLogFile)) SessionLogFailed(FSessionLog->Error());
  ShowLogPanel();
}

// Said once, after the tick or the connect that met it, so no dialog runs inside the dialogue.
// A folder the program may not write in is no failure: the box says why logging is off.
void TfmMain::SessionLogFailed(const std::string& Error) {
  ui->actLogSession->setChecked(false);
  FLogFile.clear();
  ShowLogPanel();
  const bool refused = FSessionLog->Refused();
  const std::string text = Error + (refused ? "\r\n\r\nLog Session is off."
                                            : "\r\n\r\nThe session is no longer logged.");
  QTimer::singleShot(
      0, this, Guarded([this, text, refused] {
        TModal::MessageBox(
            this, QString::fromStdString(text), refused ? "Info" : "Error",
            TModal::MB_OK | (refused ? TModal::MB_ICONINFORMATION : TModal::MB_ICONERROR));
      }));
}

void TfmMain::ShowLogPanel() {
  const bool on = FSessionLog->Active();
  FStatusLog->setVisible(on);
  FStatusLog->setText(on ? "Logging to " + QString::fromStdString(
                                               std::filesystem::path(FLogFile).filename().string())
                         : QString());
  FStatusLog->setToolTip(on ? QString::fromStdString(FLogFile) : QString());
}

std::string TfmMain::LogFolder() const {
  if (!FLogFolder.empty()) return FLogFolder;
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

// The device the log is about: the one connected, else the one the wizard will offer.
std::string TfmMain::LogAddress() const {
  if (auto* serial = dynamic_cast<TComPortDispatcher*>(FDispatcher)) return serial->PortName();
  if (auto* tcp = dynamic_cast<TTCPDispatcher*>(FDispatcher)) return tcp->GetHost();
  if (FMethod == 1 && FThroughServer) return FSerialServer;
  if (FMethod == 1 && FComPort > 0) return "COM" + std::to_string(FComPort);
  return FMethod == 0 ? FConnection : FHost;
}
