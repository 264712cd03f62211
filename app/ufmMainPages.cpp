// The main window's standard view: the status and registers pages filled from the parameter
// list, programming the device from the registers page, register presets, and diagnostics
// to the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

#include "app/TTerminalView.h"
#include "app/uMainCompare.h"
#include "app/uMainProgramming.h"
#include "app/uOtherUsersFolder.h"
#include "app/ufmMain.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "htmlview/THtmlView.h"
#include "rtl/FileBytes.h"
#include "rtl/UserFolders.h"
#include "session/uIncludeFiller.h"
#include "session/uPageDialogs.h"
#include "session/uPageFolders.h"
#include "session/uPresetCheck.h"
#include "session/uPresetCompare.h"
#include "session/uPresetFolder.h"
#include "session/uProgramCheck.h"
#include "session/uSubmitSequence.h"
#include "ui_ufmMain.h"

void TfmMain::ShowHomePage() {
  FHtmlView->LoadFromFile(FExeFolder + "home.htm");
}

void TfmMain::ShowWaitPage() {
  FHtmlView->LoadFromFile(FExeFolder + "wait.htm");
  FHtmlView->Repaint();
}

void TfmMain::ShowInfoPage() {
  FHtmlView->LoadFromFile(FPageFolder + "/info.htm");
}

void TfmMain::ShowRegistersPage() {
  FHtmlView->LoadFromFile(FPageFolder + "/regs.htm");
}

void TfmMain::SelectPageFolder() {
  // Chosen among the folders found beside the program, never taken from device text.
  FPageVersion = ::SelectPageFolder(FPageFolders, FParams.GetValue("i900"));
  FStatusPanel1->setText(ToQ(FPageVersion));
  FPageFolder = FExeFolder + FPageVersion;
}

void TfmMain::actStatusExecute() {
  ReadDevicePage(false, "i?", [this] { StatusReceived(); });
}

void TfmMain::actRegistersExecute() {
  ReadDevicePage(true, "r?", [this] { RegistersReceived(); });
}

// Status and Registers: the standard view with the wait page until the reply shows its page.
void TfmMain::ReadDevicePage(bool Registers, const char* Command, TCompletion Received) {
  ShowStandardView();
  FRegistersShown = Registers;
  ShowWaitPage();
  RestartIdleTimer();
  SendCommand(Command, TDialogue::CommandTimeout, std::move(Received));
}

void TfmMain::ReadRegisterReply() {
  FMissingRegisters.clear();
  FParams.Clear();
  TResponseSplitter& splitter = FDialogue->Splitter();
  while (!splitter.IsEmpty()) FParams.AddLine(splitter.NextLine());
}

void TfmMain::StatusReceived() {
  ReadRegisterReply();
  ShowInfoPage();
}

void TfmMain::RegistersReceived() {
  ReadRegisterReply();
  ShowRegistersPage();
}

std::string TfmMain::hvMainInclude(const std::string& Command,
                                   const std::vector<std::string>& Params) {
  std::string replacement;
  if (FCompare->FillTag(Command, Params, replacement)) return replacement;
  FillIncludeTag(Command, Params, FParams, replacement);
  if (MarksMissingRegister(Command, Params, FMissingRegisters)) replacement = "class=\"fill\"";
  return replacement;
}

void TfmMain::hvMainFormSubmit(const std::string& Action, const std::string&, const std::string&,
                               const std::string&, const std::vector<std::string>& Results) {
  if (!FDispatcher || FDisconnecting) {
    ShowHomePage();
    TModal::MessageBox(this, "Not connected", "Info", TModal::MB_ICONINFORMATION);
    return;
  }
  // Only the compare page's own button loads its preset; any other form programs.
  if (Action == kLoadPresetAction && FCompare->ShowsPage()) {
    if (!FCompare->PresetFile().empty()) LoadRegistersFrom(FCompare->PresetFile());
    return;
  }
  FProgramming->Submit(Results);
}

