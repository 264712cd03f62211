#include "app/TTerminalView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QKeyEvent>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The window tests' main() has made the application object.
QApplication& Application() {
  return *qApp;
}

// The character format in force at the Index-th character of the terminal's text.
QTextCharFormat FormatAt(TTerminalView& View, int Index) {
  QTextCursor cursor(View.document());
  cursor.setPosition(Index + 1);
  return cursor.charFormat();
}

}  // namespace

TEST(TerminalView, DrawsColoursAndBoldAndKeepsHiddenTextForCopyAll) {
  Application();
  TTerminalView view;
  EXPECT_EQ(view.font().pixelSize(), 12);
  EXPECT_TRUE(QFontInfo(view.font()).fixedPitch());
  EXPECT_EQ(view.lineWrapMode(), QPlainTextEdit::NoWrap);
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
    const QTextCharFormat format = FormatAt(view, c.Index);
    EXPECT_EQ(format.foreground().color(), c.Color) << c.Index;
    EXPECT_EQ(format.fontWeight() == QFont::Bold, c.Bold) << c.Index;
  }
  view.CopyAll();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("nrBghw"));
}

TEST(TerminalView, TrimsToTwoHundredLinesBeforeEachChunk) {
  Application();
  TTerminalView view;
  std::string chunk;
  for (int i = 0; i < 300; ++i) chunk += "L" + std::to_string(i) + "\r\n";
  view.TerminalWrite(chunk);
  // Only what the terminal keeps of a chunk is drawn: its last 200 lines.
  EXPECT_EQ(view.document()->blockCount(), 200);
  EXPECT_EQ(view.document()->firstBlock().text(), QStringLiteral("L101"));
  view.TerminalWrite("tail\r\nend");
  // 200 kept (the last one empty), then the chunk's own line break
  EXPECT_EQ(view.document()->blockCount(), 201);
  EXPECT_EQ(view.document()->firstBlock().text(), QStringLiteral("L101"));
  EXPECT_EQ(view.document()->lastBlock().text(), QStringLiteral("end"));
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
  QPlainTextEdit memo;
  AppendToMemo(&memo, "12:00:00 a\r\n12:00:01 b");
  AppendToMemo(&memo, "c\r");
  AppendToMemo(&memo, "\n\xb0\x80");
  AppendToMemo(&memo, "");
  AppendToMemo(nullptr, "ignored");
  EXPECT_EQ(memo.toPlainText(), QString::fromUtf8("12:00:00 a\n12:00:01 bc\n\u00B0\u20AC"));
  EXPECT_TRUE(memo.textCursor().atEnd());
  memo.clear();
  AppendToMemo(&memo, "\nx");  // after a clear, a leading LF is a line break of its own
  EXPECT_EQ(memo.toPlainText(), QStringLiteral("\nx"));
}
