#include "app/ufmMain.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>

#include "app/TTerminalView.h"
#include "app/uMainCompare.h"
#include "app/uMainLook.h"
#include "app/uMainProgramming.h"
#include "app/uMainSessionLog.h"
#include "app/uWindowLayout.h"
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
#include "session/uPresetFolder.h"
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
  FPagesInstalled = PagesInstalled(FExeFolder, exeFolder);
  BuildViews();
  WireActions();
  WirePopupMenus();
  WireViewTools();
  FTimerPump.setObjectName("timerPump");
  FTimerPump.setInterval(100);
  FTimerPump.setSingleShot(true);  // re-armed as every tick ends
  connect(&FTimerPump, &QTimer::timeout, this, Guarded([this] { timerPumpTimer(); }));
  FormCreate();
  RestoreWindowLayout(this, FPanels, {FSaved.WindowPlacement, FSaved.PanelLayout});
}

TfmMain::~TfmMain() {
  FormDestroy();
}

void TfmMain::UseWindows(TfmConnectWizard* Wizard, TfmConnectProgress* Progress, TfmAbout* About) {
  FWizard = Wizard;
  FProgress = Progress;
  FAbout = About;
  EnableReconnect();
}

void TfmMain::BuildViews() {
  FHtmlView = new THtmlView(ui->tsHtml);
  FHtmlView->setObjectName("hvMain");
  ui->tsHtml->layout()->addWidget(FHtmlView);
  FTerminal = new TTerminalView(ui->tsAdvanced);
  FTerminal->setObjectName("reTerminal");
  ui->tsAdvanced->layout()->addWidget(FTerminal);
  // The side panels live beside the terminal only while the advanced view is up.
  ui->pnlModem->setParent(ui->tsAdvanced);
  ui->pnlEvents->setParent(ui->tsAdvanced);
  FPanels = LayOutAdvancedView(ui->tsAdvanced, FTerminal, ui->pnlModem, ui->pnlEvents);
  StyleMemos(ui->memModem, ui->memEvents);
  // Their text only ever comes from the device: an undo history would keep every line ever
  // shown (and every line trimmed away).
  ui->memModem->setUndoRedoEnabled(false);
  ui->memEvents->setUndoRedoEnabled(false);
  FStatusPanel0 = AddStatusPanel(ui->sbMain, "sbPanel0", 200, 0);
  FStatusPanel1 = AddStatusPanel(ui->sbMain, "sbPanel1", 50, 0);
  FStatusLog = AddStatusPanel(ui->sbMain, "sbLog", 0, 0);
  FStatusLog->hide();
  FStatusHint = AddStatusPanel(ui->sbMain, "sbHint", 0, 1);
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
  on(ui->actEventsClear, &TfmMain::ClearEvents);
  on(ui->actModemClear, &TfmMain::ClearModem);
  connect(ui->actTerminalCopy, &QAction::triggered, FTerminal, &TTerminalView::CopyAll);
  connect(ui->actEventsCopy, &QAction::triggered, ui->memEvents, &QPlainTextEdit::copy);
  connect(ui->actModemCopy, &QAction::triggered, ui->memModem, &QPlainTextEdit::copy);
  connect(FTerminal, &TTerminalView::KeyTyped, this,
          Guarded([this](char Key) { reTerminalKeyPress(Key); }));
  connect(ui->btnSend, &QPushButton::clicked, this, Guarded([this] { btnSendClick(); }));
  connect(ui->edSend, &QLineEdit::returnPressed, this, Guarded([this] { btnSendClick(); }));
  SetActionIcons(ui.get());
}

void TfmMain::WirePopupMenus() {
  auto popup = [this](QWidget* view, const char* name, QAction* copy, QAction* clear) {
    auto* menu = new QMenu(this);
    menu->setObjectName(name);
    menu->addAction(copy);
    menu->addAction(clear);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, menu,
            [menu, view](const QPoint& At) { menu->popup(view->mapToGlobal(At)); });
    return menu;
  };
  FPumTerminal = popup(FTerminal, "pumTerminal", ui->actTerminalCopy, ui->actTerminalClear);
  FPumEvents = popup(ui->memEvents, "pumEvents", ui->actEventsCopy, ui->actEventsClear);
  FPumModem = popup(ui->memModem, "pumModem", ui->actModemCopy, ui->actModemClear);
}

void TfmMain::FormCreate() {
  FSettings = std::make_unique<TOrvaneRegistry>("TallyboxUtility");
  LoadSettings();
  TDialogueHost host;
  host.TerminalWrite = [this](const std::string& Text) { TerminalWrite(Text); };
  host.AddEvents = [this](const std::string& Text) { AddEvents(Text); };
  host.AddModemTrace = [this](const std::string& Text) { AddModemTrace(Text); };
  host.AskPassword = [this] {
    if (FProgress) FProgress->AskPassword();
  };
  host.CloseSoon = [this] {
    if (FProgress) FProgress->CloseSoon();
  };
  host.LoggedIn = [this] { VersionReceived(); };
  host.Dropped = [this](int32_t Segment, int64_t Bytes) { ShowDropped(Segment, Bytes); };
  host.RequestFailed = [this](const std::string& Why) { SetStatusText(Why); };
  FDialogue = std::make_unique<TDialogue>(FParams, std::move(host));
  WireRooms();
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
  ui->actLogSession->setChecked(FSaved.LogSession);
  FActTerminalStamps->setChecked(FSaved.TerminalTimestamps);
}

