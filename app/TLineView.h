// A read-only view of many lines that lays out nothing in advance: each paint draws only the
// lines in sight, straight from a line source, one character to a column of its fixed-pitch
// font. The base of the terminal, the events and modem memos and the hex view. The user
// selects with the mouse or the keyboard, copies, and finds; the view follows the end while
// it is scrolled to the end, and stays on its lines while the user reads further up.
#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <string>

#include "session/uLineSearch.h"
#include "session/uLineStore.h"

class TLineView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TLineView(QWidget* Parent = nullptr);

  // The lines drawn from now on (not owned; must outlive its use here). The selection goes.
  void SetSource(const TLineSource* Source);
  const TLineSource* Source() const { return FSource; }
  // The source's lines changed at the end; with Restarted, all of them (its numbering began
  // again): the selection goes. Call after every change.
  void LinesChanged(bool Restarted = false);

  int64_t LineCount() const { return FSource ? FSource->Count() : 0; }
  // Every line's text, lines joined by "\n": as the device's bytes, and as shown.
  std::string AllBytes() const;
  QString toPlainText() const;

  bool HasSelection() const { return FAnchor != FCursor; }
  TTextPos SelectionStart() const { return std::min(FAnchor, FCursor); }
  TTextPos SelectionEnd() const { return std::max(FAnchor, FCursor); }
  std::string SelectedBytes() const;
  QString SelectedText() const;
  // Selects from Anchor to Cursor and brings Cursor into view.
  void Select(TTextPos Anchor, TTextPos Cursor);
  void ClearSelection();
  void selectAll();
  // The selection to the clipboard; nothing without one.
  void copy();

  // Selects the next match of Text after the selection (Backward: before it), going round the
  // end once, and brings it into view. False when there is none; the selection then stays.
  bool Find(const QString& Text, bool MatchCase, bool Backward);
  // Every match of Text in sight is drawn marked; empty Text marks none.
  void SetHighlight(const QString& Text, bool MatchCase);
  // Where the selection's end (the cursor) lies, in the viewport's coordinates.
  QRect CursorRect() const { return RectAt(FCursor); }
  // Where Pos lies (one column wide), and the place under At, in the viewport's coordinates.
  QRect RectAt(TTextPos Pos) const;
  TTextPos PosAt(const QPoint& At) const;
  TTextPos Cursor() const { return FCursor; }
  // The number of the line at the top of the view.
  int64_t TopNumber() const { return (FSource ? FSource->FirstNumber() : 0) + TopIndex(); }
  // Counts every LinesChanged: the lines are as they were while it stays the same.
  uint64_t Changes() const { return FChanges; }
  // Whether the view follows the end as lines come.
  bool FollowsEnd() const { return FFollow; }

  // The on-screen colour of a text colour value; system colours come from the palette.
  QColor ScreenColor(TTextColor Color) const;

 signals:
  void copyAvailable(bool Available);

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;
  void scrollContentsBy(int Dx, int Dy) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  const TLineSource* FSource = nullptr;
  TTextPos FAnchor, FCursor;
  bool FFollow = true;
  bool FSettingRange = false;
  bool FDragging = false;
  uint64_t FChanges = 0;
  int64_t FTopNumber = 0;  // the line at the top, while not following
  std::string FHighlight;
  bool FHighlightCase = false;
  int FLineHeight = 1, FAscent = 0;
  qreal FCharWidth = 1;  // as a long run of characters is drawn, fractions included

  void MeasureFont();
  void UpdateRanges();
  int VisibleLines() const;
  int64_t TopIndex() const;
  void EnsureVisible(TTextPos Pos);
  void SelectionChanged(bool Had);
  void MoveCursor(QKeyEvent* Event);
  void DrawLine(class QPainter& Painter, const TLine& Line, int64_t Number, int Y);
  std::string LineBytes(int64_t Number) const;
};

// The device's bytes (code page 1252) as shown, and Text as the device's bytes; a character
// the code page lacks makes the second false.
QString FromDevice(std::string_view Bytes);
bool ToDevice(const QString& Text, std::string& Bytes);
