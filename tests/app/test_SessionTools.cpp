// The session tools against the simulated device: the session log file (remembered across a
// restart), time stamps on the terminal's lines, Find in the terminal and Save As.
#include <QKeyEvent>
#include <QScrollBar>
#include <filesystem>
#include <regex>

#include "app/MainWindowFixture.h"
#include "app/TTerminalView.h"
#include "rtl/FileBytes.h"

namespace {

// The log's lines without their stamps; every line must carry one.
std::vector<std::string> LogLines(const std::string& Text) {
  std::vector<std::string> lines;
  const std::regex shape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ([<>] .*))");
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, shape)) << line;
    lines.push_back(m[1]);
  }
  return lines;
}

ptrdiff_t IndexOf(const std::vector<std::string>& Lines, const std::string& Line) {
  return std::find(Lines.begin(), Lines.end(), Line) - Lines.begin();
}

}  // namespace

TEST_F(MainWindowTest, SessionLogHoldsEveryLineWithThePasswordMaskedAndIsRemembered) {
  StartTcpSim("127.0.80.1", {"--events", "0", "--text", "0"});
  StartProgram();
  const std::string chosen = Data.Path("window.log");
  TModal::SetNextFileName(QString::fromStdString(chosen));
  Trigger(&Main(), "actLogSession");
  ASSERT_TRUE(Action("actLogSession")->isChecked());
  auto* panel = Find<QLabel>(&Main(), "sbLog");
  EXPECT_FALSE(OnScreen(panel));  // nothing is written before a connection

  LogInAndWait("127.0.80.1");
  EXPECT_TRUE(OnScreen(panel));
  EXPECT_EQ(panel->text().toStdString(), "Logging to window.log");
  Trigger(&Main(), "actAdvanced");
  TTerminalView* terminal = Main().reTerminal();
  QTest::keyClicks(terminal, "i900?");
  QTest::keyClick(terminal, Qt::Key_Return);
  QKeyEvent controlB(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, QString(QChar(2)));
  QApplication::sendEvent(terminal, &controlB);  // a control byte, typed
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] {
    return ReadFileBytes(chosen).find("> \\x02\n") != std::string::npos;
  })) << ReadFileBytes(chosen);
  ASSERT_TRUE(WaitUntil([&] { return DeviceLog().find("i900?\n") != std::string::npos; }));
  Trigger(&Main(), "actLogSession");  // off: the file is complete
  EXPECT_FALSE(OnScreen(panel));

  const std::string text = ReadFileBytes(chosen);
  const std::vector<std::string> lines = LogLines(text);
  ASSERT_GE(lines.size(), 12u) << text;
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
            (std::vector<std::string>{"< ", "< Tallybox TB-204871 remote access", "< PASSWORD",
                                      "> ********"}));
  const ptrdiff_t typed = IndexOf(lines, "> i900?");
  EXPECT_LT(IndexOf(lines, R"(< \x1b[34;1m<Tallybox TB-204871>\x1b[0m)"), typed) << text;
  EXPECT_LT(typed, IndexOf(lines, R"(> \x02)")) << text;
  EXPECT_EQ(text.find(kTestPassword), std::string::npos);

  // Logging and the time stamps are remembered; the next connection's log gets its own name
  // in the folder chosen before.
  Find<QAction>(&Main(), "actTerminalStamps")->trigger();
  TModal::SetNextFileName(QString::fromStdString(Data.Path("second.log")));
  Trigger(&Main(), "actLogSession");
  Program.reset();
  StartProgram();
  EXPECT_TRUE(Action("actLogSession")->isChecked());
  EXPECT_TRUE(Find<QAction>(&Main(), "actTerminalStamps")->isChecked());
  LogInAndWait("127.0.80.1");
  EXPECT_TRUE(OnScreen(panel = Find<QLabel>(&Main(), "sbLog")));
  const std::regex named(R"(Logging to tallybox-\d{4}-\d\d-\d\d-\d{6}-127\.0\.80\.1\.log)");
  EXPECT_TRUE(std::regex_match(panel->text().toStdString(), named)) << panel->text().toStdString();
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

TEST_F(MainWindowTest, TerminalLinesStampedFoundAndSaved) {
  StartTcpSim("127.0.80.3", {"--events", "0", "--text", "0"});
  StartProgram();
  LogInAndWait("127.0.80.3");
  Trigger(&Main(), "actAdvanced");
  Find<QAction>(&Main(), "actTerminalStamps")->trigger();
  TTerminalView* terminal = Main().reTerminal();
  QTest::keyClicks(terminal, "i?");
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return terminal->toPlainText().contains("i104="); }));
  const std::regex stamped(R"(\d\d:\d\d:\d\d\.\d{3} i10[0-4]=.*)");
  for (const QString& line : terminal->toPlainText().split('\n'))
    if (line.contains("i10"))
      EXPECT_TRUE(std::regex_match(line.toStdString(), stamped)) << line.toStdString();

  QApplication::setActiveWindow(&Main());
  terminal->setFocus();
  // Through the window system, as a keyboard's Ctrl+Shift+F comes: the shortcut, not a byte.
  QTest::keyClick(Main().windowHandle(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  auto* bar = Find<QWidget>(&Main(), "pnlFind");
  ASSERT_TRUE(OnScreen(bar));
  auto* what = Find<QLineEdit>(bar, "edFind");
  QTest::keyClicks(what, "I10");
  Find<QAbstractButton>(bar, "cbMatchCase")->setChecked(true);
  Click(bar, "btnFindNext");
  EXPECT_EQ(Find<QLabel>(bar, "lblFindResult")->text(), "Not found");
  EXPECT_FALSE(terminal->HasSelection());
  Find<QAbstractButton>(bar, "cbMatchCase")->setChecked(false);
  Click(bar, "btnFindNext");
  const TTextPos first = terminal->SelectionStart();
  EXPECT_EQ(terminal->SelectedText(), "i10");
  Click(bar, "btnFindNext");
  const TTextPos second = terminal->SelectionStart();
  EXPECT_GT(second, first);
  EXPECT_EQ(terminal->SelectedText(), "i10");
  EXPECT_TRUE(terminal->viewport()->rect().contains(terminal->CursorRect()));
  Click(bar, "btnFindPrevious");
  EXPECT_EQ(terminal->SelectionStart(), first);

  const std::string saved = Data.Path("terminal.txt");
  TModal::SetNextFileName(QString::fromStdString(saved));
  Trigger(&Main(), "actTerminalSaveAs");
  EXPECT_EQ(ReadFileBytes(saved), terminal->TerminalText() + "\n");
  EXPECT_TRUE(TModal::AllAnswersUsed());
}
