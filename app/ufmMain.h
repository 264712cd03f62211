// The main window: owns what lives for the whole run (settings, the dialogue, the parameter
// list, the page folders), runs connect and disconnect, hears the worker's notifications,
// switches between the standard (HTML pages) and the advanced view and saves the settings at
// exit. The dialogue lives in TDialogue; what grew beside the window has a class of its own
// (TMain...: the advanced view, presets, compare, programming, reconnect, the session log).
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

class TfmAbout;
class TfmConnectProgress;
class TfmConnectWizard;
class THtmlView;
class TMainCompare;
class TMainPresets;
class TMainProgramming;
class TMainReconnect;
class TMainRetries;
enum class TRetryPage;
class TMainSessionLog;
class TMainAdvancedView;
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
  void CreateFeatureHelpers();
  void TellIgnoredSettings();
  // Quiet: a try of the reconnecting, which keeps the page and the progress window as they are
  // and tells its errors nowhere but the progress list.
  void StartConnection(TTerminalDispatcher* Dispatcher, bool Quiet = false);
  bool TryAgain();
  void StopRetrying();
  void PasswordAsked();
  TRetryPage PageInSight() const;
  void NoteRefusal();
  void RetryAfterClose(TRetryPage Page, bool Dropped);
  void ReadAgain(TRetryPage Page);
  void BuildRetries();
  void DisarmPump();
  void ArmPump();

  // The dialogue.
  void RestartIdleTimer() { FDialogue->RestartIdleTimer(); }
  void VersionReceived();

  // The views.
  void AddEvents(const std::string& Text);
  void AddModemTrace(const std::string& Text);
  void ClearModemViews();
  void reTerminalKeyPress(char Key);
  void btnSendClick();

  // The pages.
  void ShowWaitPage();
  void ShowInfoPage();
  void ShowRegistersPage();
  void SelectPageFolder();
  void StatusReceived();
  void RegistersReceived();
  void ProgrammingDone();
  void CollectDiagnostics();
  void DiagRegistersDone();
  void DiagInfoDone();
  void DiagDumpDone();
  void ReadDevicePage(bool Registers, const char* Command, TCompletion Received);
  void ReadRegisterReply();
  void RenderReplyInTerminal();

  std::unique_ptr<Ui::TfmMain> ui;
  THtmlView* FHtmlView = nullptr;      // hvMain, owned by its page
  TTerminalView* FTerminal = nullptr;  // reTerminal, owned by its page
  class QLabel* FStatusPanel0 = nullptr;
  class QLabel* FStatusPanel1 = nullptr;
  class QLabel* FStatusNote = nullptr;  // beside panel 0: what the last action did
  class QLabel* FStatusLog = nullptr;   // shown while a session log is written
  QTimer FTimerPump;

  TfmConnectWizard* FWizard = nullptr;
  TfmConnectProgress* FProgress = nullptr;
  TfmAbout* FAbout = nullptr;

  bool FRegistersShown = false;
  TTerminalDispatcher* FDispatcher = nullptr;  // frees itself when its thread ends
  std::unique_ptr<TDialogue> FDialogue;        // the fork, the splitter and the dialogue state
  std::vector<std::string> FPageFolders;
  std::string FExeFolder;
  std::string FPageVersion = "v1.00";
  std::string FPageFolder;
  TParameterList FParams;
  bool FLocalEcho = false;
  bool FDisconnecting = false;
  bool FSerialOpen = false;  // what the serial dispatcher says of the line goes to the events
  bool FQuietTry = false;    // the current connection is a try of the reconnecting
  std::unique_ptr<TOrvaneRegistry> FSettings;
  TSavedSettings FSaved;  // read at start-up, written at exit; the route is the last confirmed
  std::vector<std::string> FIgnoredSettings;
  bool FSettingsReadOnly = false;  // root with another user's settings folder
  bool FShownOnce = false;
  bool FDestroyed = false;
  // The helpers that each run one feature of the window: the advanced view, reconnect, the
  // session log, compare, presets and programming.
  std::unique_ptr<TMainAdvancedView> FAdvanced;
  std::unique_ptr<TMainReconnect> FReconnect;
  std::unique_ptr<TMainRetries> FRetries;
  std::unique_ptr<TMainSessionLog> FSessionLog;
  std::unique_ptr<TMainCompare> FCompare;
  std::unique_ptr<TMainPresets> FPresets;
  std::unique_ptr<TMainProgramming> FProgramming;
};
