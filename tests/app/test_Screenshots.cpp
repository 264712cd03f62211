// Draws the README's screenshots: the main window on the registers page, the connection
// wizard on its TCP/IP page and on its serial page, the progress window on its password page,
// the advanced view on the serial route, the terminal's hex view and the compare page against
// a preset. Not part of the
// suite (disabled); scripts/screenshots runs it under a virtual display. Each picture is what
// the X server shows of the window, not the window's drawing of itself, so a picture cannot
// look right while the screen is wrong.
#include <QDir>
#include <QScreen>

#include "app/MainWindowFixture.h"
#include "app/TMemoView.h"
#include "app/TTerminalView.h"
#include "params/uStorage.h"
#include "support/FakeSerialTree.h"
#include "support/PtyPeer.h"
#include "support/ScreenPixels.h"

namespace {

// On a dark desktop (TALLYBOX_TEST_DARK) only the main window is drawn, as "<name>-dark".
void Save(QWidget* Window, const QString& Name) {
  const char* out = std::getenv("TALLYBOX_SCREENSHOTS");
  ASSERT_NE(out, nullptr) << "set TALLYBOX_SCREENSHOTS to the output folder";
  const bool dark = std::getenv("TALLYBOX_TEST_DARK") != nullptr;
  if (dark && Name != "main-window") return;
  QDir().mkpath(out);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window));
  Window->raise();
  Pump(std::chrono::milliseconds(500));  // let the window and the page engine paint
  ASSERT_TRUE(Window->screen()->geometry().contains(Window->frameGeometry()))
      << "part of the window is off the screen";
  const QImage shown = ScreenPixels(Window, Window->frameGeometry());
  EXPECT_TRUE(shown.save(QString("%1/%2%3.png").arg(out, Name, dark ? "-dark" : "")));
}

}  // namespace

TEST_F(MainWindowTest, DISABLED_Screenshots) {
  StartTcpSim("127.0.31.30", {"--page-version", "1.10"});
  StartProgram();
  TModal::SetNextExec([&](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbTCP")->setChecked(true);
    Click(wizard, "btnNext");
    QTest::keyClicks(Find<QLineEdit>(wizard, "edHost"), "127.0.31.30");
    Save(wizard, "wizard");
    Click(wizard, "btnNext");
  });
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] {
    auto* page = Program->Progress.findChild<QWidget*>("tsPassword");
    return page && page->isVisible();
  }));
  QTest::keyClicks(Find<QLineEdit>(&Program->Progress, "edPassword"), "sesame");
  Save(&Program->Progress, "progress");
  Click(&Program->Progress, "btnSend");
  ASSERT_TRUE(WaitUntil([&] { return Action("actRegisters")->isEnabled(); }));
  const int loads = LoadsFinished;
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > loads && PageIs("regs.htm"); }));
  Save(&Main(), "main-window");
}

TEST_F(MainWindowTest, DISABLED_ScreenshotsAdvanced) {
  StartSim({"--serial", "--link", Config.LinkPath(4), "--log", Log(), "--events", "300", "--modem",
            "300", "--text", "300"});
  StartProgram();
  QueueSerialWizard(4);
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); }));
  Trigger(&Main(), "actAdvanced");
  ASSERT_TRUE(AdvancedViewOnScreen(true));
  auto lines = [this](const char* Memo) { return Find<TMemoView>(&Main(), Memo)->LineCount(); };
  ASSERT_TRUE(WaitUntil([&] {
    return lines("memEvents") > 4 && lines("memModem") > 4 &&
           Main().reTerminal()->toPlainText().contains("Checking line");
  }));
  Save(&Main(), "advanced");
}

// The terminal's hex view after the user typed "help": the keys sent marked apart, the
// device's answer byte by byte, and Find marking every escape sequence's start.
TEST_F(MainWindowTest, DISABLED_ScreenshotsHex) {
  StartTcpSim("127.0.90.5", {"--events", "0", "--text", "0"});
  StartProgram();
  LogInAndWait("127.0.90.5");
  Trigger(&Main(), "actAdvanced");
  TTerminalView* terminal = Main().reTerminal();
  terminal->setFocus();
  QTest::keyClicks(terminal, "help");
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return terminal->toPlainText().contains("end the session"); }));
  Main().resize(820, 520);
  Trigger(&Main(), "actTerminalHex");
  Trigger(&Main(), "actTerminalFind");
  QTest::keyClicks(Find<QLineEdit>(&Main(), "edFind"), "1b 5b");
  Click(Find<QWidget>(&Main(), "pnlFind"), "btnFindNext");
  Save(&Main(), "hex");
}

// The serial page with devices: pseudo-terminals in a made-up /dev stand in for a built-in
// port, an adapter assigned to COM3, a board nothing is assigned to and an unplugged adapter.
TEST_F(MainWindowTest, DISABLED_ScreenshotsSerialPage) {
  TFakeSerialTree tree;
  TPtyPeer builtIn, adapter, board;
  tree.AddBuiltIn("ttyS0", builtIn.SlavePath(), 4);
  Config.Link(3, tree.AddUsb("ttyUSB0", adapter.SlavePath(), "FTDI", "FT232R USB UART",
                             "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
  tree.AddUsb("ttyACM0", board.SlavePath(), "Arduino (www.arduino.cc)", "Arduino Uno", "");
  Config.Link(4, tree.ById() + "/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0");
  StartProgram();
  TModal::SetNextExec([&](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbSerial")->setChecked(true);
    Click(wizard, "btnNext");
    Find<QComboBox>(wizard, "cbCOMPort")->setCurrentIndex(2);
    Save(wizard, "wizard-serial");
  });
  Trigger(&Main(), "actConnect");
}

TEST_F(MainWindowTest, DISABLED_ScreenshotsCompare) {
  StartTcpSim("127.0.90.4", {"--page-version", "1.10"});
  StartProgram();
  LogInAndWait("127.0.90.4");
  int loads = LoadsFinished;
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > loads && PageIs("regs.htm"); }));
  // A site's preset that the device has drifted from.
  TParameterList site;
  for (int32_t i = 0; i < Main().Params().Count(); ++i)
    if (!Main().Params().GetLine(i).starts_with("r405=")) site.AddLine(Main().Params().GetLine(i));
  for (const char* line : {"r104=15", "r105=5", "r306=UTC", "r998=1"}) site.AddLine(line);
  const std::string preset = Data.Path("depot-north.rgp");
  site.SaveToFile(preset);
  Main().resize(720, 780);
  Main().move(Main().x(), 0);  // all of it on the screen
  TModal::SetNextFileName(QString::fromStdString(preset));
  loads = LoadsFinished;
  Trigger(&Main(), "actCompareRegisters");
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > loads && PageIs("compare.htm"); }));
  Save(&Main(), "compare");
}
