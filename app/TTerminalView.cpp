#include "app/TTerminalView.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>
#include <string_view>

#include "app/uMainLook.h"
#include "session/uViewLimits.h"

#include "rtl/AnsiText.h"

namespace {

constexpr int FontPixels = 12;
// Where AppendToMemo notes the document size after a text that ended in a lone CR.
constexpr const char* EndsInCrProperty = "tallyboxEndsInCr";

QString FromDevice(const std::string& Bytes) {
  return QString::fromStdU16String(AnsiToUtf16(Bytes));
}

// Screen updates stay off for one chunk, and come back on whatever happens in between.
class TUpdatesSuspended {
 public:
  explicit TUpdatesSuspended(QWidget* Widget) : FWidget(Widget), FWas(Widget->updatesEnabled()) {
    FWidget->setUpdatesEnabled(false);
  }
  ~TUpdatesSuspended() { FWidget->setUpdatesEnabled(FWas); }
  TUpdatesSuspended(const TUpdatesSuspended&) = delete;
  TUpdatesSuspended& operator=(const TUpdatesSuspended&) = delete;

 private:
  QWidget* FWidget;
  bool FWas;
};

}  // namespace

TTerminalView::TTerminalView(QWidget* Parent) : QPlainTextEdit(Parent) {
  setFont(ConsoleFont(FontPixels));
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  // Typed keys go to the device only; the text itself is never edited by the user.
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TTerminalView::TerminalWrite(const std::string& Text) {
  if (Text.empty() && FWalk.TerminalBuffer().empty()) return;
  const TUpdatesSuspended suspended(this);
  TrimLines();
  std::vector<TTerminalOp> ops = FWalk.Write(Text);
  KeepLastLines(ops, MaxLines);
  FStamps.Apply(ops, FLineStamps ? LineStamp(std::chrono::system_clock::now()) : std::string());
  ApplyOps(ops);
  moveCursor(QTextCursor::End);
}

void TTerminalView::ShowNotice(const std::string& Line) {
  const TUpdatesSuspended suspended(this);
  TrimLines();
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  const QString before = cursor.block().text().isEmpty() ? QString() : QStringLiteral("\n");
  cursor.insertText(before + FromDevice(Line) + QLatin1Char('\n'),
                    TextFormat(clWindowText, TTextStyle::Normal));
  moveCursor(QTextCursor::End);
  FStamps.LineStarts();
}

void TTerminalView::TrimLines() {
  const int excess = document()->blockCount() - MaxLines;
  if (excess <= 0) return;
  QTextCursor cursor(document());
  cursor.setPosition(document()->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void TTerminalView::ApplyOps(const std::vector<TTerminalOp>& Ops) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  // Runs and line breaks in one colour and style go in with one insertion.
  QString pending;
  TTextColor pendingColor = clWindowText;
  TTextStyle pendingStyle = TTextStyle::Normal;
  const auto flush = [&] {
    if (pending.isEmpty()) return;
    cursor.insertText(pending, TextFormat(pendingColor, pendingStyle));
    pending.clear();
  };
  for (const TTerminalOp& op : Ops) {
    switch (op.Kind) {
      case TTerminalOp::Text:
        if (op.Color != pendingColor || op.Style != pendingStyle) flush();
        pendingColor = op.Color;
        pendingStyle = op.Style;
        pending += FromDevice(op.Run);
        break;
      case TTerminalOp::LineBreak:  // its colour shows nowhere, so it joins the pending run
        if (pending.isEmpty()) {
          pendingColor = op.Color;
          pendingStyle = op.Style;
        }
        pending += QLatin1Char('\n');
        break;
      case TTerminalOp::Backspace:
        flush();
        cursor.deletePreviousChar();
        break;
      case TTerminalOp::Clear:
        pending.clear();
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        break;
    }
  }
  flush();
  cursor.endEditBlock();
}

void TTerminalView::ResetTerminal() {
  FWalk.Reset();
  FStamps.LineStarts();
  clear();
}

void TTerminalView::CopyAll() {
  selectAll();
  copy();
}

std::string TTerminalView::TerminalText() const {
  // The raw text keeps no-break spaces, which the plain-text form turns into spaces.
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  std::string bytes;
  for (const QChar c : text)  // every character came from the device, so each has its byte
    if (const int byte = UnicodeToAnsi(c.unicode()); byte >= 0) bytes += char(byte);
  return bytes;
}

QColor TTerminalView::ScreenColor(TTextColor Color) const {
  if ((Color >> 24) == 0xFF) {
    return (Color & 0xFF) == (clWindow & 0xFF) ? palette().color(QPalette::Base)
                                               : palette().color(QPalette::Text);
  }
  return QColor(static_cast<int>(Color & 0xFF), static_cast<int>((Color >> 8) & 0xFF),
                static_cast<int>((Color >> 16) & 0xFF));
}

namespace {

// Ctrl+A to Ctrl+Z without Shift, Alt or Meta: the control byte 0x01 to 0x1A, whatever text
// the keyboard layout gives the key; 0 for any other key.
char ControlByte(const QKeyEvent* Event) {
  const Qt::KeyboardModifiers others =
      Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier | Qt::KeypadModifier;
  if (!(Event->modifiers() & Qt::ControlModifier) || (Event->modifiers() & others)) return 0;
  const int key = Event->key();
  return key >= Qt::Key_A && key <= Qt::Key_Z ? static_cast<char>(key - Qt::Key_A + 1) : 0;
}

}  // namespace

QTextCharFormat TTerminalView::TextFormat(TTextColor Color, TTextStyle Style) const {
  QTextCharFormat format;
  format.setForeground(ScreenColor(Color));
  format.setFontWeight(Style == TTextStyle::Bold ? QFont::Bold : QFont::Normal);
  return format;
}

bool TTerminalView::event(QEvent* Event) {
  // Accepting the override keeps the key from the window's shortcuts (Find, Reconnect).
  if (Event->type() == QEvent::ShortcutOverride && FDeviceListens &&
      ControlByte(static_cast<QKeyEvent*>(Event)) != 0) {
    Event->accept();
    return true;
  }
  return QPlainTextEdit::event(Event);
}

void TTerminalView::keyPressEvent(QKeyEvent* Event) {
  if (const char control = ControlByte(Event); control != 0) {
    emit KeyTyped(control);
    Event->accept();
    return;
  }
  const QString text = Event->text();
  bool typed = false;
  for (const QChar c : text) {
    const int byte = UnicodeToAnsi(c.unicode());
    if (byte < 0) continue;  // no byte for it in the device's code page
    emit KeyTyped(static_cast<char>(byte));
    typed = true;
  }
  if (typed) {
    Event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(Event);  // navigation and selection; read-only, so no typing
}

void AppendToMemo(QPlainTextEdit* Memo, const std::string& Text) {
  if (Memo == nullptr || Text.empty()) return;
  QTextDocument* document = Memo->document();
  // The memo turns a lone CR into a line break at once, so the LF of a CR LF that arrives in
  // the next text must not break the line again.
  const QVariant crAt = Memo->property(EndsInCrProperty);
  const bool joinsCr =
      Text[0] == '\n' && crAt.isValid() && crAt.toInt() == document->characterCount();
  const std::string_view rest = std::string_view(Text).substr(joinsCr ? 1 : 0);
  const QString text = FromDevice(rest.size() > 4096 ? KeepLastLines(std::string(rest), MemoLines)
                                                     : std::string(rest));
  const TUpdatesSuspended suspended(Memo);
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  if (const int excess = document->blockCount() - MemoLines; excess > 0) {
    QTextCursor oldest(document);
    oldest.setPosition(document->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
    oldest.removeSelectedText();
  }
  Memo->setProperty(EndsInCrProperty,
                    Text.back() == '\r' ? QVariant(document->characterCount()) : QVariant());
  Memo->moveCursor(QTextCursor::End);
  Memo->ensureCursorVisible();
}

void AppendLineToMemo(QPlainTextEdit* Memo, const std::string& Line) {
  if (Memo == nullptr) return;
  const bool lineStarted = !Memo->document()->lastBlock().text().isEmpty();
  AppendToMemo(Memo, (lineStarted ? "\r\n" : "") + Line + "\r\n");
}
