#include "app/TLineView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cctype>
#include <climits>

#include "app/TLineViewAccessible.h"
#include "rtl/AnsiText.h"

namespace {

// The column where Byte of Text begins on screen; past the end, one column a byte.
int64_t ColumnOf(std::string_view Text, int64_t Byte) {
  const auto within = static_cast<size_t>(std::clamp<int64_t>(Byte, 0, int64_t(Text.size())));
  return ShownColumns(Text.substr(0, within)) + std::max<int64_t>(Byte - int64_t(within), 0);
}

// The byte boundary nearest to Column (a fraction: where in a character the pointer is).
int64_t ByteNear(std::string_view Text, double Column) {
  int64_t column = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    const int64_t next = ShownColumns(Text.substr(i, 1), column);
    if (Column < (column + next) / 2.0) return static_cast<int64_t>(i);
    column = next;
  }
  return static_cast<int64_t>(Text.size());
}

bool IsWordByte(char C) {
  const auto c = static_cast<unsigned char>(C);
  return std::isalnum(c) || c == '_' || c >= 0xC0;
}

// A run of a line as drawn: from byte Start to End, in Color and Style.
struct TSegment {
  size_t Start, End;
  TTextColor Color;
  TTextStyle Style;
};

std::vector<TSegment> Segments(const TLine& Line) {
  std::vector<TSegment> segments;
  size_t start = 0;
  TTextRun current;
  for (const TTextRun& run : Line.Runs) {
    if (run.Start > start) segments.push_back({start, run.Start, current.Color, current.Style});
    start = std::max<size_t>(start, run.Start);
    current = run;
  }
  if (start < Line.Text.size())
    segments.push_back({start, Line.Text.size(), current.Color, current.Style});
  return segments;
}

// Bytes Start to End of Text as drawn from column Column on: tabs as blanks to the next stop,
// control characters as blanks, so every byte keeps its columns.
QString Shown(std::string_view Text, size_t Start, size_t End, int64_t Column) {
  QString shown;
  for (size_t i = Start; i < End; ++i) {
    const auto byte = static_cast<unsigned char>(Text[i]);
    const int64_t next = ShownColumns(Text.substr(i, 1), Column);
    const char16_t c = AnsiToUnicode(byte);
    if (byte == '\t' || c < 0x20 || (c >= 0x7F && c < 0xA0))
      shown += QString(static_cast<int>(next - Column), QLatin1Char(' '));
    else
      shown += QChar(c);
    Column = next;
  }
  return shown;
}

}  // namespace

QString FromDevice(std::string_view Bytes) {
  return QString::fromStdU16String(AnsiToUtf16(Bytes));
}

bool ToDevice(const QString& Text, std::string& Bytes) {
  char32_t missing = 0;
  return Utf16ToAnsi(Text.toStdU16String(), Bytes, missing);
}

TLineView::TLineView(QWidget* Parent) : QAbstractScrollArea(Parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setAutoFillBackground(false);
  MeasureFont();
  InstallLineViewAccessibility();
}

void TLineView::SetSource(const TLineSource* Source) {
  FSource = Source;
  LinesChanged(true);
}

void TLineView::MeasureFont() {
  const QFontMetrics metrics(font());
  FLineHeight = std::max(metrics.lineSpacing(), 1);
  // Glyphs in one run are placed at fractional advances: every column must be where the
  // run puts it, or a line drawn in several runs does not line up with one drawn in one.
  FCharWidth = std::max(QFontMetricsF(font()).horizontalAdvance(QString(100, 'M')) / 100, 1.0);
  FAscent = metrics.ascent();
}

int TLineView::VisibleLines() const {
  return std::max(viewport()->height() / FLineHeight, 1);
}

int64_t TLineView::TopIndex() const {
  return verticalScrollBar()->value();
}

void TLineView::LinesChanged(bool Restarted) {
  if (Restarted) {
    const bool had = HasSelection();
    FAnchor = FCursor = {};
    FFollow = true;
    if (had) emit copyAvailable(false);
  }
  ++FChanges;
  UpdateRanges();
  viewport()->update();
  LineViewLinesChanged(this);
}

