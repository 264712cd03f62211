#include "app/TLineViewAccessible.h"

#include <QAccessible>
#include <QScrollBar>
#include <algorithm>

#include "app/TLineView.h"

namespace {

QAccessibleInterface* LineViewFactory(const QString&, QObject* Object) {
  auto* view = qobject_cast<TLineView*>(Object);
  return view ? new TLineViewAccessible(view) : nullptr;
}

QAccessible::Role RoleOf(TLineView* View) {
  return View->inherits("TTerminalView") ? QAccessible::Terminal : QAccessible::EditableText;
}

TLineViewAccessible* InterfaceOf(TLineView* View) {
  if (!QAccessible::isActive()) return nullptr;
  return dynamic_cast<TLineViewAccessible*>(QAccessible::queryAccessibleInterface(View));
}

int CommonPrefix(const QString& A, const QString& B) {
  const auto n = std::min(A.size(), B.size());
  qsizetype i = 0;
  while (i < n && A[i] == B[i]) ++i;
  return static_cast<int>(i);
}

}  // namespace

void InstallLineViewAccessibility() {
  static const bool installed = (QAccessible::installFactory(LineViewFactory), true);
  (void)installed;
}

void LineViewLinesChanged(TLineView* View) {
  if (TLineViewAccessible* face = InterfaceOf(View)) face->LinesChanged();
}

void LineViewSelectionChanged(TLineView* View) {
  if (TLineViewAccessible* face = InterfaceOf(View)) face->SelectionChanged();
}

TLineViewAccessible::TLineViewAccessible(TLineView* View) : QAccessibleWidget(View, RoleOf(View)) {}

TLineViewAccessible::~TLineViewAccessible() = default;

TLineView* TLineViewAccessible::View() const {
  return static_cast<TLineView*>(widget());
}

void* TLineViewAccessible::interface_cast(QAccessible::InterfaceType Type) {
  if (Type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(Type);
}

QAccessible::State TLineViewAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  state.readOnly = true;
  state.multiLine = true;
  state.selectableText = true;
  state.focusable = true;
  return state;
}

QString TLineViewAccessible::text(QAccessible::Text Which) const {
  if (Which == QAccessible::Value) return Now().Text;
  return QAccessibleWidget::text(Which);
}

const TLineViewAccessible::TSnapshot& TLineViewAccessible::Now() const {
  const TLineView* view = View();
  const TLineSource* source = view->Source();
  const int64_t count = view->LineCount();
  const int64_t first = source ? source->FirstNumber() : 0;
  int64_t from = std::max<int64_t>(
      {std::min(view->TopNumber() - first, count - TailLines), count - ReachLines, 0});
  if (FNow.Changes == view->Changes() && FNow.Reach == first + from) return FNow;
  FNow = {};
  FNow.Changes = view->Changes();
  FNow.Reach = first + from;
  TLine line;
  // Lines of great length (a device that never ends one) count against TailChars instead.
  int64_t chars = 0;
  for (int64_t i = count - 1; i > from; --i) {
    source->GetLine(i, line);
    chars += static_cast<int64_t>(line.Text.size()) + 1;
    if (chars > TailChars) {
      from = i;
      break;
    }
  }
  FNow.First = first + from;
  for (int64_t i = from; i < count; ++i) {
    source->GetLine(i, line);
    if (i > from) FNow.Text += QLatin1Char('\n');
    FNow.Starts.push_back(static_cast<int>(FNow.Text.size()));
    FNow.Text += FromDevice(line.Text);
  }
  return FNow;
}

// Each byte of the device's code page is one UTF-16 unit, so a column is a character offset.
int TLineViewAccessible::OffsetOf(TTextPos Pos) const {
  const TSnapshot& now = Now();
  if (now.Starts.empty() || Pos.Line < now.First) return 0;
  const auto index = static_cast<size_t>(Pos.Line - now.First);
  if (index >= now.Starts.size()) return static_cast<int>(now.Text.size());
  const int end =
      index + 1 < now.Starts.size() ? now.Starts[index + 1] - 1 : static_cast<int>(now.Text.size());
  return static_cast<int>(std::min<int64_t>(now.Starts[index] + Pos.Column, end));
}

TTextPos TLineViewAccessible::PosOf(int Offset) const {
  const TSnapshot& now = Now();
  if (now.Starts.empty()) return {};
  const int at = std::clamp(Offset, 0, static_cast<int>(now.Text.size()));
  const auto line = std::upper_bound(now.Starts.begin(), now.Starts.end(), at) - 1;
  return {now.First + (line - now.Starts.begin()), at - *line};
}

