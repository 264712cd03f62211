// The device's free terminal text turned into drawing steps: a small subset of ANSI escape
// sequences sets colour and style, ESC "[2J" clears, BS erases, CR breaks the line. The
// terminal widget applies the steps; tests and the fuzzer read them directly. Qt-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 32-bit colour: red in the low byte, green in the second, blue in the third. A value with the
// top byte 0xFF names a system colour by its index in the low byte.
using TTextColor = uint32_t;
constexpr TTextColor clWindowText = 0xFF000008;  // the system's window-text colour
// The system's window background, which the terminal paints itself with: text in this colour
// is invisible but stays in the text.
constexpr TTextColor clWindow = 0xFF000005;
constexpr TTextColor clRed = 0x000000FF;
constexpr TTextColor clGreen = 0x00008000;
constexpr TTextColor clBlue = 0x00FF0000;

enum class TTextStyle : uint8_t { Normal, Bold };

struct TTerminalOp {
  enum TKind : uint8_t {
    Text,       // append Run at the end in Color and Style
    LineBreak,  // append a line break at the end (Color and Style as for Text)
    Backspace,  // remove the last character of the terminal; nothing on an empty terminal
    Clear,      // empty the terminal; colour and style stay
  };
  TKind Kind = Text;
  std::string Run;  // Text only: one or more bytes, never CR, LF, NUL, BS or ESC
  TTextColor Color = clWindowText;
  TTextStyle Style = TTextStyle::Normal;

  bool operator==(const TTerminalOp&) const = default;
};

// The colour and style an escape sequence ending in "m" sets. Text is what lies between the ESC
// and the "m" ("[34;1"); the match is exact, byte for byte. False for any other text.
bool LookUpTextAttributes(const std::string& Text, TTextColor& Color, TTextStyle& Style);

// The renderer's state between chunks: the tail of an unfinished escape sequence, the colour and
// the style for the next characters, and how long the current line is.
class TTerminalWalk {
 public:
  // A line this long is broken before its next character, so no line grows without end.
  static constexpr size_t MaxLineLength = 4096;
  // An escape sequence whose letter has not come within this many bytes from its ESC on is
  // line noise: those bytes are dropped and the walk goes on after them.
  static constexpr size_t MaxEscapeLength = 64;

  TTerminalWalk();

  // Walks the held tail followed by Text and returns the steps that draw it. Consecutive
  // characters with the same colour and style come as one Text run; a clear drops the steps
  // before it, a backspace right after drawn text takes that text's last character back. An
  // escape sequence whose letter has not arrived yet is held, from its ESC on, for the next call
  // (never more than MaxEscapeLength bytes). Any byte sequence is accepted.
  std::vector<TTerminalOp> Write(const std::string& Text);

  // Forgets the held tail and returns to window text, normal style.
  void Reset();

  const std::string& TerminalBuffer() const { return FTerminalBuffer; }
  TTextColor TextColor() const { return FTextColor; }
  TTextStyle TextStyle() const { return FTextStyle; }

 private:
  std::string FTerminalBuffer;
  TTextColor FTextColor = clWindowText;
  TTextStyle FTextStyle = TTextStyle::Normal;
  size_t FColumn = 0;  // characters on the current line so far, as far as the walk knows

  size_t WalkEscape(const std::string& Buffer, size_t Esc, std::vector<TTerminalOp>& Ops);
  void AppendCharacter(std::vector<TTerminalOp>& Ops, char C);
  void TakeBackCharacter(std::vector<TTerminalOp>& Ops);
};

// Drops the steps whose text a terminal keeping its last Lines lines would scroll away before
// anyone saw it: with Lines or more line breaks in Ops, everything up to the Lines-th last
// break is replaced by one Clear, so the kept steps alone fill the terminal. Fewer line
// breaks leave Ops as they are. Lines below 1 counts as 1.
void KeepLastLines(std::vector<TTerminalOp>& Ops, int32_t Lines);
