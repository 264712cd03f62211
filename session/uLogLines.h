// The lines of a session log, without the file: bytes from and to the device become text lines
// a person can read later, each stamped with the arrival time of its first byte and its
// direction. TSessionLog writes them; its tests and the cli read the same format back.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

using TLogTime = std::chrono::system_clock::time_point;

enum class TLogDirection : uint8_t { Received, Sent };

// "yyyy-mm-dd hh:mm:ss.zzz", local time, whatever the user's locale.
std::string LogStamp(TLogTime At);

// Printable ASCII as it is; every other byte (controls, DEL, bytes above 127) and the
// backslash itself as \xHH (lower-case hex), so an escape sequence reads \x1b[0m and the text
// can be turned back into the bytes.
std::string EscapeLogText(std::string_view Bytes);

class TLogLines {
 public:
  // What a masked line shows instead of what was typed: the length is not told either.
  static constexpr std::string_view Mask = "********";
  // A line is broken after this many bytes (the terminal's own limit), so a device that sends
  // no line end cannot grow one without bound; the part written ends in BrokenMark. "\ " never
  // comes from escaped text, so the bytes can still be recovered.
  static constexpr size_t MaxLineBytes = 4096;
  static constexpr std::string_view BrokenMark = " \\ [broken at 4096 bytes]";

  // Takes bytes that went Direction at At and returns the log lines they finished, each
  // ending in "\n". CR, LF and CR LF end a line, also when CR and LF come in separate calls.
  // A sent line holding any byte given with Masked shows Mask. A received line still open when
  // a sent line is finished, and begun before it, is written first, so the file keeps the
  // order of arrival (a prompt comes before the command typed after it); a line end that then
  // follows it adds no empty line. A sent line is never cut this way: typing may be slow.
  std::string Add(TLogDirection Direction, std::string_view Bytes, TLogTime At, bool Masked);
  // The received line, written as far as it came when nothing more arrived for Wait before
  // Now (a prompt waits for the user): a person reading the file as it grows sees it.
  std::string Expire(TLogTime Now, std::chrono::milliseconds Wait);
  // Every open line as far as it came (the connection closed, the log ends).
  std::string Finish();

 private:
  struct TOpenLine {
    std::string Text;
    TLogTime First{}, Last{};
    bool Open = false;
    bool Masked = false;
    bool AfterCr = false;  // an LF next ends nothing more
    bool Cut = false;      // written before its end: a line end next ends nothing more
  };

  std::string Write(TLogDirection Direction, bool Broken = false);
  std::string EndLine(TLogDirection Direction, bool Broken);
  TOpenLine& Line(TLogDirection Direction);

  TOpenLine FReceived, FSent;
};
