#include "app/TMemoView.h"
#include "app/TTerminalView.h"
#include "session/uViewLimits.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The window tests' main() has made the application object.
QApplication& Application() {
  return *qApp;
}

// The run in force at byte Column of the terminal's line Line.
TTextRun LookAt(const TTerminalView& View, int64_t Line, size_t Column) {
  TTextRun look;
  for (const TTextRun& run : View.Lines().Runs(Line))
    if (run.Start <= Column) look = run;
  return look;
}

}  // namespace

TEST(TerminalView, DrawsColoursAndBoldAndKeepsHiddenTextForCopyAll) {
  Application();
  TTerminalView view;
  EXPECT_EQ(view.font().pixelSize(), 12);
  EXPECT_TRUE(QFontInfo(view.font()).fixedPitch());
  view.TerminalWrite("n\x1b[31mr\x1b[34;1mB\x1b[0;1mg\x1b[0;31;41mh\x1b[0mw\r\nx\x1b");
  view.TerminalWrite("[2");  // an unfinished erase request waits for its letter
  EXPECT_EQ(view.TerminalText(), "nrBghw\nx");
  view.TerminalWrite("J\x1b[36;1mc\b\bq\xe9\xa0\t");
  EXPECT_EQ(view.TerminalText(), "q\xe9\xa0\t");

  view.ResetTerminal();
  view.TerminalWrite("n\x1b[31mr\x1b[34;1mB\x1b[0;1mg\x1b[0;31;41mh\x1b[0mw");
  const QPalette palette = view.palette();
  struct TCase {
    int Index;
    QColor Color;
    bool Bold;
  };
  const TCase cases[] = {
      {0, palette.color(QPalette::Text), false},
      {1, QColor(255, 0, 0), false},
      {2, QColor(0, 0, 255), true},
      {3, QColor(0, 128, 0), false},
      {4, palette.color(QPalette::Base), false},
      {5, palette.color(QPalette::Text), false},
  };
  for (const TCase& c : cases) {
    const TTextRun look = LookAt(view, 0, size_t(c.Index));
    EXPECT_EQ(view.ScreenColor(look.Color), c.Color) << c.Index;
    EXPECT_EQ(look.Style == TTextStyle::Bold, c.Bold) << c.Index;
  }
  view.CopyAll();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("nrBghw"));
}

TEST(TerminalView, KeepsItsLastTwoHundredLinesAndFollowsTheEnd) {
  Application();
  TTerminalView view;
  view.resize(300, 200);
  std::string chunk;
  for (int i = 0; i < 300; ++i) chunk += "L" + std::to_string(i) + "\r\n";
  view.TerminalWrite(chunk);
  // Only what the terminal keeps of a chunk is drawn: its last 200 lines.
  EXPECT_EQ(view.LineCount(), 200);
  EXPECT_EQ(view.Lines().Text(0), "L101");
  EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
  view.verticalScrollBar()->setValue(10);  // the user reads further up
  view.TerminalWrite("tail\r\nend");
  EXPECT_EQ(view.LineCount(), 200);
  EXPECT_EQ(view.Lines().Text(0), "L102");
  EXPECT_EQ(view.Lines().Text(199), "end");
  EXPECT_EQ(view.verticalScrollBar()->value(), 9);  // still on the same lines
  EXPECT_FALSE(view.FollowsEnd());
}

TEST(TerminalView, TypedKeysAreEmittedNotInserted) {
  Application();
  TTerminalView view;
  view.TerminalWrite("shown");
  std::vector<char> typed;
  QObject::connect(&view, &TTerminalView::KeyTyped, [&](char Key) { typed.push_back(Key); });
  QTest::keyClicks(&view, "a1");
  QTest::keyClick(&view, Qt::Key_Return);
  QTest::keyClick(&view, Qt::Key_Backspace);
  // The device's code page: the euro sign is a byte of it, a check mark is not.
  for (const char* key : {"\u20AC", "\u00E9", "\u2713"}) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8(key));
    QApplication::sendEvent(&view, &press);
  }
  EXPECT_EQ(std::string(typed.begin(), typed.end()), "a1\r\b\x80\xE9");
  EXPECT_EQ(view.TerminalText(), "shown");
  view.TerminalWrite(" \x80 \x93q\x94");
  EXPECT_EQ(view.TerminalText(), "shown \x80 \x93q\x94");
  EXPECT_TRUE(view.toPlainText().endsWith(QString::fromUtf8("\u20AC \u201Cq\u201D")));
}

