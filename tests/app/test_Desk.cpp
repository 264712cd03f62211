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
  QueueTcpWizard("127.0.31.44");
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  ASSERT_FALSE(TModal::ShownMessages().empty());
  EXPECT_EQ(TModal::ShownMessages().front().Title, "Error");
  EXPECT_EQ(TModal::ShownMessages().front().Over, "TfmConnectProgress");
  EXPECT_TRUE(WaitUntil([&] { return !Program->Progress.isVisible(); }));

  // Closed from the window manager while the device asks for its password: an abort, and
  // the window goes with the connection.
  StartTcpSim("127.0.31.45");
  TModal::SetNextAnswer(0);  // "Check the password, and try again"
  QueueTcpWizard("127.0.31.45");
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
  // The last connection went over TCP, which hides both panels.
  events->hide();
  Find<QDockWidget>(&Main(), "pnlModem")->hide();
  Program.reset();

  StartProgram();
  EXPECT_EQ(Main().geometry(), QRect(40, 50, 700, 520));
  events = Find<QDockWidget>(&Main(), "pnlEvents");
  auto* modem = Find<QDockWidget>(&Main(), "pnlModem");
  EXPECT_TRUE(events->isFloating());
  EXPECT_FALSE(modem->isFloating());
  // Yet they start shown, the events panel floating where it was left.
  Trigger(&Main(), "actAdvanced");
  EXPECT_TRUE(WaitUntil([&] { return OnScreen(events) && OnScreen(modem); }));
  EXPECT_EQ(events->pos(), QPoint(300, 320));
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

// Run twice by the suite: in the desktop's light scheme and, with TALLYBOX_TEST_DARK, in dark.
TEST_F(MainWindowTest, PagesFollowTheDesktopsSchemeAndStayReadable) {
  const bool dark = std::getenv("TALLYBOX_TEST_DARK") != nullptr;
  const std::string address = dark ? "127.0.31.46" : "127.0.31.43";  // both runs at once
  StartTcpSim(address);
  StartProgram();
  LogInAndWait(address);
  const int loads = LoadsFinished;
  Trigger(&Main(), "actStatus");
  // The load that finished must be the status page's own, not the one before it.
  ASSERT_TRUE(WaitUntil([&] {
    return LoadsFinished > loads && PageIs("info.htm") &&
           LastLoaded.find("info.htm") != std::string::npos;
  }));
  // The lowest contrast of any text on the page against the ground it sits on (WCAG).
  const QString worst = Main()
                            .hvMain()
                            ->RunScriptForTest(R"((() => {
    const rgb = s => (s.match(/[\d.]+/g) || []).map(Number);
    const lum = c => c.slice(0, 3).map(v => (v /= 255) <= 0.03928 ? v / 12.92
                       : Math.pow((v + 0.055) / 1.055, 2.4))
                     .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
    const ground = e => {
      for (; e; e = e.parentElement) {
        const s = getComputedStyle(e), g = s.backgroundImage.match(/rgba?\([^)]*\)/);
        if (g) return rgb(g[0]);
        const b = rgb(s.backgroundColor);
        if (b.length === 3 || b[3] > 0) return b;
      }
      return [255, 255, 255];
    };
    let worst = 99, what = '';
    for (const e of document.querySelectorAll('body *')) {
      if (![...e.childNodes].some(n => n.nodeType === 3 && n.textContent.trim())) continue;
      const a = lum(rgb(getComputedStyle(e).color)), b = lum(ground(e));
      const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
      if (ratio < worst) { worst = ratio; what = e.tagName + ' ' + e.textContent.trim(); }
    }
    return worst.toFixed(2) + ' ' + lum(ground(document.body)).toFixed(2) + ' ' + what;
  })())")
                            .toString();
  const QStringList parts = worst.split(' ');
  ASSERT_GE(parts.size(), 2) << worst.toStdString();
  EXPECT_GE(parts[0].toDouble(), 4.5) << worst.toStdString();
  EXPECT_EQ(parts[1].toDouble() < 0.2, dark) << worst.toStdString();
  const QString fill = Main()
                           .hvMain()
                           ->RunScriptForTest(
                               "getComputedStyle(document.querySelector('.fill'))"
                               ".backgroundColor")
                           .toString();
  EXPECT_NE(fill, "rgba(0, 0, 0, 0)");  // the device's highlight still stands out
}
