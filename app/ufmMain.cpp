#include "app/ufmMain.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>
#include <QStatusTipEvent>

#include "app/TTerminalView.h"
#include "app/uMainAdvancedView.h"
#include "app/uMainCompare.h"
#include "app/uMainLook.h"
#include "app/uMainPresets.h"
#include "app/uMainProgramming.h"
#include "app/uMainReconnect.h"
#include "app/uMainRetries.h"
#include "app/uMainSessionLog.h"
#include "dialogs/ufmAbout.h"
#include "dialogs/ufmConnectProgress.h"
#include "dialogs/ufmConnectWizard.h"
#include "dispatch/uTerminalDispatcher.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "htmlview/THtmlView.h"
#include "rtl/ProgramFolder.h"
#include "session/uEventStamp.h"
#include "session/uModemStrings.h"
#include "session/uPageFolders.h"
#include "session/uViewLimits.h"
#include "settings/uRegistry.h"
#include "ui_ufmMain.h"

// The windows live in a static library, whose resources are not registered by themselves.
static void RegisterResources() {
  Q_INIT_RESOURCE(resources);
}

TfmMain::TfmMain(const std::string& ProgramFolder, QWidget* Parent)
    : QMainWindow(Parent), ui((RegisterResources(), std::make_unique<Ui::TfmMain>())) {
  ui->setupUi(this);
  const std::string exeFolder = ProgramFolder.empty() ? ::ProgramFolder() : ProgramFolder;
  FExeFolder = PageTemplateFolder(exeFolder);
  BuildViews();
  WireActions();
  FTimerPump.setObjectName("timerPump");
  FTimerPump.setInterval(100);
  FTimerPump.setSingleShot(true);  // re-armed as every tick ends
  connect(&FTimerPump, &QTimer::timeout, this, Guarded([this] { timerPumpTimer(); }));
  TPresetsHost presets;
  presets.ShowWaitPage = [this] { ShowWaitPage(); };
  presets.ShowRegistersPage = [this] { ShowRegistersPage(); };
  const TPresetsPlace place{FExeFolder, FPageVersion, FPageFolder,
                            PagesInstalled(FExeFolder, exeFolder)};
  FPresets = std::make_unique<TMainPresets>(this, FParams, place, FSaved.RegisterFilename,
                                            std::move(presets));
  FormCreate();
  FAdvanced->Restore({FSaved.WindowPlacement, FSaved.PanelLayout});
}

TfmMain::~TfmMain() {
  FormDestroy();
}

void TfmMain::UseWindows(TfmConnectWizard* Wizard, TfmConnectProgress* Progress, TfmAbout* About) {
  FWizard = Wizard;
  FProgress = Progress;
  FAbout = About;
  FReconnect->Offer(FDispatcher != nullptr);
}

void TfmMain::BuildViews() {
  FHtmlView = new THtmlView(ui->tsHtml);
  FHtmlView->setObjectName("hvMain");
  ui->tsHtml->layout()->addWidget(FHtmlView);
  FAdvanced = std::make_unique<TMainAdvancedView>(this, ui.get());
  FTerminal = FAdvanced->Terminal();
  FStatusPanel0 = AddStatusPanel(ui->sbMain, "sbPanel0", 200, 0);
  FStatusPanel1 = AddStatusPanel(ui->sbMain, "sbPanel1", 50, 0);
  FStatusNote = AddStatusPanel(ui->sbMain, "sbNote", 0, 0);
  FStatusLog = AddStatusPanel(ui->sbMain, "sbLog", 0, 0);
  FStatusLog->hide();
  FReconnect = std::make_unique<TMainReconnect>(
      ui->actReconnect, AddStatusPanel(ui->sbMain, "sbHint", 0, 1), FSaved.Route);
  BuildRetries();
  resize(608, 454);
}

