// What a terminal shows after the walk's steps, character by character with colour and style:
// the reference the walk's tests and fuzz target compare against. Line breaks are '\n'.
#pragma once

#include <string>
#include <vector>

#include "session/uTerminalWalk.h"

struct TScreenCell {
  char C;
  TTextColor Color;
  TTextStyle Style;
  bool operator==(const TScreenCell&) const = default;
};

class TTerminalScreen {
 public:
  void Apply(const std::vector<TTerminalOp>& Ops) {
    for (const TTerminalOp& op : Ops) {
      switch (op.Kind) {
        case TTerminalOp::Text:
          for (char c : op.Run) Cells.push_back({c, op.Color, op.Style});
          break;
        case TTerminalOp::LineBreak:
          Cells.push_back({'\n', op.Color, op.Style});
          break;
        case TTerminalOp::Backspace:
          if (!Cells.empty()) Cells.pop_back();
          break;
        case TTerminalOp::Clear:
          Cells.clear();
          break;
      }
    }
  }

  std::string Text() const {
    std::string text;
    for (const TScreenCell& cell : Cells) text += cell.C;
    return text;
  }

  std::vector<TScreenCell> Cells;
};