void TLineView::UpdateRanges() {
  FSettingRange = true;
  const int64_t count = LineCount();
  const int64_t first = FSource ? FSource->FirstNumber() : 0;
  const int maximum =
      static_cast<int>(std::min<int64_t>(std::max<int64_t>(count - VisibleLines(), 0), INT_MAX));
  QScrollBar* vertical = verticalScrollBar();
  vertical->setRange(0, maximum);
  vertical->setPageStep(VisibleLines());
  vertical->setValue(
      FFollow ? maximum : static_cast<int>(std::clamp<int64_t>(FTopNumber - first, 0, maximum)));
  FTopNumber = first + vertical->value();
  const auto widest = static_cast<int64_t>((FSource ? FSource->Widest() + 1 : 0) * FCharWidth);
  QScrollBar* horizontal = horizontalScrollBar();
  horizontal->setRange(0, static_cast<int>(std::min<int64_t>(
                              std::max<int64_t>(widest - viewport()->width(), 0), INT_MAX)));
  horizontal->setPageStep(viewport()->width());
  horizontal->setSingleStep(static_cast<int>(FCharWidth));
  FSettingRange = false;
}

void TLineView::scrollContentsBy(int, int) {
  if (!FSettingRange) {
    QScrollBar* vertical = verticalScrollBar();
    FFollow = vertical->value() == vertical->maximum();
    FTopNumber = (FSource ? FSource->FirstNumber() : 0) + vertical->value();
  }
  viewport()->update();
}

void TLineView::resizeEvent(QResizeEvent* Event) {
  QAbstractScrollArea::resizeEvent(Event);
  UpdateRanges();
}

void TLineView::changeEvent(QEvent* Event) {
  QAbstractScrollArea::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) {
    MeasureFont();
    UpdateRanges();
  }
  viewport()->update();
}

QColor TLineView::ScreenColor(TTextColor Color) const {
  if ((Color >> 24) == 0xFF) {
    return (Color & 0xFF) == (clWindow & 0xFF) ? palette().color(QPalette::Base)
                                               : palette().color(QPalette::Text);
  }
  return QColor(static_cast<int>(Color & 0xFF), static_cast<int>((Color >> 8) & 0xFF),
                static_cast<int>((Color >> 16) & 0xFF));
}

void TLineView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
  if (!FSource) return;
  const int64_t top = TopIndex(), count = FSource->Count();
  TLine line;
  for (int row = 0; row <= VisibleLines() && top + row < count; ++row) {
    FSource->GetLine(top + row, line);
    DrawLine(painter, line, FSource->FirstNumber() + top + row, row * FLineHeight);
  }
}

void TLineView::DrawLine(QPainter& Painter, const TLine& Line, int64_t Number, int Y) {
  const int x0 = -horizontalScrollBar()->value();
  const auto band = [&](int64_t From, int64_t To) {
    const int64_t left = ColumnOf(Line.Text, From), right = ColumnOf(Line.Text, To);
    return QRectF(x0 + left * FCharWidth, Y, (right - left) * FCharWidth, FLineHeight);
  };
  for (const size_t at : MatchesIn(Line.Text, FHighlight, FHighlightCase))
    Painter.fillRect(band(int64_t(at), int64_t(at + FHighlight.size())), QColor(255, 200, 0, 130));
  const std::vector<TSegment> segments = Segments(Line);
  const auto draw = [&](const QColor* Pen) {
    for (const TSegment& s : segments) {
      QFont font = Painter.font();
      font.setBold(s.Style == TTextStyle::Bold);
      Painter.setFont(font);
      Painter.setPen(Pen ? *Pen : ScreenColor(s.Color));
      const int64_t column = ColumnOf(Line.Text, int64_t(s.Start));
      Painter.drawText(QPointF(x0 + column * FCharWidth, Y + FAscent),
                       Shown(Line.Text, s.Start, s.End, column));
    }
  };
  draw(nullptr);
  const TTextPos start = SelectionStart(), end = SelectionEnd();
  if (!HasSelection() || Number < start.Line || Number > end.Line) return;
  // The selection: its band again, in the highlight's colours; a line break in it shows as
  // one selected column.
  const int64_t from = Number == start.Line ? start.Column : 0;
  const int64_t to = Number == end.Line ? end.Column : int64_t(Line.Text.size()) + 1;
  const QRectF selected = band(from, to);
  Painter.save();
  Painter.setClipRect(selected);
  Painter.fillRect(selected, palette().color(QPalette::Highlight));
  const QColor pen = palette().color(QPalette::HighlightedText);
  draw(&pen);
  Painter.restore();
}

std::string TLineView::LineBytes(int64_t Number) const {
  TLine line;
  FSource->GetLine(Number - FSource->FirstNumber(), line);
  return line.Text;
}

std::string TLineView::AllBytes() const {
  std::string text;
  if (!FSource) return text;
  TLine line;
  for (int64_t i = 0; i < FSource->Count(); ++i) {
    FSource->GetLine(i, line);
    if (i > 0) text += '\n';
    text += line.Text;
  }
  return text;
}

