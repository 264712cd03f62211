#include "app/uMainSessionLog.h"

#include <QAction>
#include <QLabel>
#include <QStandardPaths>
#include <QTimer>
#include <filesystem>

#include "app/uOtherUsersFolder.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "rtl/DocumentsFolder.h"
#include "rtl/UserFolders.h"

TMainSessionLog::TMainSessionLog(QWidget* Window, QAction* Toggle, QLabel* Panel,
                                 std::string& Folder, std::function<std::string()> Address)
    : FWindow(Window),
      FToggle(Toggle),
      FPanel(Panel),
      FFolder(Folder),
      FAddress(std::move(Address)) {
  FLog.OnFailed = [this](const std::string& Error) { Failed(Error); };
}

void TMainSessionLog::Toggled(bool Connected) {
  if (!FToggle->isChecked()) {
    FLog.Close();
    FFile.clear();
    ShowPanel();
    return;
  }
  const std::string name = SessionLogName(std::chrono::system_clock::now(), FAddress());
  const QString chosen =
      TModal::SaveFileName(FWindow, "Log Session", PathToQ(Folder() + "/" + name),
                           "Log files (*.log);;Text files (*.txt);;All files (*)", "log");
  if (chosen.isEmpty() ||
      TellOtherUsersFolder(FWindow, PathFromQ(chosen), "The session is not logged in ")) {
    FToggle->setChecked(false);
    return;
  }
  FFile = PathFromQ(chosen);
  FFolder = std::filesystem::path(FFile).parent_path().string();
  if (Connected) Open();
}

void TMainSessionLog::ConnectionStarting() {
  if (!FToggle->isChecked() || FLog.Active()) return;
  if (!FFile.empty()) return Open();
  const std::string name = SessionLogName(std::chrono::system_clock::now(), FAddress());
  if (FLog.Create(Folder(), name)) {
    FFile = FLog.FileName();
  } else {
    Failed(FLog.Error());
  }
  ShowPanel();
}

void TMainSessionLog::Open() {
  if (!FLog.Open(FFile)) Failed(FLog.Error());
  ShowPanel();
}

// A folder the program may not write in is no failure: the box says why logging is off.
void TMainSessionLog::Failed(const std::string& Error) {
  FToggle->setChecked(false);
  FFile.clear();
  ShowPanel();
  const bool refused = FLog.Refused();
  const std::string text = Error + (refused ? "\r\n\r\nLog Session is off."
                                            : "\r\n\r\nThe session is no longer logged.");
  QTimer::singleShot(
      0, FWindow, Guarded([this, text, refused] {
        TModal::MessageBox(
            FWindow, QString::fromStdString(text), refused ? "Info" : "Error",
            TModal::MB_OK | (refused ? TModal::MB_ICONINFORMATION : TModal::MB_ICONERROR));
      }));
}

void TMainSessionLog::ShowPanel() {
  const bool on = FLog.Active();
  FPanel->setVisible(on);
  FPanel->setText(on ? "Logging to " + PathToQ(std::filesystem::path(FFile).filename().string())
                     : QString());
  FPanel->setToolTip(on ? PathToQ(FFile) : QString());
}

std::string TMainSessionLog::Folder() const {
  if (!FFolder.empty()) return FFolder;
  return DocumentsOrHome(
      PathFromQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
      UserHomeFolder());
}
