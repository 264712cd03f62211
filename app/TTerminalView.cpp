#include "app/TTerminalView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <algorithm>

#include "app/uMainLook.h"
#include "rtl/AnsiText.h"

namespace {

constexpr int FontPixels = 12;

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

TTerminalView::TTerminalView(QWidget* Parent) : TLineView(Parent) {
  setFont(ConsoleFont(FontPixels));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  FHexAction = new QAction("&Hex", this);
  FHexAction->setObjectName("actTerminalHex");
  FHexAction->setCheckable(true);
  FHexAction->setShortcut(QKeySequence("Ctrl+Shift+H"));
  FHexAction->setShortcutContext(Qt::WidgetShortcut);
  addAction(FHexAction);
  connect(FHexAction, &QAction::toggled, this, &TTerminalView::SetHex);
  SetSource(&FLines);
}

void TTerminalView::TerminalWrite(const std::string& Text) {
  if (Text.empty() && FWalk.TerminalBuffer().empty()) return;
  FBytes.Append(Text, false);
  Draw(Text);
  if (FHex) LinesChanged();
}

void TTerminalView::ShowSent(const std::string& Bytes, bool Echo) {
  FBytes.Append(Bytes, true);
  if (Echo) Draw(Bytes);
  if (FHex) LinesChanged();
}

void TTerminalView::Draw(const std::string& Text) {
  std::vector<TTerminalOp> ops = FWalk.Write(Text);
  KeepLastLines(ops, MaxLines);
  FStamps.Apply(ops, FLineStamps ? LineStamp(std::chrono::system_clock::now()) : std::string());
  const bool restarted = std::any_of(
      ops.begin(), ops.end(), [](const TTerminalOp& Op) { return Op.Kind == TTerminalOp::Clear; });
  FLines.Apply(ops);
  TextChanged(restarted);
}

void TTerminalView::TextChanged(bool Restarted) {
  if (!FHex) LinesChanged(Restarted);
}

void TTerminalView::ShowNotice(const std::string& Line) {
  if (!FLines.Text(FLines.Count() - 1).empty()) FLines.BreakLine();
  FLines.Append(Line);
  FLines.BreakLine();
  FStamps.LineStarts();
  TextChanged(false);
}

void TTerminalView::ResetTerminal() {
  FWalk.Reset();
  FStamps.LineStarts();
  FLines.Clear();
  FBytes.Clear();
  LinesChanged(true);
}

void TTerminalView::clear() {
  FLines.Clear();
  FStamps.LineStarts();
  TextChanged(true);
}

void TTerminalView::SetHex(bool On) {
  if (On == FHex) return;
  FHex = On;
  FHexAction->setChecked(On);
  setAccessibleDescription(On ? "The bytes received and sent, in hex" : QString());
  SetSource(On ? static_cast<const TLineSource*>(&FHexRows) : &FLines);
}

void TTerminalView::CopyAll() {
  selectAll();
  copy();
}

void TTerminalView::CopyText() {
  QGuiApplication::clipboard()->setText(FromDevice(TerminalText()));
}

bool TTerminalView::event(QEvent* Event) {
  // Accepting the override keeps the key from the window's shortcuts (Find, Reconnect).
  if (Event->type() == QEvent::ShortcutOverride && FDeviceListens &&
      ControlByte(static_cast<QKeyEvent*>(Event)) != 0) {
    Event->accept();
    return true;
  }
  return TLineView::event(Event);
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
  TLineView::keyPressEvent(Event);  // navigation and selection; the text is never edited
}