void TLineViewAccessible::selection(int SelectionIndex, int* StartOffset, int* EndOffset) const {
  *StartOffset = *EndOffset = 0;
  if (SelectionIndex != 0 || !View()->HasSelection()) return;
  *StartOffset = OffsetOf(View()->SelectionStart());
  *EndOffset = OffsetOf(View()->SelectionEnd());
}

int TLineViewAccessible::selectionCount() const {
  return View()->HasSelection() ? 1 : 0;
}

void TLineViewAccessible::addSelection(int StartOffset, int EndOffset) {
  setSelection(0, StartOffset, EndOffset);
}

void TLineViewAccessible::removeSelection(int SelectionIndex) {
  if (SelectionIndex == 0) View()->ClearSelection();
}

void TLineViewAccessible::setSelection(int SelectionIndex, int StartOffset, int EndOffset) {
  if (SelectionIndex == 0) View()->Select(PosOf(StartOffset), PosOf(EndOffset));
}

int TLineViewAccessible::cursorPosition() const {
  return OffsetOf(View()->Cursor());
}

void TLineViewAccessible::setCursorPosition(int Position) {
  const TTextPos at = PosOf(Position);
  View()->Select(at, at);
}

QString TLineViewAccessible::text(int StartOffset, int EndOffset) const {
  const QString& text = Now().Text;
  if (EndOffset < 0 || EndOffset > text.size()) EndOffset = static_cast<int>(text.size());
  StartOffset = std::clamp(StartOffset, 0, EndOffset);
  return text.mid(StartOffset, EndOffset - StartOffset);
}

int TLineViewAccessible::characterCount() const {
  return static_cast<int>(Now().Text.size());
}

QRect TLineViewAccessible::characterRect(int Offset) const {
  QRect rect = View()->RectAt(PosOf(Offset));
  rect.setWidth(std::max(View()->fontMetrics().averageCharWidth(), 1));
  return QRect(View()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int TLineViewAccessible::offsetAtPoint(const QPoint& Point) const {
  const QPoint at = View()->viewport()->mapFromGlobal(Point);
  if (!View()->viewport()->rect().contains(at)) return -1;
  return OffsetOf(View()->PosAt(at));
}

void TLineViewAccessible::scrollToSubstring(int StartIndex, int EndIndex) {
  View()->Select(PosOf(EndIndex), PosOf(StartIndex));
}

QString TLineViewAccessible::attributes(int Offset, int* StartOffset, int* EndOffset) const {
  *StartOffset = *EndOffset = Offset;
  return {};
}

void TLineViewAccessible::LinesChanged() {
  if (!FNoticeTimer) {
    FNoticeTimer = std::make_unique<QTimer>();
    FNoticeTimer->setSingleShot(true);
    FNoticeTimer->setInterval(NoticeMs);
    QObject::connect(FNoticeTimer.get(), &QTimer::timeout, View(), [this] { SendNotices(); });
  }
  if (!FNoticeTimer->isActive()) FNoticeTimer->start();
}

// What went since the last notice: lines gone from the front, the old tail that no longer
// holds (a backspace, a clear), then what came.
void TLineViewAccessible::SendNotices() {
  const TSnapshot now = Now();
  const int64_t gone = now.First - FTold.First;
  int head = static_cast<int>(FTold.Text.size());
  if (gone == 0) head = 0;
  if (gone > 0 && gone < static_cast<int64_t>(FTold.Starts.size()))
    head = FTold.Starts[static_cast<size_t>(gone)];
  const QString kept = FTold.Text.mid(head);
  const int same = CommonPrefix(kept, now.Text);
  if (head > 0) {
    QAccessibleTextRemoveEvent removed(View(), 0, FTold.Text.left(head));
    QAccessible::updateAccessibility(&removed);
  }
  if (same < kept.size()) {
    QAccessibleTextRemoveEvent removed(View(), same, kept.mid(same));
    QAccessible::updateAccessibility(&removed);
  }
  if (same < now.Text.size()) {
    QAccessibleTextInsertEvent inserted(View(), same, now.Text.mid(same));
    QAccessible::updateAccessibility(&inserted);
  }
  FTold = now;
}

void TLineViewAccessible::SelectionChanged() {
  int start = 0, end = 0;
  selection(0, &start, &end);
  QAccessibleTextSelectionEvent selected(View(), start, end);
  selected.setCursorPosition(cursorPosition());
  QAccessible::updateAccessibility(&selected);
}