QString TLineView::toPlainText() const {
  return FromDevice(AllBytes());
}

std::string TLineView::SelectedBytes() const {
  std::string text;
  if (!FSource || !HasSelection()) return text;
  const int64_t first = FSource->FirstNumber(), last = first + FSource->Count() - 1;
  const TTextPos start = SelectionStart(), end = SelectionEnd();
  for (int64_t n = std::max(start.Line, first); n <= std::min(end.Line, last); ++n) {
    const std::string line = LineBytes(n);
    const auto from = static_cast<size_t>(
        n == start.Line ? std::min<int64_t>(start.Column, int64_t(line.size())) : 0);
    const auto to = n == end.Line
                        ? static_cast<size_t>(std::min<int64_t>(end.Column, int64_t(line.size())))
                        : line.size();
    if (n > std::max(start.Line, first)) text += '\n';
    if (to > from) text.append(line, from, to - from);
  }
  return text;
}

QString TLineView::SelectedText() const {
  return FromDevice(SelectedBytes());
}

void TLineView::SelectionChanged(bool Had) {
  viewport()->update();
  if (Had != HasSelection()) emit copyAvailable(HasSelection());
  LineViewSelectionChanged(this);
}

void TLineView::Select(TTextPos Anchor, TTextPos Cursor) {
  const bool had = HasSelection();
  FAnchor = Anchor;
  FCursor = Cursor;
  EnsureVisible(Anchor);
  EnsureVisible(Cursor);
  SelectionChanged(had);
}

void TLineView::ClearSelection() {
  const bool had = HasSelection();
  FAnchor = FCursor;
  SelectionChanged(had);
}

void TLineView::selectAll() {
  if (!FSource) return;
  const bool had = HasSelection();
  const int64_t first = FSource->FirstNumber(), last = first + FSource->Count() - 1;
  FAnchor = {first, 0};
  FCursor = {last, int64_t(LineBytes(last).size())};
  SelectionChanged(had);
}

void TLineView::copy() {
  if (HasSelection()) QGuiApplication::clipboard()->setText(SelectedText());
}

bool TLineView::Find(const QString& Text, bool MatchCase, bool Backward) {
  std::string pattern;
  if (!FSource || Text.isEmpty() || !ToDevice(Text, pattern)) return false;
  TTextPos found;
  if (!FindInLines(*FSource, pattern, MatchCase, Backward,
                   Backward ? SelectionStart() : SelectionEnd(), found))
    return false;
  Select(found, {found.Line, found.Column + int64_t(pattern.size())});
  return true;
}

void TLineView::SetHighlight(const QString& Text, bool MatchCase) {
  std::string pattern;
  FHighlight = ToDevice(Text, pattern) ? pattern : std::string();
  FHighlightCase = MatchCase;
  viewport()->update();
}

QRect TLineView::RectAt(TTextPos Pos) const {
  if (!FSource) return {};
  const int64_t row = Pos.Line - FSource->FirstNumber() - TopIndex();
  const int64_t column =
      ColumnOf(LineBytes(std::clamp(Pos.Line, FSource->FirstNumber(),
                                    FSource->FirstNumber() + FSource->Count() - 1)),
               Pos.Column);
  return QRect(static_cast<int>(column * FCharWidth) - horizontalScrollBar()->value(),
               static_cast<int>(row * FLineHeight), 1, FLineHeight);
}

void TLineView::EnsureVisible(TTextPos Pos) {
  if (!FSource) return;
  const int64_t index = Pos.Line - FSource->FirstNumber();
  QScrollBar* vertical = verticalScrollBar();
  if (index < TopIndex())
    vertical->setValue(static_cast<int>(std::max<int64_t>(index, 0)));
  else if (index >= TopIndex() + VisibleLines())
    vertical->setValue(static_cast<int>(index - VisibleLines() + 1));
  if (index < 0 || index >= FSource->Count()) return;
  const auto x = static_cast<int64_t>(ColumnOf(LineBytes(Pos.Line), Pos.Column) * FCharWidth);
  QScrollBar* horizontal = horizontalScrollBar();
  if (x < horizontal->value())
    horizontal->setValue(static_cast<int>(std::max<qreal>(x - 4 * FCharWidth, 0)));
  else if (x + FCharWidth > horizontal->value() + viewport()->width())
    horizontal->setValue(static_cast<int>(x + 4 * FCharWidth - viewport()->width()));
}