void TfmMain::ProgrammingDone() {
  FProgramming->LinesDone();
}

// An installed copy keeps its presets in the user's data folder even when it could write
// into the package's own folders (run as root).
std::string TfmMain::PresetFolder() const {
  const std::string user = UserDataFolder();
  if (FPagesInstalled && !user.empty()) return ::PresetFolder(user, FPageVersion, "");
  return ::PresetFolder(FExeFolder, FPageVersion, user);
}

void TfmMain::actLoadRegistersExecute() {
  const std::string folder = PresetFolder();
  FSaved.RegisterFilename = folder + "/" + std::string(kPresetFileMask);
  const QString chosen =
      TModal::OpenFileName(this, ToQ(std::string(kOpenRegistersDialog.Title)), ToQ(folder),
                           ToQ(QtFileFilter(kOpenRegistersDialog.Filter)),
                           ToQ(std::string(kOpenRegistersDialog.DefaultExt)));
  if (!chosen.isEmpty()) LoadRegistersFrom(chosen.toStdString());
}

void TfmMain::LoadRegistersFrom(const std::string& FileName) {
  FSaved.RegisterFilename = FileName;
  ShowWaitPage();
  FMissingRegisters.clear();
  FParams.LoadFromFile(FSaved.RegisterFilename);
  FMissingRegisters = MissingRegisters(PageRegisters(RegistersPageText()), FParams);
  ShowRegistersPage();
  if (!FMissingRegisters.empty())
    TModal::MessageBox(this, ToQ(MissingRegistersText(FMissingRegisters)), "Info",
                       TModal::MB_ICONINFORMATION);
}

// The registers page's template, empty when it cannot be read (the view shows that itself).
std::string TfmMain::RegistersPageText() const {
  try {
    return ReadFileBytes(FPageFolder + "/regs.htm");
  } catch (const std::exception&) {
    // A missing page names no registers; loading the preset goes on.
    return {};
  }
}

void TfmMain::actSaveRegistersExecute() {
  const std::string folder = PresetFolder();
  const TFileDialogText& text = SaveDialogText(FRegistersShown);
  const QString chosen =
      TModal::SaveFileName(this, ToQ(std::string(text.Title)), ToQ(folder),
                           ToQ(QtFileFilter(text.Filter)), ToQ(std::string(text.DefaultExt)));
  if (chosen.isEmpty()) return;
  const std::string file = chosen.toStdString();
  if (!TellOtherUsersFolder(this, file, "The registers were not saved in "))
    FParams.SaveToFile(file);
}

void TfmMain::actDiagnosticsExecute() {
  CollectDiagnostics();
}

void TfmMain::CollectDiagnostics() {
  FTerminal->clear();  // colour and any held escape tail stay as they were
  ShowWaitPage();
  SendCommand("r?", TDialogue::CommandTimeout, [this] { DiagRegistersDone(); });
}

void TfmMain::RenderReplyInTerminal() {
  TResponseSplitter& splitter = FDialogue->Splitter();
  while (!splitter.IsEmpty()) TerminalWrite(splitter.NextLine() + "\r\n");
}

void TfmMain::DiagRegistersDone() {
  RenderReplyInTerminal();
  SendCommand("i?", TDialogue::CommandTimeout, [this] { DiagInfoDone(); });
}

void TfmMain::DiagInfoDone() {
  RenderReplyInTerminal();
  SendCommand("diag", TDialogue::CommandTimeout, [this] { DiagDumpDone(); });
}

void TfmMain::DiagDumpDone() {
  RenderReplyInTerminal();
  FTerminal->CopyAll();
  FTerminal->clear();
  ShowHomePage();
  TModal::MessageBox(this, ToQ(std::string(kDiagnosticsMessage)), ToQ(std::string(kInfoTitle)),
                     TModal::MB_ICONINFORMATION);
}
