// The main window's journeys: start-up, connecting over TCP and the serial debug port to the
// simulated device, logging in, disconnecting, a failed login, closing while connected, and
// settings carried from one run to the next.
#include <arpa/inet.h>
#include <QDockWidget>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <algorithm>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/MainWindowFixture.h"
#include "app/TMemoView.h"
#include "gui/uApplication.h"
#include "session/uSessionLog.h"
#include "settings/uRegistry.h"
#include "transport/uComms.h"

namespace {

struct TActionStart {
  const char* Name;
  const char* Caption;
  const char* Hint;
  bool Enabled;
};

const TActionStart kActions[] = {
    {"actConnect", "Connect", "Connect to a Tallybox", true},
    {"actDisconnect", "Disconnect", "Drop the current connection", false},
    {"actReconnect", "Reconnect", "Connect again by the last route, without the wizard", false},
    {"actExit", "E&xit", "", true},
    {"actStatus", "Status", "Show the current status", false},
    {"actRegisters", "Registers", "Read and allow programming of the registers", false},
    {"actLoadRegisters", "Load Registers", "Load a preset list of registers from file", false},
    {"actSaveRegisters", "Save Registers",
     "Save the register set (as loaded in the Tallybox) to disk", false},
    {"actCompareRegisters", "Compare Registers...",
     "Compare the Tallybox's registers with a preset file", false},
    {"actDiagnostics", "Diagnostics to Clipboard",
     "Collect diagnostic information to the clipboard", false},
    {"actAdvanced", "Advanced", "Switch between standard and advanced view", true},
    {"actAbout", "About", "", true},
    {"actTerminalCopy", "Copy All", "", true},
    {"actTerminalClear", "Clear", "", true},
    {"actEventsCopy", "Copy All", "", true},
    {"actEventsClear", "Clear", "", true},
    {"actModemCopy", "Copy All", "", true},
    {"actModemClear", "Clear", "", true},
};

// Whether this machine holds an established TCP connection to Address:6024 from a local port
// other than 6024 (the program's side, not the device's).
bool EstablishedTo(const std::string& Address) {
  in_addr addr{};
  inet_pton(AF_INET, Address.c_str(), &addr);
  char remote[32];
  std::snprintf(remote, sizeof remote, "%08X:1788", addr.s_addr);
  std::ifstream table("/proc/net/tcp");
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, rem, state;
    fields >> slot >> local >> rem >> state;
    if (rem == remote && state == "01") return true;
  }
  return false;
}

}  // namespace

TEST_F(MainWindowTest, StartsWithEveryActionInItsPlace) {
  StartProgram();
  EXPECT_EQ(Main().windowTitle(), "Tallybox Utility");
  EXPECT_EQ(Main().size(), QSize(608, 454));
  for (const TActionStart& expected : kActions) {
    SCOPED_TRACE(expected.Name);
    QAction* action = Action(expected.Name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text().toStdString(), expected.Caption);
    EXPECT_EQ(action->toolTip().isEmpty() ? "" : action->statusTip().toStdString(), expected.Hint);
    EXPECT_EQ(action->isEnabled(), expected.Enabled);
  }
  EXPECT_FALSE(Action("actAdvanced")->isChecked());
  EXPECT_EQ(Status(0), "");
  EXPECT_EQ(Status(1), "");
  EXPECT_EQ(Find<QStackedWidget>(&Main(), "pcMain")->currentWidget()->objectName(), "tsHtml");
  EXPECT_TRUE(PageIs("home.htm"));
  EXPECT_TRUE(OnScreen(Main().hvMain()));
  EXPECT_FALSE(OnScreen(Main().reTerminal()));

  // Not connected yet: the advanced view shows the terminal and both side panels, every time.
  for (int round = 0; round < 2; ++round) {
    Trigger(&Main(), "actAdvanced");
    EXPECT_EQ(Find<QStackedWidget>(&Main(), "pcMain")->currentWidget()->objectName(), "tsAdvanced");
    EXPECT_TRUE(AdvancedViewOnScreen(true));
    EXPECT_FALSE(OnScreen(Main().hvMain()));
    Trigger(&Main(), "actAdvanced");
    EXPECT_EQ(Find<QStackedWidget>(&Main(), "pcMain")->currentWidget()->objectName(), "tsHtml");
    EXPECT_FALSE(OnScreen(Main().reTerminal()));
  }

  TModal::SetNextExec([](QDialog* about) {
    auto* memo = Find<QPlainTextEdit>(about, "memVersion");
    const QStringList lines = memo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "Tallybox Utility");
    EXPECT_EQ(lines[1].count('.'), 3);
    EXPECT_EQ(lines[3], "");
    EXPECT_TRUE(lines[4].contains(QChar(0xA9)));
    const QPixmap logo = Find<QLabel>(about, "Image1")->pixmap();
    EXPECT_EQ(logo.deviceIndependentSize().toSize(), QSize(200, 33));  // drawn for its strip
    Click(about, "OKButton");
  });
  Trigger(&Main(), "actAbout");
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