TTextPos TLineView::PosAt(const QPoint& At) const {
  if (!FSource) return {};
  const int64_t row = At.y() < 0 ? -1 : At.y() / FLineHeight;
  const int64_t index = std::clamp<int64_t>(TopIndex() + row, 0, FSource->Count() - 1);
  const int64_t number = FSource->FirstNumber() + index;
  const double column = std::max(0.0, double(At.x() + horizontalScrollBar()->value()) / FCharWidth);
  return {number, ByteNear(LineBytes(number), column)};
}

void TLineView::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(Event);
  const bool had = HasSelection();
  FCursor = PosAt(Event->position().toPoint());
  if (!(Event->modifiers() & Qt::ShiftModifier)) FAnchor = FCursor;
  FDragging = true;
  SelectionChanged(had);
}

void TLineView::mouseMoveEvent(QMouseEvent* Event) {
  if (!FDragging) return;
  const QPoint at = Event->position().toPoint();
  QScrollBar* vertical = verticalScrollBar();
  if (at.y() < 0) vertical->setValue(vertical->value() - 1);
  if (at.y() > viewport()->height()) vertical->setValue(vertical->value() + 1);
  const bool had = HasSelection();
  FCursor = PosAt(at);
  SelectionChanged(had);
}

void TLineView::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(Event);
  FDragging = false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (HasSelection() && clipboard->supportsSelection())
    clipboard->setText(SelectedText(), QClipboard::Selection);
}

void TLineView::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() != Qt::LeftButton || !FSource) return;
  const TTextPos at = PosAt(Event->position().toPoint());
  const std::string line = LineBytes(at.Line);
  int64_t from = std::min<int64_t>(at.Column, int64_t(line.size())), to = from;
  while (from > 0 && IsWordByte(line[size_t(from - 1)])) --from;
  while (to < int64_t(line.size()) && IsWordByte(line[size_t(to)])) ++to;
  Select({at.Line, from}, {at.Line, to});
  FDragging = false;
}

void TLineView::keyPressEvent(QKeyEvent* Event) {
  if (Event == QKeySequence::Copy) return copy();
  if (Event == QKeySequence::SelectAll) return selectAll();
  if (Event->modifiers() & Qt::ShiftModifier) return MoveCursor(Event);
  QScrollBar* vertical = verticalScrollBar();
  switch (Event->key()) {
    case Qt::Key_Home:
      if (Event->modifiers() & Qt::ControlModifier) return vertical->setValue(0);
      return horizontalScrollBar()->setValue(0);
    case Qt::Key_End:
      if (Event->modifiers() & Qt::ControlModifier) return vertical->setValue(vertical->maximum());
      return horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    default:
      QAbstractScrollArea::keyPressEvent(Event);  // arrows and pages scroll
  }
}

// Shift with a movement key moves the selection's end.
void TLineView::MoveCursor(QKeyEvent* Event) {
  if (!FSource) return;
  const int64_t first = FSource->FirstNumber(), last = first + FSource->Count() - 1;
  TTextPos to = {std::clamp(FCursor.Line, first, last), FCursor.Column};
  const auto length = [&](int64_t Number) { return int64_t(LineBytes(Number).size()); };
  to.Column = std::min(to.Column, length(to.Line));
  switch (Event->key()) {
    case Qt::Key_Left:
      to = to.Column > 0     ? TTextPos{to.Line, to.Column - 1}
           : to.Line > first ? TTextPos{to.Line - 1, length(to.Line - 1)}
                             : to;
      break;
    case Qt::Key_Right:
      to = to.Column < length(to.Line) ? TTextPos{to.Line, to.Column + 1}
           : to.Line < last            ? TTextPos{to.Line + 1, 0}
                                       : to;
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      const int64_t page =
          Event->key() == Qt::Key_PageUp || Event->key() == Qt::Key_PageDown ? VisibleLines() : 1;
      const bool up = Event->key() == Qt::Key_Up || Event->key() == Qt::Key_PageUp;
      to.Line = std::clamp(to.Line + (up ? -page : page), first, last);
      to.Column = std::min(to.Column, length(to.Line));
      break;
    }
    case Qt::Key_Home:
      to = {(Event->modifiers() & Qt::ControlModifier) ? first : to.Line, 0};
      break;
    case Qt::Key_End:
      to.Line = (Event->modifiers() & Qt::ControlModifier) ? last : to.Line;
      to.Column = length(to.Line);
      break;
    default:
      return QAbstractScrollArea::keyPressEvent(Event);
  }
  const bool had = HasSelection();
  FCursor = to;
  EnsureVisible(to);
  SelectionChanged(had);
}
