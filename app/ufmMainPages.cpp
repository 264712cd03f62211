// The main window's standard view: the status and registers pages filled from the parameter
// list, the registers page's form handed on, and diagnostics to the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

#include "app/TTerminalView.h"
#include "app/uMainCompare.h"
#include "app/uMainPresets.h"
#include "app/uMainProgramming.h"
#include "app/ufmMain.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "htmlview/THtmlView.h"
#include "session/uIncludeFiller.h"
#include "session/uPageDialogs.h"
#include "session/uPageFolders.h"
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
  FPresets->ClearMarks();
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
  // The home page speaks of the device in hand (its page version): with none, of none.
  TParameterList none;
  const bool noDevice = !FDispatcher && FHtmlView->CurrentFile() == FExeFolder + "home.htm";
  FillIncludeTag(Command, Params, noDevice ? none : FParams, replacement);
  FPresets->MarkTag(Command, Params, replacement);
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
    if (!FCompare->PresetFile().empty()) FPresets->LoadFrom(FCompare->PresetFile());
    return;
  }
  FProgramming->Submit(Results);
}

void TfmMain::ProgrammingDone() {
  FProgramming->LinesDone();
}

void TfmMain::actLoadRegistersExecute() {
  FPresets->Load();
}

void TfmMain::actSaveRegistersExecute() {
  FPresets->Save(FRegistersShown);
}

void TfmMain::actDiagnosticsExecute() {
  CollectDiagnostics();
}

void TfmMain::CollectDiagnostics() {
  FTerminal->clear();  // colour and any held escape tail stay as they were
  ShowWaitPage();
  SendCommand("r?", TDialogue::CommandTimeout, [this] { DiagRegistersDone(); });
}

// Every line before the prompt, as the device sent it: on a port that echoes, the command's
// own line first.
void TfmMain::RenderReplyInTerminal() {
  if (!FDialogue->LastEcho().empty()) TerminalWrite(FDialogue->LastEcho() + "\r\n");
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
  FTerminal->CopyText();
  FTerminal->clear();
  ShowHomePage();
  TModal::MessageBox(this, ToQ(std::string(kDiagnosticsMessage)), ToQ(std::string(kInfoTitle)),
                     TModal::MB_ICONINFORMATION);
}
