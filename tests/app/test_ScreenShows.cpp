// What the X server shows through a session, compared with what the windows draw: the main
// window's bars after each dialog closes, after login and in the advanced view, and each
// dialog while it is up (the wizard's pages, the Assign box over it, About twice, the
// progress window's password page, the Find bar, the docked and floating panels).
#include <QDockWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QWindow>

#include "app/MainWindowFixture.h"
#include "support/FakeSerialTree.h"
#include "support/PtyPeer.h"
#include "support/ScreenPixels.h"

namespace {

// Waits until the screen shows what Widget draws of itself.
::testing::AssertionResult OnScreenAsDrawn(QWidget* Widget, const std::string& When) {
  if (!QTest::qWaitForWindowExposed(Widget->window()))
    return ::testing::AssertionFailure() << When << ": the window never came on screen";
  QImage screen, drawn;
  qsizetype differing = 0;
  // The window tests share one display: another test's window may come over this one, and
  // what is compared here is the repaint, not the stacking among test programs.
  const auto raiseFrom = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  const bool same = WaitUntil(
      [&] {
        if (std::chrono::steady_clock::now() > raiseFrom) Widget->window()->raise();
        drawn = DrawnPixels(Widget);
        screen = ScreenPixels(Widget, ScreenArea(Widget));
        differing = DifferingPixels(screen, drawn);
        return differing == 0;
      },
      std::chrono::milliseconds(8000));
  if (same) return ::testing::AssertionSuccess();
  QString name = QString::fromStdString(When).replace(' ', '-') + "-" + Widget->objectName();
  return ::testing::AssertionFailure()
         << When << ": " << differing << " of " << drawn.width() * drawn.height() << " pixels of "
         << Widget->objectName().toStdString() << " differ on screen (pictures in "
         << KeepMismatch(screen, drawn, name) << ")";
}

}  // namespace

class ScreenShowsTest : public MainWindowTest {
 protected:
  void ExpectBarsOnScreen(const std::string& When) {
    for (QWidget* bar : {static_cast<QWidget*>(Main().menuBar()),
                         static_cast<QWidget*>(Find<QToolBar>(&Main(), "tbMain")),
                         static_cast<QWidget*>(Main().statusBar())})
      EXPECT_TRUE(OnScreenAsDrawn(bar, When));
  }
  // No widget inside a window became a native window of its own: the toolkit stops
  // repainting those beside a web view. The dialogs are the main window's children too.
  void ExpectNoNativeChildren() {
    for (QWidget* child : Main().findChildren<QWidget*>())
      if (!child->isWindow())
        EXPECT_FALSE(child->testAttribute(Qt::WA_NativeWindow))
            << child->metaObject()->className() << " " << child->objectName().toStdString();
  }
};

TEST_F(ScreenShowsTest, BarsAndDialogsRepaintThroughASession) {
  StartTcpSim("127.0.95.31");
  StartProgram();
  ExpectBarsOnScreen("at start");

  // The wizard over the main window, cancelled.
  TModal::SetNextExec([](QDialog* wizard) {
    EXPECT_TRUE(OnScreenAsDrawn(wizard, "wizard"));
    Click(wizard, "btnCancel");
  });
  Trigger(&Main(), "actConnect");
  ExpectBarsOnScreen("after the wizard closes");

  // Again, on the serial page, with the Assign box over it.
  auto serial = std::make_unique<TFakeSerialTree>();
  TPtyPeer adapter;
  serial->AddUsb("ttyUSB0", adapter.SlavePath(), "FTDI", "FT232R USB UART", "");
  TModal::SetNextExec([](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbSerial")->setChecked(true);
    Click(wizard, "btnNext");
    Find<QComboBox>(wizard, "cbCOMPort")->setCurrentIndex(2);
    EXPECT_TRUE(OnScreenAsDrawn(wizard, "serial page"));
    TModal::SetNextExec([](QDialog* assign) { EXPECT_TRUE(OnScreenAsDrawn(assign, "Assign")); });
    Click(wizard, "btnAssign");
    EXPECT_TRUE(OnScreenAsDrawn(wizard, "serial page after Assign"));
  });
  Trigger(&Main(), "actConnect");
  ExpectBarsOnScreen("after the serial page closes");
  serial.reset();

  for (const char* when : {"About", "About again"}) {
    TModal::SetNextExec([this, when](QDialog* about) {
      EXPECT_TRUE(OnScreenAsDrawn(about, when));
      EXPECT_EQ(about->windowHandle()->transientParent(), Main().windowHandle());
    });
    Trigger(&Main(), "actAbout");
    ExpectBarsOnScreen(std::string("after ") + when);
  }

  // Login: the progress window's password page, then the connected look.
  QueueTcpWizard("127.0.95.31");
  Trigger(&Main(), "actConnect");
  QWidget* password = Program->Progress.findChild<QWidget*>("tsPassword");
  ASSERT_TRUE(WaitUntil([&] { return password && password->isVisible(); }));
  EXPECT_TRUE(OnScreenAsDrawn(&Program->Progress, "password page"));
  // About goes over the progress window, which stays on top, not behind it.
  TModal::SetNextExec([this](QDialog* about) {
    EXPECT_TRUE(OnScreenAsDrawn(about, "About over the progress window"));
    EXPECT_EQ(about->windowHandle()->transientParent(), Program->Progress.windowHandle());
  });
  Trigger(&Main(), "actAbout");
  EXPECT_TRUE(OnScreenAsDrawn(&Program->Progress, "password page after About"));
  QTest::keyClicks(Find<QLineEdit>(&Program->Progress, "edPassword"),
                   QString::fromStdString(kTestPassword));
  EXPECT_TRUE(OnScreenAsDrawn(&Program->Progress, "password typed"));
  Click(&Program->Progress, "btnSend");
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << "no login";
  ASSERT_TRUE(WaitUntil([&] { return !Program->Progress.isVisible(); }));
  ASSERT_TRUE(WaitUntil([&] { return Status().starts_with("Connected"); })) << Status();
  ExpectBarsOnScreen("after login");

  Trigger(&Main(), "actAdvanced");
  ASSERT_TRUE(AdvancedViewOnScreen(false));
  ExpectBarsOnScreen("in the advanced view");
  Trigger(&Main(), "actFind");
  EXPECT_TRUE(OnScreenAsDrawn(Find<QWidget>(&Main(), "pnlFind"), "Find bar"));
  Click(&Main(), "btnFindClose");
  ExpectBarsOnScreen("after the Find bar closes");

  // The serial route, whose advanced view has the modem and events panels.
  Trigger(&Main(), "actDisconnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  StartSim({"--serial", "--link", Config.LinkPath(4), "--events", "150"});
  QueueSerialWizard(4);
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << "no login";
  ASSERT_TRUE(WaitUntil([&] { return !Program->Progress.isVisible(); }));
  ASSERT_TRUE(AdvancedViewOnScreen(true));
  ExpectBarsOnScreen("on the serial route");
  auto* events = Find<QDockWidget>(&Main(), "pnlEvents");
  EXPECT_TRUE(OnScreenAsDrawn(events, "docked"));
  events->setFloating(true);
  EXPECT_TRUE(OnScreenAsDrawn(events, "floating"));
  events->setFloating(false);
  EXPECT_TRUE(OnScreenAsDrawn(events, "docked again"));
  ExpectBarsOnScreen("after the panel docks again");

  ExpectNoNativeChildren();
  EXPECT_TRUE(TModal::AllAnswersUsed());
}
