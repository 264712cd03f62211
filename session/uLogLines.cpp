#include "session/uLogLines.h"

#include <ctime>

std::string LogStamp(TLogTime At) {
  using namespace std::chrono;
  const std::time_t seconds = system_clock::to_time_t(At);
  const auto millis = duration_cast<milliseconds>(At.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  char withMillis[48];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text,
                static_cast<int>(millis < 0 ? millis + 1000 : millis));
  return withMillis;
}

std::string EscapeLogText(std::string_view Bytes) {
  static constexpr char Hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(Bytes.size());
  for (const char c : Bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += Hex[byte >> 4];
      out += Hex[byte & 15];
    }
  }
  return out;
}

TLogLines::TOpenLine& TLogLines::Line(TLogDirection Direction) {
  return Direction == TLogDirection::Received ? FReceived : FSent;
}

std::string TLogLines::Add(TLogDirection Direction, std::string_view Bytes, TLogTime At,
                           bool Masked) {
  std::string out;
  TOpenLine& line = Line(Direction);
  for (const char c : Bytes) {
    const bool afterCr = line.AfterCr;
    const bool cut = line.Cut;
    line.AfterCr = line.Cut = false;
    const bool lineEnd = c == '\r' || c == '\n';
    if (lineEnd && ((c == '\n' && afterCr) || (cut && !line.Open))) {
      line.AfterCr = c == '\r';
      continue;
    }
    if (!lineEnd && line.Text.size() == MaxLineBytes) out += EndLine(Direction, true);
    if (!line.Open) {
      line.Open = true;
      line.First = At;
    }
    line.Masked = line.Masked || Masked;
    line.Last = At;
    if (!lineEnd) {
      line.Text += c;
      continue;
    }
    out += EndLine(Direction, false);
    line.Cut = false;
    line.AfterCr = c == '\r';
  }
  return out;
}

// A sent line is finished: a received line begun before it goes first.
std::string TLogLines::EndLine(TLogDirection Direction, bool Broken) {
  std::string out;
  if (Direction == TLogDirection::Sent && FReceived.Open && FReceived.First <= FSent.First)
    out += Write(TLogDirection::Received);
  return out + Write(Direction, Broken);
}

std::string TLogLines::Expire(TLogTime Now, std::chrono::milliseconds Wait) {
  if (!FReceived.Open || Now - FReceived.Last < Wait) return "";
  return Write(TLogDirection::Received);
}

std::string TLogLines::Finish() {
  std::string out;
  for (TLogDirection direction : {TLogDirection::Received, TLogDirection::Sent})
    if (Line(direction).Open) out += Write(direction);
  return out;
}

// The open line of Direction as one log line, as far as it came: a line end that follows at
// once belongs to it (not when the line was Broken at its length). The next byte starts a new
// line.
std::string TLogLines::Write(TLogDirection Direction, bool Broken) {
  TOpenLine& line = Line(Direction);
  std::string out = LogStamp(line.First) + (Direction == TLogDirection::Received ? " < " : " > ");
  out += line.Masked ? std::string(Mask) : EscapeLogText(line.Text);
  if (Broken) out += BrokenMark;
  out += '\n';
  line.Text.clear();
  line.Open = line.Masked = false;
  line.Cut = !Broken;
  return out;
}
