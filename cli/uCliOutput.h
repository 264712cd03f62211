// Standard output of tallybox-cli. On a terminal, device text cannot drive it: control bytes
// and escape sequences are shown as ^[ and \xHH, and the code page's characters as the
// terminal's own. Files and pipes get the bytes as they are. Every write is checked, so a
// full disk or a closed pipe ends the command as a failure. The commands print through it.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

// Line as a terminal should show it: C0 control bytes as ^@ .. ^_ (ESC as ^[), DEL as ^?,
// tab kept; bytes of the code page as UTF-8 when Utf8, else 0xA0-0xFF as they are; 0x80-0x9F
// bytes that stand for no character (or for one a non-UTF-8 terminal lacks) as \xHH.
std::string VisibleText(const std::string& Line, bool Utf8);

// Text for standard error, wherever it goes: C0 control bytes and DEL as VisibleText shows
// them; for a UTF-8 locale (Utf8), valid UTF-8 as it is except the C1 controls
// (U+0080-U+009F), which show as \xHH like every byte outside a valid sequence; otherwise
// bytes 0x80-0x9F as \xHH. File names and the tool's own messages keep their characters,
// and nothing a device, a list or an argument holds can drive a terminal.
std::string ErrorText(const std::string& Text, bool Utf8);

// A stream buffer that hands every complete line to Line, and what is left of a line when it
// goes: standard error's lines, or one fleet device's.
class TLineBuffer : public std::stringbuf {
 public:
  explicit TLineBuffer(std::function<void(const std::string&)> Line) : FLine(std::move(Line)) {}
  ~TLineBuffer() override;
  int sync() override;

 private:
  std::function<void(const std::string&)> FLine;
};

// Writes Bytes to standard error as they are (a progress line's own escapes); a failure is
// ignored, there being nowhere left to say it.
void WriteStandardError(const std::string& Bytes);
// Writes Text and a line end to standard error as ErrorText shows it for the user's locale.
void WriteErrorLine(const std::string& Text);

class TCliOutput {
 public:
  // Visible: show lines with VisibleText (Utf8 for a UTF-8 terminal) instead of as they are.
  TCliOutput(int Fd, bool Visible, bool Utf8);
  // How standard output should be treated: visible when it is a terminal and Raw is off.
  static TCliOutput ForStandardOutput(bool Raw);
  // Keeps the lines as they are, in memory, for Captured: a fleet run prints each device's
  // lines in one piece once the device is done.
  static TCliOutput Capture();
  const std::vector<std::string>& Captured() const { return FCaptured; }

  // One line (without its line end) as the mode says.
  void Line(const std::string& Text);
  // Writes what is buffered. Raises TCliFailure kExitFailure "cannot write the output: …"
  // when a write fails; later calls raise it again.
  void Flush();
  // Flushes and closes the descriptor, where a file system may report a late write error.
  void Close();

 private:
  int FFd;
  bool FVisible, FUtf8;
  std::string FBuffer;
  int FError = 0;
  bool FCapture = false;
  std::vector<std::string> FCaptured;
};
