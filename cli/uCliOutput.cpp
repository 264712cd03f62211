#include "cli/uCliOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/uCliConsole.h"
#include "cli/uCliExit.h"
#include "rtl/AnsiText.h"

namespace {

constexpr size_t kFlushAt = 1 << 16;

void AppendHex(std::string& Out, unsigned char Byte) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02X", Byte);
  Out += hex;
}

}  // namespace

std::string VisibleText(const std::string& Line, bool Utf8) {
  std::string out;
  out.reserve(Line.size());
  for (const char c : Line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\t' || (byte >= 0x20 && byte < 0x7F)) {
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += '^';
      out += char(byte ^ 0x40);
    } else if (Utf8 && AnsiToUnicode(byte) >= 0xA0) {
      out += AnsiToUtf8(std::string_view(&c, 1));
    } else if (!Utf8 && byte >= 0xA0) {
      out += c;
    } else {
      AppendHex(out, byte);
    }
  }
  return out;
}

TCliOutput::TCliOutput(int Fd, bool Visible, bool Utf8) : FFd(Fd), FVisible(Visible), FUtf8(Utf8) {}

TCliOutput TCliOutput::ForStandardOutput(bool Raw) {
  const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  return TCliOutput(STDOUT_FILENO, terminal && !Raw, terminal && TerminalIsUtf8());
}

TCliOutput TCliOutput::Capture() {
  TCliOutput out(-1, false, false);
  out.FCapture = true;
  return out;
}

void TCliOutput::Line(const std::string& Text) {
  if (FCapture) return FCaptured.push_back(Text);
  FBuffer += FVisible ? VisibleText(Text, FUtf8) : Text;
  FBuffer += '\n';
  if (FBuffer.size() >= kFlushAt) Flush();
}

void TCliOutput::Flush() {
  size_t done = 0;
  while (FError == 0 && done < FBuffer.size()) {
    const ssize_t n = ::write(FFd, FBuffer.data() + done, FBuffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {  // an inherited non-blocking output
      WaitWritable(FFd);
      continue;
    }
    if (n <= 0) FError = n < 0 ? errno : EIO;
    if (n > 0) done += size_t(n);
  }
  FBuffer.clear();
  if (FError != 0)
    throw TCliFailure(kExitFailure,
                      std::string("cannot write the output: ") + std::strerror(FError));
}

void TCliOutput::Close() {
  Flush();
  const int fd = FFd;
  FFd = -1;
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
    FError = errno;
    Flush();
  }
}