TEST_F(MainWindowTest, ConnectsLogsInAndDisconnectsOverTcp) {
  StartTcpSim("127.0.31.2");
  StartProgram();
  LogIn("127.0.31.2");
  EXPECT_TRUE(ProgressHas("Opened"));
  EXPECT_EQ(Status(), "Connected 127.0.31.2");
  EXPECT_FALSE(Action("actConnect")->isEnabled());
  EXPECT_TRUE(Action("actDisconnect")->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); }));
  EXPECT_EQ(Status(1), "v1.00");
  EXPECT_TRUE(WaitUntil([&] { return !Program->Progress.isVisible(); }));
  Trigger(&Main(), "actAdvanced");
  EXPECT_TRUE(AdvancedViewOnScreen(false));  // TCP: the terminal alone
  Trigger(&Main(), "actAdvanced");

  Trigger(&Main(), "actDisconnect");
  EXPECT_FALSE(Action("actDisconnect")->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  EXPECT_TRUE(Action("actConnect")->isEnabled());
  EXPECT_FALSE(Action("actStatus")->isEnabled());
  EXPECT_EQ(Status(1), "");
  EXPECT_TRUE(ProgressHas("Closed"));
  EXPECT_EQ(Main().CurrentDispatcher(), nullptr);
  EXPECT_TRUE(PageIs("home.htm"));
}

TEST_F(MainWindowTest, DeviceDroppingTheLineDuringLoginAsksToCheckThePassword) {
  StartTcpSim("127.0.31.3");
  StartProgram();
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  LogIn("127.0.31.3", "wrong");
  // Each refusal brings the password page back empty, until the device gives up on us.
  auto* password = Find<QLineEdit>(&Program->Progress, "edPassword");
  int tries = 1;
  while (WaitUntil([&] { return password->text().isEmpty() || Status() == "Not connected"; }) &&
         Status() != "Not connected" && tries < 10) {
    QTest::keyClicks(password, "wrong");
    Click(&Program->Progress, "btnSend");
    ++tries;
  }
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  EXPECT_GT(tries, 1);
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Info");
  EXPECT_EQ(TModal::ShownMessages()[0].Text, "Check the password, and try again");
  EXPECT_TRUE(Action("actConnect")->isEnabled());

  // The program stays usable: the next connection logs in.
  Sim.reset();
  StartTcpSim("127.0.31.3");
  LogInAndWait("127.0.31.3");
}