void TfmMain::SaveSettings() {
  FSettings->Open();
  if (FSettings->ReadOnly()) return FSettings->Close();  // said once, at start-up
  const TWindowLayout layout = CaptureWindowLayout(this, FPanels);
  FSaved.WindowPlacement = layout.Placement;
  FSaved.PanelLayout = layout.Panels;
  FSaved.LogSession = ui->actLogSession->isChecked();
  FSaved.TerminalTimestamps = FActTerminalStamps->isChecked();
  WriteSavedSettings(*FSettings, FSaved);
  FSettings->Close();
}

void TfmMain::TellIgnoredSettings() {
  if (FIgnoredSettings.empty() && !FSettingsReadOnly) return;
  std::string text;
  if (FSettingsReadOnly)
    text = "The settings in " + FSettings->Folder() +
           " are read but will not be saved: " + std::string(kOtherUsersFolder);
  if (!FIgnoredSettings.empty()) {
    if (!text.empty()) text += "\r\n\r\n";
    text += "These saved settings were ignored and their defaults used:";
  }
  for (const std::string& line : FIgnoredSettings) text += "\r\n" + line;
  FIgnoredSettings.clear();
  TModal::MessageBox(this, ToQ(text), "Info", TModal::MB_ICONINFORMATION);
}

// A hint goes beside the status panels: the status bar's own message would hide them. Once the
// pointer leaves the item, the standing hint comes back.
bool TfmMain::event(QEvent* Event) {
  if (Event->type() != QEvent::StatusTip) return QMainWindow::event(Event);
  const QString tip = static_cast<QStatusTipEvent*>(Event)->tip();
  FStatusHint->setText(tip.isEmpty() ? FStandingHint : tip);
  return true;
}