void TfmMain::WireActions() {
  auto on = [this](QAction* action, auto handler) {
    connect(action, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
  };
  on(ui->actConnect, &TfmMain::actConnectExecute);
  on(ui->actDisconnect, &TfmMain::actDisconnectExecute);
  on(ui->actReconnect, &TfmMain::actReconnectExecute);
  on(ui->actExit, &TfmMain::actExitExecute);
  on(ui->actAbout, &TfmMain::actAboutExecute);
  on(ui->actAdvanced, &TfmMain::actAdvancedExecute);
  on(ui->actStatus, &TfmMain::actStatusExecute);
  on(ui->actRegisters, &TfmMain::actRegistersExecute);
  on(ui->actLoadRegisters, &TfmMain::actLoadRegistersExecute);
  on(ui->actSaveRegisters, &TfmMain::actSaveRegistersExecute);
  on(ui->actDiagnostics, &TfmMain::actDiagnosticsExecute);
  on(ui->actTerminalClear, &TfmMain::ResetTerminal);
  connect(FTerminal, &TTerminalView::KeyTyped, this,
          Guarded([this](char Key) { reTerminalKeyPress(Key); }));
  connect(ui->btnSend, &QPushButton::clicked, this, Guarded([this] { btnSendClick(); }));
  connect(ui->edSend, &QLineEdit::returnPressed, this, Guarded([this] { btnSendClick(); }));
  SetActionIcons(ui.get());
}

void TfmMain::FormCreate() {
  FSettings = std::make_unique<TOrvaneRegistry>("TallyboxUtility");
  LoadSettings();
  TDialogueHost host;
  host.TerminalWrite = [this](const std::string& Text) { TerminalWrite(Text); };
  host.AddEvents = [this](const std::string& Text) { AddEvents(Text); };
  host.AddModemTrace = [this](const std::string& Text) { AddModemTrace(Text); };
  host.AskPassword = [this] { PasswordAsked(); };
  host.CloseSoon = [this] {
    if (FProgress) FProgress->CloseSoon();
  };
  host.LoggedIn = [this] { VersionReceived(); };
  host.Dropped = [this](int32_t Segment, int64_t Bytes) {
    FAdvanced->ShowDropped(*FDialogue, Segment, Bytes);
  };
  host.RequestFailed = [this](const std::string& Why) { SetStatusText(Why); };
  FDialogue = std::make_unique<TDialogue>(FParams, std::move(host));
  CreateFeatureHelpers();
  FPageFolder = FExeFolder + FPageVersion;
  FPageFolders = ListPageFolders(FExeFolder);
  FHtmlView->SetPageRoot(FExeFolder);
  FHtmlView->SetIncludeHandler(
      [this](const std::string& Command, const std::vector<std::string>& Params) {
        return hvMainInclude(Command, Params);
      });
  FHtmlView->SetSubmitHandler(Guarded([this](const std::string& Action, const std::string& Target,
                                             const std::string& EncType, const std::string& Method,
                                             std::vector<std::string> Results) {
    hvMainFormSubmit(Action, Target, EncType, Method, Results);
  }));
}

void TfmMain::LoadSettings() {
  FSettings->Open();
  FSettingsReadOnly = FSettings->ReadOnly();
  // A value of the wrong type counts as missing; the user hears about it once, after start-up.
  ReadSavedSettings(*FSettings, FSaved, FIgnoredSettings);
  FSettings->Close();
  // Another user's settings could send root's session log anywhere: it is not started.
  ui->actLogSession->setChecked(FSaved.LogSession && !FSettingsReadOnly);
  FAdvanced->Timestamps()->setChecked(FSaved.TerminalTimestamps);
  ui->actReconnectByItself->setChecked(FSaved.ReconnectByItself);
}

void TfmMain::SaveSettings() {
  FSettings->Open();
  if (FSettings->ReadOnly()) return FSettings->Close();  // said once, at start-up
  const TWindowLayout layout = FAdvanced->Layout();
  FSaved.WindowPlacement = layout.Placement;
  FSaved.PanelLayout = layout.Panels;
  FSaved.LogSession = ui->actLogSession->isChecked();
  FSaved.TerminalTimestamps = FAdvanced->Timestamps()->isChecked();
  FSaved.ReconnectByItself = ui->actReconnectByItself->isChecked();
  WriteSavedSettings(*FSettings, FSaved);
  FSettings->Close();
}

void TfmMain::TellIgnoredSettings() {
  const std::string text =
      IgnoredSettingsText(FSettingsReadOnly ? FSettings->Folder() : "", FIgnoredSettings);
  FIgnoredSettings.clear();
  if (!text.empty()) TModal::MessageBox(this, ToQ(text), "Info", TModal::MB_ICONINFORMATION);
}

// A hint goes beside the status panels: the status bar's own message would hide them. Once the
// pointer leaves the item, the standing hint comes back.
bool TfmMain::event(QEvent* Event) {
  if (Event->type() != QEvent::StatusTip) return QMainWindow::event(Event);
  const QString tip = static_cast<QStatusTipEvent*>(Event)->tip();
  FReconnect->ShowTip(tip);
  return true;
}

void TfmMain::showEvent(QShowEvent* Event) {
  QMainWindow::showEvent(Event);
  if (FShownOnce) return;
  FShownOnce = true;
  try {
    FormShow();
  } catch (...) {
    TApplication::ShowException(std::current_exception());
  }
  // After the window is up, so the message has a parent on screen.
  QTimer::singleShot(0, this, Guarded([this] { TellIgnoredSettings(); }));
}

void TfmMain::FormShow() {
  UpdateView();
}

void TfmMain::closeEvent(QCloseEvent* Event) {
  FormDestroy();
  QMainWindow::closeEvent(Event);
}

void TfmMain::FormDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  FRetries->Stop();
  try {
    SaveSettings();
  } catch (...) {
    TApplication::ShowException(std::current_exception());
  }
  FTimerPump.stop();
  if (TTerminalDispatcher* dispatcher = FDispatcher) {
    FDispatcher = nullptr;
    dispatcher->FreeOnTerminate = false;
    dispatcher->DetachNotifications();
    dispatcher->Terminate();
    dispatcher->WaitFor();
    FDialogue->Reset(nullptr);
    delete dispatcher;
  }
  FSessionLog->Close();
}

