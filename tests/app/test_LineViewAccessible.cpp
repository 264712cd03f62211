// What a screen reader learns of the line views through Qt's accessibility interface: the
// terminal's role and newest line, the events memo's text, caret and selection, and one
// notice for a flood of lines.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "app/TLineViewAccessible.h"
#include "app/TMemoView.h"
#include "app/TTerminalView.h"

namespace {

struct TNotice {
  QAccessible::Event Type;
  QObject* Object;
  int Position;
  QString Text;
};
std::vector<TNotice> Notices;

void Collect(QAccessibleEvent* Event) {
  TNotice notice{Event->type(), Event->object(), -1, {}};
  if (Event->type() == QAccessible::TextInserted) {
    auto* inserted = static_cast<QAccessibleTextInsertEvent*>(Event);
    notice.Position = inserted->changePosition();
    notice.Text = inserted->textInserted();
  } else if (Event->type() == QAccessible::TextRemoved) {
    auto* removed = static_cast<QAccessibleTextRemoveEvent*>(Event);
    notice.Position = removed->changePosition();
    notice.Text = removed->textRemoved();
  }
  Notices.push_back(notice);
}

// A listening client, as a screen reader is: every notice is kept. Qt serves assistive
// technology once the desktop's accessibility bus says a client may listen.
struct TListening {
  QAccessible::UpdateHandler Old;
  TListening() {
    Notices.clear();
    Old = QAccessible::installUpdateHandler(Collect);
  }
  ~TListening() { QAccessible::installUpdateHandler(Old); }
  static bool Active() {
    return QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000);
  }
};

QAccessibleTextInterface* TextOf(QWidget* View) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(View);
  return face ? face->textInterface() : nullptr;
}

std::vector<TNotice> Inserted(QObject* Object) {
  std::vector<TNotice> found;
  for (const TNotice& n : Notices)
    if (n.Object == Object && n.Type == QAccessible::TextInserted) found.push_back(n);
  return found;
}

bool WaitForInsert(QObject* Object, size_t Count) {
  return QTest::qWaitFor([&] { return Inserted(Object).size() >= Count; }, 5000);
}

}  // namespace

TEST(LineViewAccessible, ReadsTheTerminalsNewestLineAndTheEventsMemoAndTellsOfNewText) {
  TListening listening;
  ASSERT_TRUE(TListening::Active()) << "no accessibility bus";
  TTerminalView terminal;
  terminal.setAccessibleName("Terminal");
  TMemoView events;
  terminal.resize(400, 200);

  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&terminal);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->role(), QAccessible::Terminal);
  EXPECT_EQ(face->text(QAccessible::Name), "Terminal");
  EXPECT_TRUE(face->state().readOnly);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&events)->role(), QAccessible::EditableText);

  // The device's text, colours and all, reads as the lines show it; the newest line is the
  // one at the end.
  terminal.TerminalWrite("\x1b[34;1m<Tallybox>\x1b[0m i900?\r\ni900=1.00\r\n\x1b[31mcaf\xe9");
  QAccessibleTextInterface* text = face->textInterface();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(0, -1), QString::fromUtf8("<Tallybox> i900?\ni900=1.00\ncafé"));
  int start = 0, end = 0;
  EXPECT_EQ(text->textAtOffset(text->characterCount() - 1, QAccessible::LineBoundary, &start, &end),
            QString::fromUtf8("café"));
  EXPECT_EQ(text->textAtOffset(12, QAccessible::LineBoundary, &start, &end).trimmed(),
            "<Tallybox> i900?");
  EXPECT_EQ(text->cursorPosition(), 0);

  // Selection both ways: the view's selection reads back as offsets, and a client's
  // selection becomes the view's.
  terminal.selectAll();
  EXPECT_EQ(text->selectionCount(), 1);
  text->selection(0, &start, &end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, text->characterCount());
  text->setSelection(0, 17, 21);
  EXPECT_EQ(terminal.SelectedText(), "i900");
  EXPECT_EQ(text->cursorPosition(), 21);

  // What came is told once the lines settle: where, and what.
  ASSERT_TRUE(WaitForInsert(&terminal, 1));
  EXPECT_EQ(Inserted(&terminal).back().Text, text->text(0, -1));
  terminal.TerminalWrite("!\r\nnext");
  ASSERT_TRUE(WaitForInsert(&terminal, 2));
  EXPECT_EQ(Inserted(&terminal).back().Position,
            QString::fromUtf8("<Tallybox> i900?\ni900=1.00\ncafé").size());
  EXPECT_EQ(Inserted(&terminal).back().Text, "!\nnext");

  // The hex view is the same terminal showing the bytes: its text is the hex rows.
  terminal.SetHex(true);
  EXPECT_EQ(face->text(QAccessible::Description), "The bytes received and sent, in hex");
  const QString hex = text->text(0, -1);
  EXPECT_TRUE(hex.contains("30 30 3f 0d 0a 69 39 30") && hex.contains("i900?..i90"))
      << hex.toStdString();
  terminal.SetHex(false);
  EXPECT_EQ(face->text(QAccessible::Description), "");

  // The events memo, as the main window fills it.
  AppendLineToMemo(&events, "10:00:01 Power on");
  AppendLineToMemo(&events, "10:00:02 Modem ready");
  QAccessibleTextInterface* memo = TextOf(&events);
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->text(0, -1), "10:00:01 Power on\n10:00:02 Modem ready\n");
  ASSERT_TRUE(WaitForInsert(&events, 1));

  // A flood between two turns of the event loop is one notice, and the terminal's oldest lines
  // that went are told as removed from the front.
  const size_t before = Inserted(&terminal).size();
  for (int i = 0; i < 5000; ++i) terminal.TerminalWrite("line " + std::to_string(i) + "\r\n");
  ASSERT_TRUE(WaitForInsert(&terminal, before + 1));
  QTest::qWait(2 * TLineViewAccessible::NoticeMs);
  EXPECT_EQ(Inserted(&terminal).size(), before + 1);
  EXPECT_TRUE(text->text(0, -1).endsWith("line 4999\n"));
  EXPECT_EQ(text->text(0, -1).count('\n'), TTerminalView::MaxLines - 1);
  const auto removed = std::count_if(Notices.begin(), Notices.end(), [&](const TNotice& n) {
    return n.Object == &terminal && n.Type == QAccessible::TextRemoved && n.Position == 0;
  });
  EXPECT_EQ(removed, 1);

  // A memo of many lines reads its newest ones.
  for (int i = 0; i < 10000; ++i) AppendLineToMemo(&events, "event " + std::to_string(i));
  const QString newest = memo->text(0, -1);
  EXPECT_TRUE(newest.endsWith("event 9999\n"));
  EXPECT_EQ(newest.count('\n'), TLineViewAccessible::TailLines - 1);

  // Long lines count by their characters: the newest 4 MiB or so, whole lines.
  const std::string wide(20000, 'w');
  for (int i = 0; i < 300; ++i) AppendLineToMemo(&events, wide);
  EXPECT_LE(memo->characterCount(), TLineViewAccessible::TailChars + 20001);
  EXPECT_GT(memo->characterCount(), TLineViewAccessible::TailChars - 20001);

  // Cleared: everything told as gone.
  events.clear();
  EXPECT_EQ(memo->characterCount(), 0);
}
