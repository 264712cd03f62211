#include "cli/uCliOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

// Tab and printable ASCII as they are, C0 controls as ^@ .. ^_, DEL as ^?.
void AppendAscii(std::string& Out, unsigned char Byte) {
  if (Byte == '\t' || (Byte >= 0x20 && Byte < 0x7F)) {
    Out += char(Byte);
  } else {
    Out += '^';
    Out += char(Byte ^ 0x40);
  }
}

// The length of the valid UTF-8 sequence at Text[At] that stands for a character from
// U+00A0 up, 0 for anything else (a stray byte, an overlong form, a C1 control, a surrogate).
size_t Utf8Character(const std::string& Text, size_t At) {
  const auto byte = [&](size_t I) { return static_cast<unsigned char>(Text[At + I]); };
  const unsigned char lead = byte(0);
  const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || At + length > Text.size()) return 0;
  uint32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const uint32_t least[] = {0, 0, 0xA0, 0x800, 0x10000};
  if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string ErrorText(const std::string& Text, bool Utf8) {
  if (!Utf8) return VisibleText(Text, false);
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size();) {
    const auto byte = static_cast<unsigned char>(Text[i]);
    if (byte < 0x80) {
      AppendAscii(out, byte);
      ++i;
    } else if (const size_t length = Utf8Character(Text, i)) {
      out.append(Text, i, length);
      i += length;
    } else {
      AppendHex(out, byte);
      ++i;
    }
  }
  return out;
}

void WriteStandardError(const std::string& Bytes) {
  size_t done = 0;
  while (done < Bytes.size()) {
    const ssize_t n = ::write(STDERR_FILENO, Bytes.data() + done, Bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
}

void WriteErrorLine(const std::string& Text) {
  static const bool utf8 = TerminalIsUtf8();
  WriteStandardError(ErrorText(Text, utf8) + "\n");
}

TLineBuffer::~TLineBuffer() {
  sync();
  if (!str().empty()) FLine(str());
}

int TLineBuffer::sync() {
  const std::string text = str();
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    FLine(text.substr(start, end - start));
  str(text.substr(start));
  return 0;
}

std::string VisibleText(const std::string& Line, bool Utf8) {
  std::string out;
  out.reserve(Line.size());
  for (const char c : Line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      AppendAscii(out, byte);
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
