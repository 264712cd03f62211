// The advanced view against the simulated device: the coloured terminal, typing to the
// device (control keys too, over the serial route), a device that never sends its prompt, and
// ones that drop the line.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QMenu>
#include <QStackedWidget>

#include "app/MainWindowFixture.h"
#include "app/TFindBar.h"
#include "app/TTerminalView.h"

namespace {

// The colour and style the terminal draws the first occurrence of Word in.
bool LookOf(TTerminalView* Terminal, const std::string& Word, TTextRun& Look) {
  const TLineStore& lines = Terminal->Lines();
  for (int64_t i = 0; i < lines.Count(); ++i) {
    const size_t at = lines.Text(i).find(Word);
    if (at == std::string_view::npos) continue;
    Look = TTextRun{};
    for (const TTextRun& run : lines.Runs(i))
      if (run.Start <= at) Look = run;
    return true;
  }
  return false;
}

struct TExpectedLook {
  const char* Word;
  QColor Colour;  // invalid: the terminal's own background
  bool Bold;
};

}  // namespace

TEST_F(MainWindowTest, TerminalShowsTheDevicesColoursAndClearsOnRequest) {
  StartTcpSim("127.0.31.5", {"--text", "150"});
  StartProgram();
  LogInAndWait("127.0.31.5");
  Trigger(&Main(), "actAdvanced");
  TTerminalView* terminal = Main().reTerminal();
  const char* words[] = {"alarm", "unacknowledged", "status", "svc 7Q2", "modem", "18/31"};
  ASSERT_TRUE(WaitUntil([&] {
    const QString text = terminal->toPlainText();
    for (const char* word : words)
      if (!text.contains(word)) return false;
    return true;
  })) << terminal->toPlainText().toStdString();

  const TExpectedLook looks[] = {
      {"alarm", QColor(255, 0, 0), true},   {"unacknowledged", QColor(255, 0, 0), false},
      {"status", QColor(0, 0, 255), false}, {"modem", QColor(0, 0, 255), true},
      {"18/31", QColor(0, 128, 0), false},  {"svc 7Q2", QColor(), false},
  };
  for (const TExpectedLook& look : looks) {
    SCOPED_TRACE(look.Word);
    TTextRun drawn;
    ASSERT_TRUE(LookOf(terminal, look.Word, drawn));
    const QColor expected =
        look.Colour.isValid() ? look.Colour : terminal->palette().color(QPalette::Base);
    EXPECT_EQ(terminal->ScreenColor(drawn.Color).rgb(), expected.rgb());
    EXPECT_EQ(drawn.Style == TTextStyle::Bold, look.Bold);
  }
  // "Checking line |/-\" is drawn with backspaces: only the last spinner character stays.
  EXPECT_TRUE(terminal->toPlainText().contains("Checking line ok"));

  // Typing reaches the device and is echoed on TCP; "cls" makes it clear the screen.
  terminal->setFocus();
  QTest::keyClicks(terminal, "cls");
  EXPECT_TRUE(WaitUntil([&] { return terminal->toPlainText().endsWith("cls"); }));
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return DeviceLog().find("cls") != std::string::npos; }));
  EXPECT_TRUE(WaitUntil([&] {
    const QString text = terminal->toPlainText();
    return !text.contains("cls") && text.contains("<Tallybox");
  })) << terminal->toPlainText().toStdString();
}

TEST_F(MainWindowTest, ADeviceWithoutAPromptStillAnswersAfterTheTimeOut) {
  StartSim({"--serial", "--link", Config.LinkPath(5), "--log", Log(), "--no-prompt"});
  StartProgram();
  QueueSerialWizard(5);
  Trigger(&Main(), "actConnect");
  // The version request times out after two seconds; the login completes all the same.
  ASSERT_TRUE(WaitUntil([&] { return Action("actRegisters")->isEnabled(); }));
  EXPECT_EQ(Status(1), "v1.00");  // the reply that came before the time-out still counts
  Trigger(&Main(), "actRegisters");
  EXPECT_TRUE(PageIs("wait.htm"));
  ASSERT_TRUE(WaitUntil([&] { return PageIs("regs.htm"); }));
  EXPECT_FALSE(Main().Params().GetValue("r100").empty());
}

TEST_F(MainWindowTest, ALineDroppedMidCommandLeavesTheProgramUsable) {
  StartTcpSim("127.0.31.6", {"--drop-on", "r?"});
  StartProgram();
  LogInAndWait("127.0.31.6");
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return ShowsDropped(); })) << Status() << " / " << Hint();
  EXPECT_TRUE(PageIs("home.htm"));  // the wait page does not stay
  EXPECT_FALSE(Action("actRegisters")->isEnabled());
  EXPECT_TRUE(Action("actConnect")->isEnabled());

  Sim.reset();
  StartTcpSim("127.0.31.6");
  LogInAndWait("127.0.31.6");
  Trigger(&Main(), "actRegisters");
  EXPECT_TRUE(WaitUntil([&] { return PageIs("regs.htm"); }));
}