TEST_F(MainWindowTest, AfterTheLineDropsReconnectGoesTheSameRouteWithoutTheWizard) {
  StartTcpSim("127.0.90.2", {"--drop-on", "i?"});
  StartProgram();
  LogInAndWait("127.0.90.2");
  EXPECT_FALSE(Action("actReconnect")->isEnabled());
  EXPECT_EQ(Action("actReconnect")->shortcut(), QKeySequence("Ctrl+R"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Trigger(&Main(), "actStatus");
    ASSERT_TRUE(WaitUntil([&] { return ShowsDropped(); })) << Status() << " / " << Hint();
    auto* status = Find<QLabel>(&Main(), "sbPanel0");
    EXPECT_TRUE(OnScreen(status));
    EXPECT_TRUE(OnScreen(Find<QLabel>(&Main(), "sbHint")));
    // The whole text shows, once the bar has laid itself out again.
    EXPECT_TRUE(WaitUntil([&] { return status->width() >= status->sizeHint().width(); }));
    EXPECT_TRUE(Action("actReconnect")->isEnabled());
    // No wizard answer is queued: showing it would stop the test.
    Trigger(&Main(), "actReconnect");
    EXPECT_FALSE(Action("actReconnect")->isEnabled());
    ASSERT_TRUE(WaitUntil([&] {
      auto* page = Program->Progress.findChild<QWidget*>("tsPassword");
      return page && page->isVisible();
    })) << "no password request";
    QTest::keyClicks(Find<QLineEdit>(&Program->Progress, "edPassword"),
                     QString::fromStdString(kTestPassword));
    Click(&Program->Progress, "btnSend");
    ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << Status();
    EXPECT_EQ(Status(), "Connected 127.0.90.2");
    EXPECT_EQ(Hint(), "");
  }
  // Disconnect asked for is no drop; Reconnect stays on offer.
  Trigger(&Main(), "actDisconnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; })) << Status();
  EXPECT_TRUE(Action("actReconnect")->isEnabled());
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

TEST_F(MainWindowTest, ClosingWhileConnectedSavesTheSettingsAndEndsTheWorker) {
  StartTcpSim("127.0.31.4");
  StartProgram();
  LogInAndWait("127.0.31.4");
  EXPECT_TRUE(EstablishedTo("127.0.31.4"));
  Main().close();
  EXPECT_EQ(Main().CurrentDispatcher(), nullptr);
  // The worker has closed its socket by the time the window is gone.
  EXPECT_FALSE(EstablishedTo("127.0.31.4"));
  Program.reset();

  {
    TOrvaneRegistry store("TallyboxUtility");
    store.Open();
    EXPECT_EQ(store.ReadString("IP", ""), "127.0.31.4");
    EXPECT_EQ(store.ReadInteger("Method", -1), 2);
    store.Close();
  }
  // The next run offers the same route and host.
  StartProgram();
  std::string host;
  QString route;
  TModal::SetNextExec([&](QDialog* wizard) {
    route = Find<QRadioButton>(wizard, "rbTCP")->isChecked() ? "tcp" : "other";
    host = Find<QLineEdit>(wizard, "edHost")->text().toStdString();
    Click(wizard, "btnCancel");
  });
  Trigger(&Main(), "actConnect");
  EXPECT_EQ(route, "tcp");
  EXPECT_EQ(host, "127.0.31.4");
}

TEST_F(MainWindowTest, ASettingOfTheWrongTypeIsIgnoredAndReportedOnce) {
  WriteFileBytes(Config.StoreFile(),
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility]\n"
                 "\"ComPort\"=\"three\"\n\"IP\"=\"10.1.2.3\"\n\"Method\"=dword:00000001\n");
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  StartProgram();
  ASSERT_TRUE(WaitUntil([] { return !TModal::ShownMessages().empty(); }));
  Pump(std::chrono::milliseconds(200));
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_NE(TModal::ShownMessages()[0].Text.indexOf("ComPort"), -1);
  EXPECT_TRUE(PageIs("home.htm"));  // the rest of start-up ran

  int port = 0;
  std::string host;
  TModal::SetNextExec([&](QDialog* wizard) {
    EXPECT_TRUE(Find<QRadioButton>(wizard, "rbSerial")->isChecked());
    Click(wizard, "btnNext");
    port = Find<QComboBox>(wizard, "cbCOMPort")->currentIndex();
    host = Find<QLineEdit>(wizard, "edHost")->text().toStdString();
    Click(wizard, "btnCancel");
  });
  Trigger(&Main(), "actConnect");
  EXPECT_EQ(port, -1);  // the ignored value counts as missing
  EXPECT_EQ(host, "10.1.2.3");
}

TEST_F(MainWindowTest, SerialLinkShowsTheTerminalWithTheModemAndEventsPanels) {
  StartSim({"--serial", "--link", Config.LinkPath(3), "--log", Log(), "--events", "150", "--modem",
            "150", "--text", "150"});
  StartProgram();
  Find<QDockWidget>(&Main(), "pnlModem")->hide();  // as a TCP connection would have left them
  {
    TCommPort otherCopy;  // the port held by another copy of the program: the Error box says so
    otherCopy.SetPort(3);
    otherCopy.SetBaudRate(115200);
    ASSERT_TRUE(otherCopy.Open());
    QueueSerialWizard(3);
    TModal::SetNextAnswer(QMessageBox::Ok);
    Trigger(&Main(), "actConnect");
    ASSERT_TRUE(WaitUntil([&] { return TModal::AllAnswersUsed(); }));
    EXPECT_EQ(TModal::ShownMessages().back().Title, "Error");
    EXPECT_EQ(TModal::ShownMessages().back().Text, "Could not open COM3");
    // Why, on the progress line just before the error.
    const std::vector<std::string> lines = ProgressLines();
    const auto error = std::find(lines.begin(), lines.end(), "Could not open COM3");
    ASSERT_TRUE(error != lines.begin() && error != lines.end());
    EXPECT_TRUE(
        error[-1].ends_with(" is in use by another program. Close that program and try again."))
        << error[-1];
    ASSERT_TRUE(WaitUntil([&] { return Action("actConnect")->isEnabled(); }));
  }
  QueueSerialWizard(3);
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Connected COM3"; }));
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); }));
  Trigger(&Main(), "actAdvanced");
  EXPECT_TRUE(AdvancedViewOnScreen(true));

  auto* events = Find<TMemoView>(&Main(), "memEvents");
  auto* modem = Find<TMemoView>(&Main(), "memModem");
  TTerminalView* terminal = Main().reTerminal();
  ASSERT_TRUE(WaitUntil([&] { return !events->toPlainText().isEmpty(); }));
  ASSERT_TRUE(WaitUntil([&] { return !modem->toPlainText().isEmpty(); }));
  ASSERT_TRUE(WaitUntil([&] { return terminal->toPlainText().contains("alarm"); }));
  // A line typed into the terminal reaches the device.
  terminal->setFocus();
  QTest::keyClicks(terminal, "help");
  QTest::keyClick(terminal, Qt::Key_Return);
  EXPECT_TRUE(WaitUntil([&] { return DeviceLog().find("help") != std::string::npos; }));
  const QString stamped = events->toPlainText().split('\n').front();
  EXPECT_TRUE(QRegularExpression("^\\d\\d.\\d\\d.\\d\\d \\S").match(stamped).hasMatch())
      << stamped.toStdString();
  EXPECT_EQ(events->toPlainText().indexOf(QChar(0)), -1);
  EXPECT_EQ(modem->toPlainText().indexOf("M:\""), -1);  // decoded, not raw

  QTest::keyClicks(Find<QLineEdit>(&Main(), "edSend"), "ATI3");
  Click(&Main(), "btnSend");
  EXPECT_TRUE(Find<QLineEdit>(&Main(), "edSend")->text().isEmpty());
  EXPECT_TRUE(WaitUntil([&] { return DeviceLog().find("M:ATI3~") != std::string::npos; }));

  Trigger(&Main(), "actDisconnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  EXPECT_NE(DeviceLog().find("bye"), std::string::npos);
  EXPECT_TRUE(AdvancedViewOnScreen(true));  // disconnecting leaves the view as it is
}

