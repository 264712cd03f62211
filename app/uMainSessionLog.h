// The main window's session log: File > Log Session asks for the file and starts it, the
// choice is remembered, every connection is then logged into it, and the status bar says so
// while it is written. The lines themselves come from TSessionLog, fed by the dialogue.
#pragma once

#include <functional>
#include <string>

#include "session/uSessionLog.h"

class QAction;
class QLabel;
class QWidget;

class TMainSessionLog {
 public:
  // Toggle is File > Log Session, Panel the status bar's log panel; Folder is the remembered
  // folder (saved with the settings); Address names the device a new log is about.
  TMainSessionLog(QWidget* Window, QAction* Toggle, QLabel* Panel, std::string& Folder,
                  std::function<std::string()> Address);

  TSessionLog& Log() { return FLog; }
  // Log Session was switched; while Connected the current connection is logged at once.
  void Toggled(bool Connected);
  // A new connection: logged when Log Session is on, into a new file named for this device
  // unless the user chose one.
  void ConnectionStarting();
  void Close() { FLog.Close(); }

 private:
  void Open();
  // Said once, after the tick or the connect that met it, so no dialog runs inside the
  // dialogue.
  void Failed(const std::string& Error);
  void ShowPanel();
  std::string Folder() const;

  QWidget* FWindow;
  QAction* FToggle;
  QLabel* FPanel;
  std::string& FFolder;
  std::function<std::string()> FAddress;
  TSessionLog FLog;
  std::string FFile;  // chosen, or named at the first connect
};
