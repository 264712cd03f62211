// The main window tests' common ground: the four windows built as the program builds them,
// with their own settings and data folders, and the simulated device on its own loopback
// address.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <memory>
#include <string>
#include <vector>

#include "app/TTerminalView.h"
#include "app/uProgram.h"
#include "htmlview/THtmlView.h"
#include "settings/uRegistry.h"
#include "sim/SimHarness.h"
#include "support/GuiHelpers.h"
#include "support/TempConfig.h"

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { setenv("XDG_DATA_HOME", Data.Folder.c_str(), 1); }
  ~MainWindowTest() override {
    Program.reset();
    unsetenv("XDG_DATA_HOME");
  }

  void StartProgram(const std::string& ProgramFolder = TALLYBOX_PROGRAM_DIR) {
    if (!ReconnectByItself) TurnOffReconnectingByItself();
    Program = std::make_unique<TProgram>(ProgramFolder);
    QObject::connect(Program->Main.hvMain(), &THtmlView::LoadFinished, [this] {
      ++LoadsFinished;
      LastLoaded = Program->Main.hvMain()->CurrentFile();
    });
    Program->Main.show();
  }
  void StartSim(const std::vector<std::string>& Args) {
    Sim = std::make_unique<TSimProcess>(Args);
    ASSERT_TRUE(Sim->WaitForLine("tallybox-sim: ready")) << "the simulator did not start";
  }
  // A simulated device on Address:6024 with the test password.
  void StartTcpSim(const std::string& Address, std::vector<std::string> Extra = {}) {
    std::vector<std::string> args = {"--address",   Address, "--password",
                                     kTestPassword, "--log", Log()};
    args.insert(args.end(), Extra.begin(), Extra.end());
    StartSim(args);
  }
  std::string Log() const { return Data.Path("device.log"); }
  std::string DeviceLog() const { return ReadFileBytes(Log()); }

  void TurnOffReconnectingByItself() {
    TOrvaneRegistry store("TallyboxUtility");
    store.Open();
    if (!store.ReadOnly()) store.WriteInteger("ReconnectByItself", 0);  // not another user's
    store.Close();
  }

  TfmMain& Main() { return Program->Main; }
  QAction* Action(const char* Name) { return Find<QAction>(&Main(), Name); }
  std::string Status(int Panel = 0) {
    auto* label = Find<QLabel>(&Main(), Panel == 0 ? "sbPanel0" : "sbPanel1");
    return label ? label->text().toStdString() : "";
  }
  std::vector<std::string> ProgressLines() {
    std::vector<std::string> lines;
    auto* list = Find<QListWidget>(&Program->Progress, "lbProgress");
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
  }
  bool ProgressHas(const std::string& Line) {
    for (const std::string& l : ProgressLines())
      if (l == Line) return true;
    return false;
  }
  std::string Hint() {
    auto* label = Find<QLabel>(&Main(), "sbHint");
    return label ? label->text().toStdString() : "";
  }
  // The status bar once the line dropped without a Disconnect: not connected, and the hint
  // beside it names Reconnect.
  bool ShowsDropped() {
    return Status() == "Not connected" && Hint() == "Line dropped \u2014 Reconnect (Ctrl+R)";
  }
  bool PageIs(const char* Name) {
    return Main().hvMain()->CurrentFile().find(Name) != std::string::npos;
  }

  // The advanced view as a person sees it: the terminal on screen and, with Panels, the modem
  // and events panels on screen to its right in that order; without, neither panel shown.
  bool AdvancedViewOnScreen(bool Panels) {
    auto* modem = Find<QWidget>(&Main(), "pnlModem");
    auto* events = Find<QWidget>(&Main(), "pnlEvents");
    if (!OnScreen(Main().reTerminal())) return false;
    if (!Panels) return !OnScreen(modem) && !OnScreen(events);
    auto left = [this](QWidget* w) { return w->mapTo(&Main(), QPoint(0, 0)).x(); };
    return OnScreen(modem) && OnScreen(events) && left(Main().reTerminal()) < left(modem) &&
           left(modem) < left(events);
  }

  // Connects through the wizard's TCP page and answers the device's password request.
  void LogIn(const std::string& Address, const std::string& Password = kTestPassword) {
    QueueTcpWizard(Address);
    Trigger(&Main(), "actConnect");
    AnswerPassword(Password);
  }
  // Waits for the progress window to ask for the password and types it there.
  void AnswerPassword(const std::string& Password = kTestPassword) {
    ASSERT_TRUE(WaitUntil([&] {
      auto* pages = Program->Progress.findChild<QWidget*>("tsPassword");
      return pages && pages->isVisible();
    })) << "no password request";
    QTest::keyClicks(Find<QLineEdit>(&Program->Progress, "edPassword"),
                     QString::fromStdString(Password));
    Click(&Program->Progress, "btnSend");
  }
  void LogInAndWait(const std::string& Address) {
    LogIn(Address);
    ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << "no login";
  }

  // Off, so a dropped line stays dropped as the journeys here expect; the tests of the
  // retries turn it on, and find it on by default.
  bool ReconnectByItself = false;
  int LoadsFinished = 0;   // pages the view finished showing (only the last one asked for counts)
  std::string LastLoaded;  // the file of the last of them

  TTempConfig Config;
  TTempFolder Data{"tbx-data"};
  std::unique_ptr<TSimProcess> Sim;
  std::unique_ptr<TProgram> Program;
};
