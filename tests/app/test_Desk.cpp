// What a person at the desk trips over: the wizard restored from minimised, a box behind the
// progress window, status panels under a hint, closing the progress window from the window
// manager, the window's place and panels over a restart, the About logo and the home header.
#include <QDockWidget>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusTipEvent>

#include "app/MainWindowFixture.h"

namespace {

QString BeforeContent(THtmlView* View, const char* Selector) {
  return View
      ->RunScriptForTest(QString("getComputedStyle(document.querySelector('%1'), '::before')"
                                 ".content")
                             .arg(Selector))
      .toString();
}

}  // namespace

TEST_F(MainWindowTest, TheWizardKeepsTheUsersChoicesWhenRestoredFromMinimised) {
  StartProgram();
  QString page, host;
  TModal::SetNextExec([&](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbTCP")->setChecked(true);
    Click(wizard, "btnNext");
    QTest::keyClicks(Find<QLineEdit>(wizard, "edHost"), "10.9.8.7");
    wizard->showMinimized();
    wizard->showNormal();
    QShowEvent restored;  // what the desktop delivers when the window comes back
    QApplication::sendEvent(wizard, &restored);
    page = Find<QStackedWidget>(wizard, "pcPages")->currentWidget()->objectName();
    host = Find<QLineEdit>(wizard, "edHost")->text();
    Click(wizard, "btnCancel");
  });
  Trigger(&Main(), "actConnect");
  EXPECT_EQ(page, "tsTCP");
  EXPECT_EQ(host, "10.9.8.7");
  // Opened again, it starts afresh.
  TModal::SetNextExec([&](QDialog* wizard) {
    page = Find<QStackedWidget>(wizard, "pcPages")->currentWidget()->objectName();
  });
  Trigger(&Main(), "actConnect");
  EXPECT_EQ(page, "tsStart");
}

TEST_F(MainWindowTest, BoxesGoOverTheProgressWindowAndItsCloseButtonIsAbort) {
  StartProgram();
  // Nothing listens here: the error comes while the progress window is up.
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(0);
  TModal::SetNextAnswer(0);
  QueueTcpWizard("127.0.31.40");
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  ASSERT_FALSE(TModal::ShownMessages().empty());
  EXPECT_EQ(TModal::ShownMessages().front().Title, "Error");
  EXPECT_EQ(TModal::ShownMessages().front().Over, "TfmConnectProgress");
  EXPECT_TRUE(WaitUntil([&] { return !Program->Progress.isVisible(); }));

  // Closed from the window manager while the device asks for its password: an abort, and
  // the window goes with the connection.
  StartTcpSim("127.0.31.41");
  TModal::SetNextAnswer(0);  // "Check the password, and try again"
  QueueTcpWizard("127.0.31.41");
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Program->Progress.isVisible() && ProgressHas("Opened"); }));
  Program->Progress.close();
  EXPECT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  EXPECT_TRUE(WaitUntil([&] { return !Program->Progress.isVisible(); }));
}

TEST_F(MainWindowTest, AHintShowsBesideTheStatusPanels) {
  StartProgram();
  QStatusTipEvent hint("Connect to a Tallybox");
  QApplication::sendEvent(&Main(), &hint);
  EXPECT_TRUE(OnScreen(Find<QWidget>(&Main(), "sbPanel0")));
  EXPECT_TRUE(OnScreen(Find<QWidget>(&Main(), "sbPanel1")));
  auto* shown = Find<QLabel>(&Main(), "sbHint");
  EXPECT_TRUE(OnScreen(shown));
  EXPECT_EQ(shown->text(), "Connect to a Tallybox");
}

TEST_F(MainWindowTest, TheWindowAndItsPanelsComeBackWhereTheUserLeftThem) {
  StartProgram();
  const QRect desktop = Main().screen()->availableGeometry();
  EXPECT_LE((Main().geometry().center() - desktop.center()).manhattanLength(), 4);
  Main().setGeometry(40, 50, 700, 520);
  auto* events = Find<QDockWidget>(&Main(), "pnlEvents");
  events->setFloating(true);
  events->move(300, 320);
  Program.reset();

  StartProgram();
  EXPECT_EQ(Main().geometry(), QRect(40, 50, 700, 520));
  events = Find<QDockWidget>(&Main(), "pnlEvents");
  EXPECT_TRUE(events->isFloating());
  EXPECT_FALSE(Find<QDockWidget>(&Main(), "pnlModem")->isFloating());
}

TEST_F(MainWindowTest, TheHomeHeaderNamesThePageVersionOnlyWithOne) {
  StartTcpSim("127.0.31.42");
  StartProgram();
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > 0 && PageIs("home.htm"); }));
  EXPECT_EQ(BeforeContent(Main().hvMain(), ".version"), "none");
  LogInAndWait("127.0.31.42");
  Trigger(&Main(), "actStatus");
  ASSERT_TRUE(WaitUntil([&] { return PageIs("info.htm"); }));
  const int loads = LoadsFinished;
  Trigger(&Main(), "actAdvanced");
  Trigger(&Main(), "actAdvanced");  // back to the standard view: the home page
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > loads && PageIs("home.htm"); }));
  EXPECT_EQ(BeforeContent(Main().hvMain(), ".version"), "\"Page version \"");
}