void TfmMain::CreateFeatureHelpers() {
  FSessionLog =
      std::make_unique<TMainSessionLog>(this, ui->actLogSession, FStatusLog, FSaved.LogFolder,
                                        [this] { return FReconnect->Address(); });
  FDialogue->SetLog(&FSessionLog->Log());
  connect(ui->actLogSession, &QAction::triggered, this,
          Guarded([this] { FSessionLog->Toggled(FDispatcher != nullptr); }));
  TCompareHost compare;
  compare.ReadRegisters = [this](TCompletion Received) {
    ReadDevicePage(true, "r?", std::move(Received));
  };
  compare.TakeRegisters = [this] {
    ReadRegisterReply();
    return !FDialogue->LastRequestTimedOut();
  };
  compare.ShowHomePage = [this] { ShowHomePage(); };
  FCompare =
      std::make_unique<TMainCompare>(this, FHtmlView, FParams, *FPresets, std::move(compare));
  connect(ui->actCompareRegisters, &QAction::triggered, this,
          Guarded([this] { FCompare->Start(); }));
  TProgrammingHost programming;
  programming.SetStatusText = [this](const std::string& Text) { SetStatusText(Text); };
  programming.ShowWaitPage = [this] { ShowWaitPage(); };
  programming.ShowHomePage = [this] { ShowHomePage(); };
  programming.ShowRegisters = [this] {
    FRegistersShown = true;
    ShowRegistersPage();
  };
  programming.Starting = [this] { FPresets->ClearMarks(); };
  programming.LinesDone = [this] { ProgrammingDone(); };
  programming.Programmed = [this](const std::string& Event, const std::string& Note) {
    FAdvanced->ShowLineEvent(Event);
    FStatusNote->setText(ToQ(Note));
  };
  FProgramming =
      std::make_unique<TMainProgramming>(this, *FDialogue, FParams, std::move(programming));
}

void TfmMain::actExitExecute() {
  close();
}

void TfmMain::actAboutExecute() {
  if (FAbout) TModal::Exec(FAbout);
}

void TfmMain::actAdvancedExecute() {
  // The action toggles itself when triggered; UpdateView follows its state.
  UpdateView();
}

void TfmMain::UpdateView() {
  if (ui->actAdvanced->isChecked()) {
    ui->pcMain->setCurrentWidget(ui->tsAdvanced);
  } else {
    ShowHomePage();
    ui->pcMain->setCurrentWidget(ui->tsHtml);
  }
}

void TfmMain::ShowStandardView() {
  ui->actAdvanced->setChecked(false);
  UpdateView();
}

void TfmMain::EnableDeviceActions(bool Enabled) {
  for (QAction* action : {ui->actStatus, ui->actRegisters, ui->actLoadRegisters,
                          ui->actSaveRegisters, ui->actCompareRegisters, ui->actDiagnostics})
    action->setEnabled(Enabled);
}

// A note beside the status text holds only until the status changes.
void TfmMain::SetStatusText(const std::string& Text) {
  FStatusPanel0->setText(ToQ(Text));
  FStatusNote->clear();
}