void TfmMain::SetStandingHint(const QString& Hint) {
  FStandingHint = Hint;
  FStatusHint->setText(Hint);
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

void TfmMain::WireRooms() {
  FSessionLog = std::make_unique<TMainSessionLog>(
      this, ui->actLogSession, FStatusLog, FSaved.LogFolder, [this] { return LogAddress(); });
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
  compare.PageFolder = [this] { return FPageFolder; };
  compare.PresetFolder = [this] { return PresetFolder(); };
  compare.RegistersPageText = [this] { return RegistersPageText(); };
  FCompare = std::make_unique<TMainCompare>(this, FHtmlView, FParams, std::move(compare));
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
  programming.Starting = [this] { FMissingRegisters.clear(); };
  programming.LinesDone = [this] { ProgrammingDone(); };
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

void TfmMain::SetStatusText(const std::string& Text) {
  FStatusPanel0->setText(ToQ(Text));
}

// Connect and disconnect ---------------------------------------------------------------------

void TfmMain::actConnectExecute() {
  ShowHomePage();
  FDisconnecting = false;
  if (!FWizard) return;
  FWizard->Route = FSaved.Route;
  if (TModal::Exec(FWizard) != QDialog::Accepted || !FWizard->Dispatcher) return;
  FSaved.Route = FWizard->Route;
  TTerminalDispatcher* dispatcher = FWizard->Dispatcher;
  FWizard->Dispatcher = nullptr;
  StartConnection(dispatcher);
}

// The last route the wizard confirmed, without showing it.
void TfmMain::actReconnectExecute() {
  if (FDispatcher || !FProgress || !FSaved.Route.Complete()) return;
  FDisconnecting = false;
  StartConnection(MakeDispatcher(FSaved.Route));
}

void TfmMain::StartConnection(TTerminalDispatcher* Dispatcher) {
  ShowWaitPage();
  SetStatusText("Connecting...");
  SetStandingHint({});
  FOpened = false;
  FAborted = false;
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
  FProgress->Start();
  FDispatcher->FreeOnTerminate = true;
  FDispatcher->Resume();
  ui->actDisconnect->setEnabled(true);
  ui->actConnect->setEnabled(false);
  EnableReconnect();
}

// Offered whenever no connection is up and the last route is known.
void TfmMain::EnableReconnect() {
  ui->actReconnect->setEnabled(!FDispatcher && FSaved.Route.Complete());
}

void TfmMain::actDisconnectExecute() {
  ui->actDisconnect->setEnabled(false);
  FDisconnecting = true;
  SetStatusText("Disconnecting...");
  if (FDispatcher) FDialogue->Disconnect(IsSerial(FDispatcher));
}

bool TfmMain::IsSerial(TTerminalDispatcher* Dispatcher) const {
  return dynamic_cast<TComPortDispatcher*>(Dispatcher) != nullptr;
}

// The device a session log is about: the one connected, else the one the wizard will offer.
std::string TfmMain::LogAddress() const {
  if (auto* serial = dynamic_cast<TComPortDispatcher*>(FDispatcher)) return serial->PortName();
  if (auto* tcp = dynamic_cast<TTCPDispatcher*>(FDispatcher)) return tcp->GetHost();
  const TRoute& route = FSaved.Route;
  if (route.Kind == TRouteKind::Serial && (route.ThroughServer || route.ComPort > 0))
    return route.Name();
  return route.Kind == TRouteKind::DialUp ? route.DialEntry : route.Host;
}

void TfmMain::DispatcherOpened(TTerminalDispatcher* Sender) {
  if (Sender != FDispatcher || !FDispatcher) return;
  FProgress->AddProgress("Opened");
  FProgress->CloseSoon();
  FOpened = true;
  ArmPump();
  std::string connection;
  if (auto* serial = dynamic_cast<TComPortDispatcher*>(Sender)) {
    ClearModemViews();
    ui->pnlModem->show();
    ui->pnlEvents->show();
    FLocalEcho = false;
    connection = serial->PortName();
    FDialogue->Opened(true);
  } else {
    ui->pnlModem->hide();
    ui->pnlEvents->hide();
    FLocalEcho = true;
    connection = static_cast<TTCPDispatcher*>(Sender)->GetHost();
    FDialogue->Opened(false);
  }
  ResetTerminal();
  SetStatusText("Connected " + connection);
}

void TfmMain::DispatcherStatus(TTerminalDispatcher* Sender, const std::string& Text) {
  if (Sender == FDispatcher && FDispatcher) FProgress->AddProgress(Text);
}

void TfmMain::DispatcherError(TTerminalDispatcher* Sender, const std::string& Msg) {
  if (Sender != FDispatcher || !FDispatcher) return;
  FProgress->AddProgress(Msg);
  TModal::MessageBox(this, ToQ(Msg), "Error", TModal::MB_OK | TModal::MB_ICONERROR);
}

void TfmMain::DispatcherClosed(TTerminalDispatcher* Sender) {
  if (Sender != FDispatcher || !FDispatcher) return;
  FProgress->AddProgress("Closed");
  FProgress->CloseSoon();
  ui->actDisconnect->setEnabled(false);
  ui->actConnect->setEnabled(true);
  Sender->DetachNotifications();
  FDialogue->Closed();  // the device's last words still reach the views
  FDispatcher = nullptr;
  FTerminal->SetDeviceListens(false);
  FProgramming->Reset();
  DisarmPump();
  const bool login = FDialogue->State() == ssLogin;
  if (login)
    TModal::MessageBox(this, "Check the password, and try again", "Info",
                       TModal::MB_OK | TModal::MB_ICONINFORMATION);
  EnableDeviceActions(false);
  EnableReconnect();
  if (FHtmlView->CurrentFile().find("wait.htm") != std::string::npos || FDisconnecting)
    ShowHomePage();
  SetStatusText("Not connected");
  FStatusPanel1->clear();
  const bool dropped = FOpened && !FDisconnecting && !FAborted && !login;
  if (dropped) SetStandingHint(QString::fromUtf16(kDroppedHint));
}

void TfmMain::ProgressAbort(TfmConnectProgress*) {
  if (!FDispatcher) return;
  FAborted = true;
  SetStatusText("Aborting...");
  FDispatcher->Abort();
}

void TfmMain::ProgressPassword(TfmConnectProgress*, const std::string& Password) {
  if (FDispatcher) FDialogue->SendPassword(Password);
}

// The dialogue ------------------------------------------------------------------------------

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
  SelectPageFolder();
  EnableDeviceActions(true);
  ShowHomePage();
}

// The views ---------------------------------------------------------------------------------

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

void TfmMain::ShowDropped(int32_t Segment, int64_t Bytes) {
  const std::string notice = DroppedNotice(Bytes);
  if (Segment == FDialogue->FSegEvents)
    AppendLineToMemo(ui->memEvents, notice);
  else if (Segment == FDialogue->FSegModem)
    AppendLineToMemo(ui->memModem, notice);
  else
    FTerminal->ShowNotice(notice);
}

void TfmMain::ClearModemViews() {
  ui->memModem->clear();
  ui->memEvents->clear();
  ui->edSend->clear();
}

void TfmMain::ClearEvents() {
  ui->memEvents->clear();
}

void TfmMain::ClearModem() {
  ui->memModem->clear();
}

void TfmMain::reTerminalKeyPress(char Key) {
  if (!FDispatcher) return;
  FDialogue->Write(std::string(1, Key));
  FDialogue->RestartIdleTimer();
  if (FLocalEcho) TerminalWrite(std::string(1, Key));
}

void TfmMain::btnSendClick() {
  if (!FDispatcher) return;
  std::string message;
  if (!FieldToDevice(this, ui->edSend->text(), "message", message)) return;
  FDialogue->Write("M:" + message + "~\r\n");
  ui->edSend->clear();
}
