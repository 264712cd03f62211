// What the line views (terminal, hex view, events and modem memos) tell assistive technology:
// their role, the text of their newest lines and of the lines in sight, caret and selection,
// and a notice of the text that came, gathered over a short while so that a flood of lines
// costs one notice, not one a line. TLineView installs it and reports its changes here.
#pragma once

#include <QAccessibleWidget>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "session/uLineSearch.h"

class TLineView;

class TLineViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  // The newest this many lines are readable, and the lines in sight when they lie further up
  // (at most ReachLines from the end); all of them within the last TailChars characters.
  static constexpr int64_t TailLines = 4096;
  static constexpr int64_t ReachLines = 65536;
  static constexpr int64_t TailChars = 4 << 20;
  // How long the notices of arriving text are gathered.
  static constexpr int NoticeMs = 200;

  explicit TLineViewAccessible(TLineView* View);
  ~TLineViewAccessible() override;

  void* interface_cast(QAccessible::InterfaceType Type) override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text Which) const override;

  void selection(int SelectionIndex, int* StartOffset, int* EndOffset) const override;
  int selectionCount() const override;
  void addSelection(int StartOffset, int EndOffset) override;
  void removeSelection(int SelectionIndex) override;
  void setSelection(int SelectionIndex, int StartOffset, int EndOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int Position) override;
  QString text(int StartOffset, int EndOffset) const override;
  int characterCount() const override;
  QRect characterRect(int Offset) const override;
  int offsetAtPoint(const QPoint& Point) const override;
  void scrollToSubstring(int StartIndex, int EndIndex) override;
  QString attributes(int Offset, int* StartOffset, int* EndOffset) const override;

  // The view's lines changed: a notice follows within NoticeMs.
  void LinesChanged();
  // The view's selection or caret moved.
  void SelectionChanged();

 private:
  // The readable text: lines from FFirst on, joined by "\n"; FStarts[i] is where line
  // FFirst + i begins.
  struct TSnapshot {
    QString Text;
    std::vector<int> Starts;
    int64_t First = 0;
    int64_t Reach = -1;  // the first line the lines in sight asked for
    uint64_t Changes = ~uint64_t(0);
  };
  mutable TSnapshot FNow;
  TSnapshot FTold;  // as the last notice left it
  std::unique_ptr<QTimer> FNoticeTimer;

  TLineView* View() const;
  const TSnapshot& Now() const;
  int OffsetOf(TTextPos Pos) const;
  TTextPos PosOf(int Offset) const;
  void SendNotices();
};

// Makes every line view answer assistive technology through TLineViewAccessible; once is enough.
void InstallLineViewAccessibility();
// The view changed its lines, or its selection: tells the view's interface when a client listens.
void LineViewLinesChanged(TLineView* View);
void LineViewSelectionChanged(TLineView* View);
