#include "session/uDebugPort.h"

#include "session/uPromptSearch.h"
#include "streams/uStreamFork.h"

namespace {

// Longer tails after the last prompt than this are text, not what a console sends after it.
constexpr int64_t MaxFiller = 32;

}  // namespace

void TDebugPort::Reset(bool Serial) {
  FSerial = Serial;
  FOpening = false;
  FEcho = TEcho::Unknown;
  FReplyBegun = true;
  FBarePrompt = false;
}

void TDebugPort::Opened() {
  FOpening = true;
  FOpenedAt = FLastArrival = FNow();
}

void TDebugPort::Arrived() {
  if (FOpening) FLastArrival = FNow();
}

bool TDebugPort::OpeningDone(TSFSegment& Terminal) const {
  const uint32_t now = FNow();
  if (now - FLastArrival >= OpeningQuiet || now - FOpenedAt >= OpeningLimit) return true;
  int64_t after = -1;
  for (TPromptAt at = FindPrompt(Terminal); at.Started; at = FindPrompt(Terminal, at.End)) {
    if (!at.Whole) return false;  // the last prompt is still coming
    after = at.End;
  }
  const int64_t rest = Terminal.Stream->Size() - after;
  if (after < 0 || rest > MaxFiller) return false;
  std::string tail(static_cast<size_t>(rest), '\0');
  Terminal.Stream->Seek(after, 0);
  Terminal.Stream->Read(tail.data(), static_cast<int32_t>(rest));
  return PromptFiller(tail) == tail.size();
}

void TDebugPort::RequestSent(const std::string& Text) {
  FRequest = Text;
  FReplyBegun = !FSerial || FEcho == TEcho::No || Text.empty();
  FBarePrompt = false;
}

bool TDebugPort::FindEcho(TSFSegment& Terminal, int32_t& At, int32_t& End) const {
  const int64_t size = Terminal.Stream->Size();
  for (int32_t from = 0;;) {
    bool found;
    At = Terminal.Find(from, FRequest, found);
    const int64_t after = int64_t{At} + int64_t(FRequest.size());
    if (!found || after >= size) return false;
    char next[2] = {};
    Terminal.Stream->Seek(after, 0);
    const int32_t got = Terminal.Stream->Read(next, 2);
    if (next[0] == '\n' || (next[0] == '\r' && got == 2)) {
      End = static_cast<int32_t>(after) + (next[0] == '\r' && next[1] == '\n' ? 2 : 1);
      return true;
    }
    if (next[0] == '\r') return false;  // its LF may follow
    from = At + 1;
  }
}

void TDebugPort::EchoFound() {
  FReplyBegun = true;
  FEcho = TEcho::Yes;
}

// A device that does not echo ends its reply at the first prompt: that is taken once the
// grace for a late echo has passed since the prompt came, and the port counts as one that
// does not echo from then on. One that echoed before and now sends a prompt with no echo
// has started afresh.
TDebugPort::TNoEcho TDebugPort::PromptWithoutEcho() {
  if (!FBarePrompt) {
    FBarePrompt = true;
    FBareSince = FNow();
  }
  if (FNow() - FBareSince < EchoGrace) return TNoEcho::Wait;
  if (FEcho == TEcho::Yes) return TNoEcho::Missing;
  FEcho = TEcho::No;
  FReplyBegun = true;
  return TNoEcho::Begun;
}
