// The advanced view's colour terminal: draws the device's free text through the ANSI walk and
// emits the bytes the user types, never inserting them itself. The main window feeds it and
// sends KeyTyped bytes to the device; as in any terminal, Ctrl+letter is a control byte for
// the device and the terminal's own commands sit on Ctrl+Shift. Beside the text it keeps the
// bytes themselves, received and sent, which its hex view shows (Ctrl+Shift+H); both are kept
// up to date whichever is shown.
#pragma once

#include <string>

#include "app/TLineView.h"
#include "session/uByteHistory.h"
#include "session/uLineStamps.h"
#include "session/uLineStore.h"
#include "session/uTerminalWalk.h"

class QAction;

class TTerminalView : public TLineView {
  Q_OBJECT

 public:
  // The terminal keeps its last this many lines.
  static constexpr int MaxLines = 200;
  // The hex view keeps the last this many bytes.
  static constexpr int64_t HexBytes = 4 << 20;

  explicit TTerminalView(QWidget* Parent = nullptr);

  // Draws Text (8-bit device bytes, Latin-1 on screen) at the end through the walk; only what
  // is left of the last MaxLines lines is drawn. An unfinished escape sequence is held for the
  // next call. The hex view gets Text as it is. Any bytes are accepted; empty text with
  // nothing held does nothing.
  void TerminalWrite(const std::string& Text);
  // Bytes the user sent to the device: marked as sent in the hex view and, with Echo, drawn as
  // TerminalWrite draws (without counting them as received).
  void ShowSent(const std::string& Bytes, bool Echo);

  // One line of the program's own (Latin-1) on a line of its own at the end, in window text;
  // the walk's colour, style and held tail stay as they are. Not a byte of the hex view.
  void ShowNotice(const std::string& Line);

  // Forgets any held escape tail, returns to window text and normal style, and empties the
  // terminal and its hex view.
  void ResetTerminal();
  // Empties the terminal's text; colour, style, the held tail and the hex view stay.
  void clear();

  // With On, every line begun from now on starts with the local time its first byte was drawn.
  void SetLineStamps(bool On) { FLineStamps = On; }
  bool LineStamps() const { return FLineStamps; }

  // Shows the bytes in hex (On) or the text; nothing of either is lost by switching.
  void SetHex(bool On);
  bool Hex() const { return FHex; }
  // The checkable "Hex" toggle, on Ctrl+Shift+H while the terminal has the focus.
  QAction* HexAction() const { return FHexAction; }

  // Selects all that the terminal shows (text or hex) and copies it to the clipboard.
  void CopyAll();
  // The terminal's text to the clipboard, whichever view is shown.
  void CopyText();

  // While a device listens, every Ctrl+letter typed here is its control byte (Ctrl+F 0x06,
  // Ctrl+C 0x03) and no shortcut of the window takes it; otherwise such a shortcut (Reconnect)
  // goes first.
  void SetDeviceListens(bool Listens) { FDeviceListens = Listens; }

  // The terminal's text as 8-bit bytes, lines joined by "\n", whichever view is shown.
  std::string TerminalText() const { return FLines.AllText(); }
  const TLineStore& Lines() const { return FLines; }
  const TByteHistory& Bytes() const { return FBytes; }

  // The walk's state: held escape tail, current colour and style.
  const TTerminalWalk& Walk() const { return FWalk; }

 signals:
  // One byte the user typed (Latin-1), for the device.
  void KeyTyped(char Key);

 protected:
  bool event(QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  TTerminalWalk FWalk;
  TLineStamps FStamps;
  TLineStore FLines{MaxLines};
  TByteHistory FBytes{HexBytes};
  THexRows FHexRows{FBytes};
  bool FLineStamps = false;
  bool FDeviceListens = false;
  bool FHex = false;
  QAction* FHexAction = nullptr;

  void Draw(const std::string& Text);
  void TextChanged(bool Restarted);
};
