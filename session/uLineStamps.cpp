#include "session/uLineStamps.h"

#include <cstdio>
#include <ctime>

#include "rtl/DateTime.h"

std::string LineStamp(std::chrono::system_clock::time_point At) {
  using namespace std::chrono;
  const std::time_t seconds = system_clock::to_time_t(At);
  std::tm local{};
  localtime_r(&seconds, &local);
  char millis[8];
  std::snprintf(
      millis, sizeof millis, ".%03d ",
      static_cast<int>(duration_cast<milliseconds>(At.time_since_epoch()).count() % 1000));
  return FormatDateTime("hh:mm:ss", local) + millis;
}

void TLineStamps::Apply(std::vector<TTerminalOp>& Ops, const std::string& Stamp) {
  std::vector<TTerminalOp> out;
  out.reserve(Ops.size() + 4);
  for (TTerminalOp& op : Ops) {
    switch (op.Kind) {
      case TTerminalOp::Text:
      case TTerminalOp::LineBreak:
        if (FAtLineStart && !Stamp.empty())
          out.push_back({TTerminalOp::Text, Stamp, clWindowText, TTextStyle::Normal});
        FAtLineStart = op.Kind == TTerminalOp::LineBreak;
        FLineChars = FAtLineStart ? 0 : FLineChars + op.Run.size();
        break;
      case TTerminalOp::Backspace:
        if (FLineChars == 0 && !Stamp.empty()) continue;
        if (FLineChars > 0) --FLineChars;
        break;
      case TTerminalOp::Clear:
        LineStarts();
        break;
    }
    out.push_back(std::move(op));
  }
  Ops = std::move(out);
}
