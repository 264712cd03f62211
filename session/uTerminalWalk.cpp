#include "session/uTerminalWalk.h"

#include <algorithm>
#include <iterator>

namespace {

struct TAttributeRow {
  const char* Text;
  TTextColor Color;
  TTextStyle Style;
};

// The first matching row wins; "[36;1" is blue and "[0;1" is green, as the device expects.
constexpr TAttributeRow AttributeTable[] = {
    {"[41;33;1", clRed, TTextStyle::Bold},      {"[0;1", clGreen, TTextStyle::Normal},
    {"[36;1", clBlue, TTextStyle::Normal},      {"[0", clWindowText, TTextStyle::Normal},
    {"[0;31;41", clWindow, TTextStyle::Normal}, {"[34;1", clBlue, TTextStyle::Bold},
    {"[31", clRed, TTextStyle::Normal},
};

bool IsLetter(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

}  // namespace

bool LookUpTextAttributes(const std::string& Text, TTextColor& Color, TTextStyle& Style) {
  for (const TAttributeRow& row : AttributeTable) {
    if (Text == row.Text) {
      Color = row.Color;
      Style = row.Style;
      return true;
    }
  }
  return false;
}

TTerminalWalk::TTerminalWalk() = default;

void TTerminalWalk::AppendCharacter(std::vector<TTerminalOp>& Ops, char C) {
  if (FColumn >= MaxLineLength) {
    Ops.push_back({TTerminalOp::LineBreak, {}, FTextColor, FTextStyle});
    FColumn = 0;
  }
  ++FColumn;
  if (!Ops.empty()) {
    TTerminalOp& last = Ops.back();
    if (last.Kind == TTerminalOp::Text && last.Color == FTextColor && last.Style == FTextStyle) {
      last.Run += C;
      return;
    }
  }
  Ops.push_back({TTerminalOp::Text, std::string(1, C), FTextColor, FTextStyle});
}

// A backspace right after something this chunk drew takes it back instead of asking the widget.
// Taking back a line break leaves the column unknown; 0 keeps the joined line bounded.
void TTerminalWalk::TakeBackCharacter(std::vector<TTerminalOp>& Ops) {
  if (FColumn > 0) --FColumn;
  if (!Ops.empty()) {
    TTerminalOp& last = Ops.back();
    switch (last.Kind) {
      case TTerminalOp::Text:
        last.Run.pop_back();
        if (last.Run.empty()) Ops.pop_back();
        return;
      case TTerminalOp::LineBreak:
        Ops.pop_back();
        return;
      case TTerminalOp::Clear:
        return;  // the terminal is empty
      case TTerminalOp::Backspace:
        break;
    }
  }
  Ops.push_back({TTerminalOp::Backspace, {}, clWindowText, TTextStyle::Normal});
}

std::vector<TTerminalOp> TTerminalWalk::Write(const std::string& Text) {
  FTerminalBuffer += Text;
  std::vector<TTerminalOp> ops;
  const std::string& buffer = FTerminalBuffer;
  size_t i = 0;
  while (i < buffer.size()) {
    const char c = buffer[i];
    if (c == '\x1b') {
      const size_t next = WalkEscape(buffer, i, ops);
      if (next == std::string::npos) {
        FTerminalBuffer.erase(0, i);
        return ops;
      }
      i = next;
      continue;
    }
    if (c == '\b') {
      TakeBackCharacter(ops);
    } else if (c == '\r') {
      ops.push_back({TTerminalOp::LineBreak, {}, FTextColor, FTextStyle});
      FColumn = 0;
    } else if (c != '\0' && c != '\n') {
      AppendCharacter(ops, c);
    }
    ++i;
  }
  FTerminalBuffer.clear();
  return ops;
}

// Applies the escape sequence starting at Esc and returns the index after its letter, or npos
// when the letter has not arrived yet. A sequence without its letter in its first
// MaxEscapeLength bytes is noise: the index after those bytes.
size_t TTerminalWalk::WalkEscape(const std::string& Buffer, size_t Esc,
                                 std::vector<TTerminalOp>& Ops) {
  const size_t limit = std::min(Buffer.size(), Esc + MaxEscapeLength);
  const auto begin = Buffer.begin();
  const auto letter = std::find_if(begin + static_cast<std::ptrdiff_t>(Esc + 1),
                                   begin + static_cast<std::ptrdiff_t>(limit), IsLetter);
  if (letter == begin + static_cast<std::ptrdiff_t>(limit))
    return limit == Esc + MaxEscapeLength ? limit : std::string::npos;
  const auto j = static_cast<size_t>(std::distance(begin, letter));
  if (*letter == 'J') {
    // Only the erase-display request "[2J" (and "[..2J") clears; "[J" and "[1J" do nothing.
    if (Buffer[j - 1] == '2' && Buffer[Esc + 1] == '[') {
      Ops.clear();
      Ops.push_back({TTerminalOp::Clear, {}, FTextColor, FTextStyle});
      FColumn = 0;
    }
  } else if (*letter == 'm') {
    LookUpTextAttributes(Buffer.substr(Esc + 1, j - Esc - 1), FTextColor, FTextStyle);
  }
  return j + 1;
}

void TTerminalWalk::Reset() {
  FTerminalBuffer.clear();
  FColumn = 0;
  FTextColor = clWindowText;
  FTextStyle = TTextStyle::Normal;
}

void KeepLastLines(std::vector<TTerminalOp>& Ops, int32_t Lines) {
  int32_t breaks = 0;
  for (auto op = Ops.end(); op != Ops.begin();) {
    if ((--op)->Kind != TTerminalOp::LineBreak || ++breaks < std::max(Lines, 1)) continue;
    const TTerminalOp clear{TTerminalOp::Clear, {}, op->Color, op->Style};
    *op = clear;
    Ops.erase(Ops.begin(), op);
    return;
  }
}
