// Time stamps at the start of the terminal's lines: the drawing steps of the terminal walk get
// a stamp before the first step of every line, in window text. The terminal view uses it when
// the user turns stamps on; it follows the line starts also while they are off. Qt-free.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "session/uTerminalWalk.h"

// "hh:mm:ss.zzz " in local time, with the user's time separator.
std::string LineStamp(std::chrono::system_clock::time_point At);

class TLineStamps {
 public:
  // Puts a Text step holding Stamp before every Text or LineBreak step that begins a line;
  // with an empty Stamp only follows where lines begin. A Backspace that would take back the
  // stamp (nothing of the line's own drawn yet) is dropped. A Clear starts a new line.
  void Apply(std::vector<TTerminalOp>& Ops, const std::string& Stamp);
  // The terminal is empty, or a line of its own was added: the next text begins a line.
  void LineStarts() { FAtLineStart = true, FLineChars = 0; }

 private:
  bool FAtLineStart = true;
  size_t FLineChars = 0;  // characters of the current line after its stamp
};