TEST(TerminalView, MemoAppendsAtTheEndAndJoinsASplitCrLf) {
  Application();
  TMemoView memo;
  AppendToMemo(&memo, "12:00:00 a\r\n12:00:01 b");
  AppendToMemo(&memo, "c\r");
  AppendToMemo(&memo, "\n\xb0\x80");
  AppendToMemo(&memo, "");
  AppendToMemo(nullptr, "ignored");
  EXPECT_EQ(memo.toPlainText(), QString::fromUtf8("12:00:00 a\n12:00:01 bc\n\u00B0\u20AC"));
  // The pointer selects: a double click a word, a drag from where it was pressed.
  memo.resize(300, 200);
  const qreal column = QFontMetricsF(memo.font()).horizontalAdvance(QString(100, 'M')) / 100;
  const int row = QFontMetrics(memo.font()).lineSpacing();
  const auto at = [&](qreal Column, int Row) {
    return QPoint(int(Column * column), Row * row + row / 2);
  };
  QTest::mouseDClick(memo.viewport(), Qt::LeftButton, {}, at(9.6, 1));
  EXPECT_EQ(memo.SelectedText(), QStringLiteral("bc"));
  QTest::mousePress(memo.viewport(), Qt::LeftButton, {}, at(3.1, 0));
  QMouseEvent drag(QEvent::MouseMove, at(5.1, 1), memo.viewport()->mapToGlobal(at(5.1, 1)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(memo.viewport(), &drag);
  QTest::mouseRelease(memo.viewport(), Qt::LeftButton, {}, at(5.1, 1));
  EXPECT_EQ(memo.SelectedText(), QStringLiteral("00:00 a\n12:00"));
  AppendLineToMemo(&memo, "[5 bytes dropped]");
  EXPECT_EQ(memo.Lines().Text(3), "[5 bytes dropped]");
  memo.clear();
  AppendToMemo(&memo, "\nx");  // after a clear, a leading LF is a line break of its own
  EXPECT_EQ(memo.toPlainText(), QStringLiteral("\nx"));
  // It keeps exactly its last MemoLines lines, however they come.
  memo.clear();
  std::string lines;
  for (int i = 0; i < MemoLines; ++i) lines += std::to_string(i) + "\r\n";
  AppendToMemo(&memo, "first\r\n");
  AppendToMemo(&memo, lines.substr(0, lines.size() / 2));
  AppendToMemo(&memo, lines.substr(lines.size() / 2));
  ASSERT_EQ(memo.LineCount(), MemoLines);
  EXPECT_EQ(memo.Lines().Text(0), "1");
  EXPECT_EQ(memo.Lines().Text(MemoLines - 2), std::to_string(MemoLines - 1));
}

// The hex view shows every byte as it came, the user's own marked; switching loses nothing,
// and selection, Copy and Find work in both.
TEST(TerminalView, HexViewShowsTheBytesAndSwitchingBackLosesNothing) {
  Application();
  TTerminalView view;
  view.resize(600, 300);
  view.TerminalWrite("\x1b[31mred\x1b[0m\r\nAB");
  view.ShowSent("x", true);
  const std::string text = view.TerminalText();
  EXPECT_EQ(text, "red\nABx");
  view.HexAction()->trigger();
  ASSERT_TRUE(view.Hex());
  ASSERT_EQ(view.LineCount(), 2);
  TLine row;
  view.Source()->GetLine(0, row);
  EXPECT_EQ(row.Text,
            "00000000  1b 5b 33 31 6d 72 65 64  1b 5b 30 6d 0d 0a 41 42  .[31mred.[0m..AB");
  view.Source()->GetLine(1, row);
  EXPECT_EQ(row.Text.substr(0, 12), "00000010  78");
  EXPECT_EQ(row.Runs.front(), (TTextRun{10, THexRows::SentColor, TTextStyle::Bold}));
  EXPECT_TRUE(view.Find("6d 0d", false, false));
  EXPECT_EQ(view.SelectedText(), "6d 0d");
  view.TerminalWrite("more");  // still drawn as text while hex is shown
  view.SetHex(false);
  EXPECT_FALSE(view.HexAction()->isChecked());
  EXPECT_EQ(view.toPlainText(), QStringLiteral("red\nABxmore"));
  EXPECT_TRUE(view.Find("RED", false, true));
  view.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("red"));
  view.ResetTerminal();
  view.SetHex(true);
  EXPECT_EQ(view.toPlainText(), QString());
}