void TfmMain::actConnectExecute() {
  ShowHomePage();
  FDisconnecting = false;
  StopRetrying();  // no try may start behind the wizard
  if (!FWizard) return;
  FWizard->Route = FSaved.Route;
  if (TModal::Exec(FWizard) != QDialog::Accepted || !FWizard->Dispatcher) return;
  FRetries->ForgetPassword();  // the password given for this route is kept next
  FSaved.Route = FWizard->Route;
  TTerminalDispatcher* dispatcher = FWizard->Dispatcher;
  FWizard->Dispatcher = nullptr;
  StartConnection(dispatcher);
}

void TfmMain::actReconnectExecute() {
  if (FDispatcher || !FProgress || !FSaved.Route.Complete()) return;
  StopRetrying();
  FDisconnecting = false;
  StartConnection(FReconnect->MakeWorker());
}

void TfmMain::StartConnection(TTerminalDispatcher* Dispatcher, bool Quiet) {
  FQuietTry = Quiet;
  if (!Quiet) ShowWaitPage();
  SetStatusText("Connecting...");
  FReconnect->Starting();
  FDispatcher = Dispatcher;
  FTerminal->SetDeviceListens(true);
  FDialogue->Reset(FDispatcher);
  FSessionLog->ConnectionStarting();
  FDispatcher->OnOpened = Guarded([this](TTerminalDispatcher* d) { DispatcherOpened(d); });
  FDispatcher->OnClosed = Guarded([this](TTerminalDispatcher* d) { DispatcherClosed(d); });
  FDispatcher->OnStatus =
      Guarded([this](TTerminalDispatcher* d, const std::string& t) { DispatcherStatus(d, t); });
  FDispatcher->OnError =
      Guarded([this](TTerminalDispatcher* d, const std::string& m) { DispatcherError(d, m); });
  FProgress->OnAbort = [this](TfmConnectProgress* p) { ProgressAbort(p); };
  FProgress->OnPassword = [this](TfmConnectProgress* p, const std::string& t) {
    ProgressPassword(p, t);
  };
  if (!Quiet) FProgress->Start();
  FDispatcher->FreeOnTerminate = true;
  FDispatcher->Resume();
  ui->actDisconnect->setEnabled(true);
  ui->actConnect->setEnabled(false);
}

void TfmMain::actDisconnectExecute() {
  // While the tries count down there is no connection: Disconnect only stops them.
  const bool counting = FRetries->Active() && !FDispatcher;
  StopRetrying();
  ui->actDisconnect->setEnabled(false);
  if (counting) return;
  FDisconnecting = true;
  SetStatusText("Disconnecting...");
  if (FDispatcher) FDialogue->Disconnect(dynamic_cast<TComPortDispatcher*>(FDispatcher) != nullptr);
}

void TfmMain::DispatcherOpened(TTerminalDispatcher* Sender) {
  if (Sender != FDispatcher || !FDispatcher) return;
  FProgress->AddProgress("Opened");
  FProgress->CloseSoon();
  FReconnect->Opened();
  ArmPump();
  std::string connection;
  if (auto* serial = dynamic_cast<TComPortDispatcher*>(Sender)) {
    ClearModemViews();
    FAdvanced->ShowSidePanels(true);
    FSerialOpen = true;
    FLocalEcho = false;
    connection = serial->PortName();
    FDialogue->Opened(true);
  } else {
    FAdvanced->ShowSidePanels(false);
    FLocalEcho = true;
    connection = static_cast<TTCPDispatcher*>(Sender)->GetHost();
    FDialogue->Opened(false);
  }
  ResetTerminal();
  SetStatusText("Connected " + connection);
}

void TfmMain::DispatcherStatus(TTerminalDispatcher* Sender, const std::string& Text) {
  if (Sender != FDispatcher || !FDispatcher) return;
  FProgress->AddProgress(Text);
  if (FSerialOpen) FAdvanced->ShowLineEvent(Text);
}

void TfmMain::DispatcherError(TTerminalDispatcher* Sender, const std::string& Msg) {
  if (Sender != FDispatcher || !FDispatcher) return;
  FProgress->AddProgress(Msg);
  if (FQuietTry) return;  // the tries go on; the countdown says the line is still down
  TModal::MessageBox(this, ToQ(Msg), "Error", TModal::MB_OK | TModal::MB_ICONERROR);
}

