// The advanced view's colour terminal: draws the device's free text through the ANSI walk and
// emits the bytes the user types, never inserting them itself. The main window feeds it and
// sends KeyTyped bytes to the device; as in any terminal, Ctrl+letter is a control byte for
// the device and the terminal's own commands sit on Ctrl+Shift. Also the shared append
// routine of the two memos.
#pragma once

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <string>

#include "session/uLineStamps.h"
#include "session/uTerminalWalk.h"

class TTerminalView : public QPlainTextEdit {
  Q_OBJECT

 public:
  // The terminal keeps about this many lines: older ones go before each chunk is drawn.
  static constexpr int MaxLines = 200;

  explicit TTerminalView(QWidget* Parent = nullptr);

  // Draws Text (8-bit device bytes, Latin-1 on screen) at the end with screen updates
  // suspended, after trimming the terminal to MaxLines. Every byte goes through the walk, but
  // only what is left of the last MaxLines lines is drawn. An unfinished escape sequence is
  // held for the next call. Any bytes are accepted; empty text with nothing held does nothing.
  void TerminalWrite(const std::string& Text);

  // One line of the program's own (Latin-1) on a line of its own at the end, in window text;
  // the walk's colour, style and held tail stay as they are.
  void ShowNotice(const std::string& Line);

  // Forgets any held escape tail, returns to window text and normal style, and empties the
  // terminal. (clear() empties it and keeps colour, style and the held tail.)
  void ResetTerminal();

  // With On, every line begun from now on starts with the local time its first byte was drawn.
  void SetLineStamps(bool On) { FLineStamps = On; }
  bool LineStamps() const { return FLineStamps; }

  // Selects all of the terminal's text and copies it to the clipboard.
  void CopyAll();

  // While a device listens, every Ctrl+letter typed here is its control byte (Ctrl+F 0x06,
  // Ctrl+C 0x03) and no shortcut of the window takes it; otherwise such a shortcut (Reconnect)
  // goes first.
  void SetDeviceListens(bool Listens) { FDeviceListens = Listens; }

  // The terminal's text as 8-bit bytes, lines joined by "\n"; characters outside Latin-1
  // cannot occur here.
  std::string TerminalText() const;

  // The walk's state: held escape tail, current colour and style.
  const TTerminalWalk& Walk() const { return FWalk; }

  // The on-screen colour for a terminal colour value; system colours come from the palette.
  QColor ScreenColor(TTextColor Color) const;

 signals:
  // One byte the user typed (Latin-1), for the device.
  void KeyTyped(char Key);

 protected:
  bool event(QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  TTerminalWalk FWalk;
  TLineStamps FStamps;
  bool FLineStamps = false;
  bool FDeviceListens = false;

  void TrimLines();
  void ApplyOps(const std::vector<TTerminalOp>& Ops);
  QTextCharFormat TextFormat(TTextColor Color, TTextStyle Style) const;
};

// Appends Text (8-bit device bytes, Latin-1 on screen) to the end of Memo with its updates
// suspended and puts the end in view; the memo then keeps its last MemoLines lines, and text
// that would not be among them is never drawn. A CR LF split between two calls still gives
// one line break. A null Memo or empty Text does nothing.
void AppendToMemo(QPlainTextEdit* Memo, const std::string& Text);

// Line (Latin-1) on a line of its own at the end of Memo, as AppendToMemo appends.
void AppendLineToMemo(QPlainTextEdit* Memo, const std::string& Line);