// As in any terminal, Ctrl+letter typed in the terminal is the device's control byte, and the
// terminal's own Find sits on Ctrl+Shift+F; a port that hangs up is a dropped line.
TEST_F(MainWindowTest, OverTheSerialRouteCtrlLettersReachTheDeviceAndADropSaysNotConnected) {
  StartSim({"--serial", "--link", Config.LinkPath(3), "--log", Log(), "--events", "0", "--text",
            "0", "--modem", "0", "--drop-on", "i?"});
  StartProgram();
  QueueSerialWizard(3);
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << Status();
  Trigger(&Main(), "actAdvanced");
  TTerminalView* terminal = Main().reTerminal();
  QApplication::setActiveWindow(&Main());
  terminal->setFocus();
  QTest::keyClicks(terminal, "help");
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return terminal->toPlainText().contains("help"); }));
  terminal->selectAll();
  QApplication::clipboard()->setText("kept");

  // Through the window system, as a keyboard's keys come, so the window's shortcuts see them.
  QWindow* window = Main().windowHandle();
  QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(window, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return DeviceLog().find("\\x06\\x03\n") != std::string::npos; }))
      << DeviceLog();
  auto* bar = Find<QWidget>(&Main(), "pnlFind");
  EXPECT_FALSE(OnScreen(bar));
  EXPECT_EQ(QApplication::clipboard()->text(), "kept");

  QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(OnScreen(bar));
  EXPECT_EQ(qobject_cast<TFindBar*>(bar)->Target(), terminal);

  terminal->setFocus();
  QTest::keyClicks(terminal, "i?");  // the device drops the line on it
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return ShowsDropped(); })) << Status() << " / " << Hint();
  EXPECT_TRUE(OnScreen(Find<QLabel>(&Main(), "sbHint")));
  EXPECT_TRUE(Action("actReconnect")->isEnabled());
}

namespace {

// What the hex view shows, read back row by row: each byte with whether it is drawn as the
// user's own.
std::vector<std::pair<unsigned char, bool>> HexBytes(TTerminalView* Terminal) {
  std::vector<std::pair<unsigned char, bool>> bytes;
  TLine row;
  for (int64_t i = 0; i < Terminal->LineCount(); ++i) {
    Terminal->Source()->GetLine(i, row);
    for (int c = 0; c < THexRows::BytesPerRow; ++c) {
      const auto at = static_cast<size_t>(THexRows::HexColumn(c));
      if (row.Text.size() < at + 2 || row.Text[at] == ' ') continue;
      TTextRun look;
      for (const TTextRun& run : row.Runs)
        if (run.Start <= at) look = run;
      bytes.push_back({static_cast<unsigned char>(std::stoi(row.Text.substr(at, 2), nullptr, 16)),
                       look.Color == THexRows::SentColor});
    }
  }
  return bytes;
}

}  // namespace

// A device that sends every byte value: the hex view shows each once, in order, after the
// user's own keys marked apart; Find works there, and the text comes back as it was.
TEST_F(MainWindowTest, HexViewShowsEveryByteAsReceivedAndTheTextStaysAsItWas) {
  StartTcpSim("127.0.31.7", {"--events", "0", "--text", "0"});
  StartProgram();
  LogInAndWait("127.0.31.7");
  Trigger(&Main(), "actAdvanced");
  TTerminalView* terminal = Main().reTerminal();
  QApplication::setActiveWindow(&Main());
  terminal->setFocus();
  QTest::keyClicks(terminal, "bytes");
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return terminal->toPlainText().contains("<Tallybox"); }));
  const QString text = terminal->toPlainText();
  // ESC takes what follows up to its letter, "A", as a sequence it does not know.
  EXPECT_TRUE(text.contains("BCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abc")) << text.toStdString();

  // The pop-up menu comes where the user asks for it, and names Hex with its key.
  auto* hex = Find<QAction>(&Main(), "actTerminalHex");
  auto* menu = Find<QMenu>(&Main(), "pumTerminal");
  QContextMenuEvent ask(QContextMenuEvent::Mouse, QPoint(20, 20));
  QApplication::sendEvent(terminal->viewport(), &ask);
  ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
  EXPECT_TRUE(menu->actions().contains(hex));
  // Copy All and Clear first, as the terminal's menu always had them, then Copy.
  ASSERT_GE(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[0]->objectName(), "actTerminalCopy");
  EXPECT_EQ(menu->actions()[1]->objectName(), "actTerminalClear");
  EXPECT_EQ(menu->actions()[2]->objectName(), "actTerminalCopySelection");
  EXPECT_EQ(hex->shortcut(), QKeySequence("Ctrl+Shift+H"));
  menu->hide();
  // Another test's window on the same display may have taken the focus meanwhile: the keys
  // would then reach the terminal as typed ones, so they are pressed once this window is
  // active again.
  ASSERT_TRUE(WaitUntil([&] {
    QApplication::setActiveWindow(&Main());
    terminal->setFocus();
    return QApplication::activeWindow() == &Main() && terminal->hasFocus();
  }));
  QTest::keyClick(Main().windowHandle(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(terminal->Hex());
  EXPECT_TRUE(OnScreen(terminal));
  const auto bytes = HexBytes(terminal);
  std::string sent, received;
  for (const auto& [byte, mine] : bytes) (mine ? sent : received) += static_cast<char>(byte);
  EXPECT_EQ(sent, "bytes\r");
  ASSERT_GE(received.size(), 256u);
  for (int b = 0; b < 256; ++b) ASSERT_EQ(static_cast<unsigned char>(received[b]), b) << b;
  EXPECT_EQ(received.substr(256, 2), "\r\n");
  EXPECT_NE(received.find("<Tallybox"), std::string::npos);

  Trigger(&Main(), "actTerminalFind");
  auto* bar = Find<QWidget>(&Main(), "pnlFind");
  QTest::keyClicks(Find<QLineEdit>(bar, "edFind"), "fd fe ff");
  Click(bar, "btnFindNext");
  EXPECT_EQ(terminal->SelectedText(), "fd fe ff");
  EXPECT_TRUE(terminal->viewport()->rect().contains(terminal->CursorRect()));

  hex->trigger();
  EXPECT_FALSE(terminal->Hex());
  EXPECT_EQ(terminal->toPlainText(), text);
}