// Paths are the system's UTF-8, not device text: a folder named for Jürgen is shown and written
// as such, and as root the box that refuses another user's folder names it rightly too.
TEST_F(MainWindowTest, NonAsciiFolderNamesRoundTripThroughTheWindow) {
  const std::string home = Data.Path("j\xc3\xbcrgen");
  EXPECT_EQ(PathToQ(home), QString::fromStdString(Data.Folder.string()) + "/j\u00fcrgen");
  EXPECT_EQ(PathFromQ(PathToQ(home)), home);
  std::filesystem::create_directories(home);
  StartTcpSim("127.0.31.47");
  StartProgram();
  LogInAndWait("127.0.31.47");
  const std::string preset = home + "/d\xc3\xa9p\xc3\xb4t.rgp";
  TModal::ClearShownMessages();
  TModal::SetNextFileName(PathToQ(preset));
  Trigger(&Main(), "actSaveRegisters");
  ASSERT_TRUE(std::filesystem::exists(preset));
  TModal::SetNextFileName(PathToQ(preset));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actLoadRegisters");
  ASSERT_GE(TModal::ShownMessages().size(), 2u);  // the file dialogs, then what is missing
  EXPECT_EQ(TModal::ShownMessages()[1].Title, "Open Registers");
  if (::geteuid() != 0) return;
  ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
  TModal::ClearShownMessages();
  TModal::SetNextFileName(PathToQ(home + "/x.rgp"));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actSaveRegisters");
  ASSERT_EQ(TModal::ShownMessages().size(), 2u);  // the file dialog, then why not
  EXPECT_NE(TModal::ShownMessages()[1].Text.indexOf(PathToQ(home) + ": "), -1)
      << TModal::ShownMessages()[1].Text.toStdString();
}

