// Hostile terminal text: however the bytes are split into chunks, the terminal shows the same
// characters in the same colours and styles, ends in the same state, holds back nothing but an
// unfinished escape sequence, and draws coalesced runs free of control bytes it acts on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TerminalScreen.h"
#include "session/uTerminalWalk.h"

namespace {

bool IsLetter(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

void CheckOps(const std::vector<TTerminalOp>& Ops) {
  for (size_t i = 0; i < Ops.size(); ++i) {
    const TTerminalOp& op = Ops[i];
    if (op.Kind != TTerminalOp::Text) continue;
    if (op.Run.empty() || op.Run.find_first_of(std::string("\0\n\r\b\x1b", 5)) != std::string::npos)
      std::abort();
    if (i > 0 && Ops[i - 1].Kind == TTerminalOp::Text && Ops[i - 1].Color == op.Color &&
        Ops[i - 1].Style == op.Style)
      std::abort();
  }
}

void CheckTail(const std::string& Tail) {
  if (Tail.empty()) return;
  if (Tail[0] != '\x1b') std::abort();
  for (size_t i = 1; i < Tail.size(); ++i)
    if (IsLetter(Tail[i])) std::abort();
}

}  // namespace

// The first byte chooses the chunk size (1 to 16); the rest is the device's text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const size_t step = Data[0] % 16 + 1;
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);

  TTerminalWalk whole;
  TTerminalScreen expected;
  const std::vector<TTerminalOp> ops = whole.Write(text);
  CheckOps(ops);
  expected.Apply(ops);
  CheckTail(whole.TerminalBuffer());

  TTerminalWalk split;
  TTerminalScreen screen;
  for (size_t at = 0; at < text.size(); at += step) {
    const std::vector<TTerminalOp> part = split.Write(text.substr(at, step));
    CheckOps(part);
    screen.Apply(part);
    CheckTail(split.TerminalBuffer());
  }
  if (screen.Cells != expected.Cells || split.TerminalBuffer() != whole.TerminalBuffer() ||
      split.TextColor() != whole.TextColor() || split.TextStyle() != whole.TextStyle())
    std::abort();
  return 0;
}
