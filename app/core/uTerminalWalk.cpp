#include "app/core/uTerminalWalk.h"

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

void AppendCharacter(std::vector<TTerminalOp>& Ops, char C, TTextColor Color, TTextStyle Style) {
  if (!Ops.empty()) {
    TTerminalOp& last = Ops.back();
    if (last.Kind == TTerminalOp::Text && last.Color == Color && last.Style == Style) {
      last.Run += C;
      return;
    }
  }
  Ops.push_back({TTerminalOp::Text, std::string(1, C), Color, Style});
}

// A backspace right after something this chunk drew takes it back instead of asking the widget.
void TakeBackCharacter(std::vector<TTerminalOp>& Ops) {
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
        FSearched = buffer.size() - i;
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
    } else if (c != '\0' && c != '\n') {
      AppendCharacter(ops, c, FTextColor, FTextStyle);
    }
    ++i;
  }
  FTerminalBuffer.clear();
  FSearched = 0;
  return ops;
}

// Applies the escape sequence starting at Esc and returns the index after its letter, or npos
// when the letter has not arrived yet.
size_t TTerminalWalk::WalkEscape(const std::string& Buffer, size_t Esc,
                                 std::vector<TTerminalOp>& Ops) {
  size_t from = Esc + 1;
  if (Esc == 0) from = std::max(from, FSearched);
  const auto letter =
      std::find_if(Buffer.begin() + static_cast<std::ptrdiff_t>(from), Buffer.end(), IsLetter);
  if (letter == Buffer.end()) return std::string::npos;
  const auto j = static_cast<size_t>(std::distance(Buffer.begin(), letter));
  FSearched = 0;
  if (*letter == 'J') {
    // Only the erase-display request "[2J" (and "[..2J") clears; "[J" and "[1J" do nothing.
    if (Buffer[j - 1] == '2' && Buffer[Esc + 1] == '[') {
      Ops.clear();
      Ops.push_back({TTerminalOp::Clear, {}, FTextColor, FTextStyle});
    }
  } else if (*letter == 'm') {
    LookUpTextAttributes(Buffer.substr(Esc + 1, j - Esc - 1), FTextColor, FTextStyle);
  }
  return j + 1;
}

void TTerminalWalk::Reset() {
  FTerminalBuffer.clear();
  FSearched = 0;
  FTextColor = clWindowText;
  FTextStyle = TTextStyle::Normal;
}