// Root with another user's home: the settings are read and one Info box says why they will
// not be saved; closing writes nothing there, a preset is not saved into that user's data
// folder, and the session log that user's settings ask for is not started at all, not even in
// a folder of root's own that those settings name.
TEST_F(MainWindowTest, RootWithAnotherUsersFoldersReadsButNeverWritesThere) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the folders to another user";
  const TTempFolder rootsLogs;
  const std::string logs = rootsLogs.Folder.string();
  WriteFileBytes(Config.StoreFile(),
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility]\n"
                 "\"IP\"=\"10.1.2.3\"\n\"Method\"=dword:00000002\n\"LogSession\"=dword:00000001\n"
                 "\"LogFolder\"=\"" +
                     logs + "\"\n");
  const std::string stored = ReadFileBytes(Config.StoreFile());
  ASSERT_EQ(::chown(Config.Folder.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(Data.Folder.c_str(), 65534, 65534), 0);
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  StartProgram();
  ASSERT_TRUE(WaitUntil([] { return !TModal::ShownMessages().empty(); }));
  Pump(std::chrono::milliseconds(200));
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Info");
  EXPECT_NE(TModal::ShownMessages()[0].Text.indexOf("will not be saved"), -1);
  EXPECT_FALSE(Action("actLogSession")->isChecked());

  StartTcpSim("127.0.31.12");
  LogInAndWait("127.0.31.12");
  Pump(std::chrono::milliseconds(200));
  EXPECT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_FALSE(Action("actLogSession")->isChecked());
  EXPECT_TRUE(std::filesystem::is_empty(logs));
  TModal::ClearShownMessages();
  TModal::SetNextFileName(QString::fromStdString(Data.Path("mine.rgp")));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actSaveRegisters");
  EXPECT_FALSE(std::filesystem::exists(Data.Path("mine.rgp")));
  ASSERT_EQ(TModal::ShownMessages().size(), 2u);  // the file dialog, then why nothing was saved
  EXPECT_EQ(TModal::ShownMessages()[1].Title, "Info");
  Main().close();
  Program.reset();
  EXPECT_EQ(ReadFileBytes(Config.StoreFile()), stored);
  EXPECT_EQ(Config.FilesStartingWith("settings.reg.lock"), std::vector<std::string>{});
}
