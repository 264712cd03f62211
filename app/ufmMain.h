// The main window: owns what lives for the whole run (settings, the device dialogue, the
// parameter list, the page folders), runs the connect and disconnect flows, hears the current
// connection worker's four notifications, switches between the standard view (the HTML
// pages) and the advanced view (terminal, events and modem trace), and saves the settings at
// exit. The dialogue itself lives in TDialogue, and what grew beside the window's own work has
// rooms of its own (the session log, compare, programming, the advanced view's tools); the
// handlers here keep their familiar names and forward.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "params/uStorage.h"
#include "session/uDialogue.h"
#include "session/uSavedSettings.h"

class QMenu;
class QPlainTextEdit;
class TFindBar;
class TfmAbout;
class TfmConnectProgress;
class TfmConnectWizard;
class THtmlView;
class TMainCompare;
class TMainProgramming;
class TMainSessionLog;
class TOrvaneRegistry;
class TTerminalDispatcher;
class TTerminalView;

namespace Ui {
class TfmMain;
}

class TfmMain : public QMainWindow {
  Q_OBJECT

 public:
  // ProgramFolder is the program's own folder (empty: the running program's); the page
  // templates come from beside it, else from the installed data folder next to it.
  explicit TfmMain(const std::string& ProgramFolder = {}, QWidget* Parent = nullptr);
  ~TfmMain() override;

  // The secondary windows, created after the main window as the program starts.
  void UseWindows(TfmConnectWizard* Wizard, TfmConnectProgress* Progress, TfmAbout* About);

  void FormCreate();
  void FormShow();
  void FormDestroy();
  void LoadSettings();
  void SaveSettings();

  void actConnectExecute();
  void actDisconnectExecute();
  void actReconnectExecute();
  void actExitExecute();
  void actAboutExecute();
  void actAdvancedExecute();
  void UpdateView();
  void ShowStandardView();
  void EnableDeviceActions(bool Enabled);
  void SetStatusText(const std::string& Text);

  // Beside the status panels after the line dropped without a Disconnect.
  static constexpr const char16_t* kDroppedHint = u"Line dropped \u2014 Reconnect (Ctrl+R)";

  void DispatcherOpened(TTerminalDispatcher* Sender);
  void DispatcherClosed(TTerminalDispatcher* Sender);
  void DispatcherError(TTerminalDispatcher* Sender, const std::string& Msg);
  void DispatcherStatus(TTerminalDispatcher* Sender, const std::string& Text);
  void ProgressAbort(TfmConnectProgress* Sender);
  void ProgressPassword(TfmConnectProgress* Sender, const std::string& Password);

  void timerPumpTimer();
  bool SendCommand(const std::string& Text, uint32_t Timeout, TCompletion Completion);

  std::string hvMainInclude(const std::string& Command, const std::vector<std::string>& Params);
  void hvMainFormSubmit(const std::string& Action, const std::string& Target,
                        const std::string& EncType, const std::string& Method,
                        const std::vector<std::string>& Results);

  TTerminalDispatcher* CurrentDispatcher() const { return FDispatcher; }
  TDialogue& Dialogue() { return *FDialogue; }
  TParameterList& Params() { return FParams; }
  THtmlView* hvMain() const { return FHtmlView; }
  TTerminalView* reTerminal() const { return FTerminal; }
  const std::string& ExeFolder() const { return FExeFolder; }

  // The pages and the views.
  void actStatusExecute();
  void actRegistersExecute();
  void actLoadRegistersExecute();
  void actSaveRegistersExecute();
  void actDiagnosticsExecute();
  void ShowHomePage();
  void TerminalWrite(const std::string& Text);
  void ResetTerminal();