void TfmMain::DispatcherClosed(TTerminalDispatcher* Sender) {
  if (Sender != FDispatcher || !FDispatcher) return;
  const TRetryPage page = PageInSight();
  NoteRefusal();
  FProgress->AddProgress("Closed");
  FProgress->CloseSoon();
  FSerialOpen = false;
  ui->actDisconnect->setEnabled(false);
  ui->actConnect->setEnabled(true);
  Sender->DetachNotifications();
  FDialogue->Closed();  // the device's last words still reach the views
  FDispatcher = nullptr;
  FTerminal->SetDeviceListens(false);
  FProgramming->Reset();
  DisarmPump();
  const bool login = FDialogue->State() == ssLogin;
  if (login && (!FQuietTry || FRetries->WasRefused()))
    TModal::MessageBox(this, "Check the password, and try again", "Info",
                       TModal::MB_OK | TModal::MB_ICONINFORMATION);
  EnableDeviceActions(false);
  // The home page is shown afresh too, so that it no longer speaks of the device.
  const std::string shown = FHtmlView->CurrentFile();
  if (shown.find("wait.htm") != std::string::npos || FDisconnecting ||
      shown == FExeFolder + "home.htm")
    ShowHomePage();
  SetStatusText("Not connected");
  FStatusPanel1->clear();
  RetryAfterClose(page, FReconnect->Closed(FDisconnecting || login));
}

void TfmMain::ProgressAbort(TfmConnectProgress*) {
  if (!FDispatcher) return;
  FReconnect->Aborted();
  SetStatusText("Aborting...");
  FDispatcher->Abort();
}

void TfmMain::ProgressPassword(TfmConnectProgress*, const std::string& Password) {
  if (FDispatcher && FDialogue->SendPassword(Password)) FRetries->KeepPassword(Password);
}

void TfmMain::DisarmPump() {
  FTimerPump.stop();
}

// A tick that ran out of time with bytes still waiting is followed at once, after the
// events that came meanwhile, so the views keep up with the device and the menus with the user.
void TfmMain::ArmPump() {
  FTimerPump.start(FDialogue->Behind() ? 0 : 100);
}

void TfmMain::timerPumpTimer() {
  DisarmPump();
  // Re-armed however the tick ends: an exception from a view or a completion goes on to the
  // error display, but requests still complete and a serial Disconnect still sends "bye".
  struct TRearm {
    TfmMain* Main;
    ~TRearm() {
      if (Main->FDispatcher && Main->FDialogue->Dispatcher()) Main->ArmPump();
    }
  } rearm{this};
  FDialogue->Tick();
}

bool TfmMain::SendCommand(const std::string& Text, uint32_t Timeout, TCompletion Completion) {
  return FDialogue->SendCommand(Text, Timeout, std::move(Completion));
}

void TfmMain::VersionReceived() {
  const TRetryPage page = FRetries->LoggedIn();
  SelectPageFolder();
  EnableDeviceActions(true);
  ShowHomePage();
  ReadAgain(page);
}

void TfmMain::TerminalWrite(const std::string& Text) {
  FTerminal->TerminalWrite(Text);
}

void TfmMain::ResetTerminal() {
  FTerminal->ResetTerminal();
}

// Only the lines the memo keeps are stamped and drawn.
void TfmMain::AddEvents(const std::string& Text) {
  if (!Text.empty()) AppendToMemo(ui->memEvents, StampEvents(KeepLastLines(Text, MemoLines)));
}

void TfmMain::AddModemTrace(const std::string& Text) {
  if (HasModemStrings(Text)) AppendToMemo(ui->memModem, ExtractModemStrings(Text));
}

void TfmMain::ClearModemViews() {
  ui->memModem->clear();
  ui->memEvents->clear();
  ui->edSend->clear();
}

void TfmMain::reTerminalKeyPress(char Key) {
  if (!FDispatcher) return;
  FDialogue->Write(std::string(1, Key));
  FDialogue->RestartIdleTimer();
  FTerminal->ShowSent(std::string(1, Key), FLocalEcho);
}

void TfmMain::btnSendClick() {
  if (!FDispatcher) return;
  std::string message;
  if (!FieldToDevice(this, ui->edSend->text(), "message", message)) return;
  FDialogue->Write("M:" + message + "~\r\n");
  ui->edSend->clear();
}