 protected:
  bool event(QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;

 private:
  void BuildViews();
  void WireActions();
  void WirePopupMenus();
  void WireViewTools();
  void WireRooms();
  void TellIgnoredSettings();
  void StartConnection(TTerminalDispatcher* Dispatcher);
  void EnableReconnect();
  void SetStandingHint(const QString& Hint);
  bool IsSerial(TTerminalDispatcher* Dispatcher) const;
  std::string LogAddress() const;
  void DisarmPump();
  void ArmPump();

  // The dialogue.
  void RequestVersion() { FDialogue->RequestVersion(); }
  void RestartIdleTimer() { FDialogue->RestartIdleTimer(); }
  void VersionReceived();

  // The views.
  void AddEvents(const std::string& Text);
  void AddModemTrace(const std::string& Text);
  void ShowDropped(int32_t Segment, int64_t Bytes);
  void ClearModemViews();
  void ClearEvents();
  void ClearModem();
  void reTerminalKeyPress(char Key);
  void actFindExecute();
  void SaveViewAs(QPlainTextEdit* View, const std::string& Name);
  void btnSendClick();

  // The pages.
  void ShowWaitPage();
  void ShowInfoPage();
  void ShowRegistersPage();
  void SelectPageFolder();
  void StatusReceived();
  void RegistersReceived();
  void ProgrammingDone();
  void LoadRegistersFrom(const std::string& FileName);
  void CollectDiagnostics();
  void DiagRegistersDone();
  void DiagInfoDone();
  void DiagDumpDone();
  void ReadDevicePage(bool Registers, const char* Command, TCompletion Received);
  void ReadRegisterReply();
  void RenderReplyInTerminal();
  std::string PresetFolder() const;
  std::string RegistersPageText() const;

  std::unique_ptr<Ui::TfmMain> ui;
  THtmlView* FHtmlView = nullptr;      // hvMain, owned by its page
  TTerminalView* FTerminal = nullptr;  // reTerminal, owned by its page
  class QLabel* FStatusPanel0 = nullptr;
  class QLabel* FStatusPanel1 = nullptr;
  class QLabel* FStatusLog = nullptr;   // shown while a session log is written
  class QLabel* FStatusHint = nullptr;  // the hint of the menu item or button under the pointer
  QString FStandingHint;                // shown there while no item is under the pointer
  QMainWindow* FPanels = nullptr;       // the advanced view's terminal and side panels
  QMenu* FPumTerminal = nullptr;
  QMenu* FPumEvents = nullptr;
  QMenu* FPumModem = nullptr;
  TFindBar* FFindBar = nullptr;
  QAction* FActTerminalStamps = nullptr;  // remembered
  QTimer FTimerPump;

  TfmConnectWizard* FWizard = nullptr;
  TfmConnectProgress* FProgress = nullptr;
  TfmAbout* FAbout = nullptr;

  bool FRegistersShown = false;
  TTerminalDispatcher* FDispatcher = nullptr;  // frees itself when its thread ends
  std::unique_ptr<TDialogue> FDialogue;        // the fork, the splitter and the dialogue state
  std::vector<std::string> FPageFolders;
  std::string FExeFolder;
  bool FPagesInstalled = false;
  std::string FPageVersion = "v1.00";
  std::string FPageFolder;
  TParameterList FParams;
  std::vector<std::string> FMissingRegisters;  // the loaded preset lacks them: marked
  bool FLocalEcho = false;
  bool FDisconnecting = false;
  bool FOpened = false;   // the current connection opened: its end unasked for is a drop
  bool FAborted = false;  // the user aborted connecting
  std::unique_ptr<TOrvaneRegistry> FSettings;
  TSavedSettings FSaved;  // read at start-up, written at exit; the route is the last confirmed
  std::vector<std::string> FIgnoredSettings;
  bool FSettingsReadOnly = false;  // root with another user's settings folder
  bool FShownOnce = false;
  bool FDestroyed = false;
  // The rooms beside the window's own work.
  std::unique_ptr<TMainSessionLog> FSessionLog;
  std::unique_ptr<TMainCompare> FCompare;
  std::unique_ptr<TMainProgramming> FProgramming;
};
