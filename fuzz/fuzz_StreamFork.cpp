// Feeds arbitrary bytes, in chunk sizes taken from the input, into a fork set up like the main
// window's, and aborts when a byte is lost, duplicated or routed differently from the plain
// routing model.
//
// Input: one flag byte (bit 0: defer start patterns, bit 1: drain the segments between
// feeds), then records of one length byte L followed by up to L + 1 bytes to feed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ReferenceFork.h"
#include "streams/uStreamFork.h"

using namespace std::string_literals;

namespace {

const std::string EventStart = "\0\t"s;
const std::string ModemStart = "\0\t\x1b[31mM:\""s;
const std::string CrLf = "\r\n";

void Check(bool Condition, const char* What) {
  if (Condition) return;
  std::fprintf(stderr, "fuzz_StreamFork: %s\n", What);
  std::abort();
}

std::string Drain(TFIFOStream* Stream) {
  Stream->Seek(0, 0);
  std::string text(static_cast<size_t>(Stream->Size()), '\0');
  Check(Stream->Read(text.data(), static_cast<int32_t>(text.size())) ==
            static_cast<int32_t>(text.size()),
        "a segment reads back fewer bytes than its size");
  Stream->Seek(0, 2);
  Stream->DiscardRead();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const bool defer = Data[0] & 1;
  const bool drainBetween = Data[0] & 2;
  TStreamFork fork;
  TReferenceFork reference;
  fork.DeferStartPattern = reference.Defer = defer;
  const std::string patterns[3][2] = {{"", ""}, {EventStart, CrLf}, {ModemStart, CrLf}};
  for (const auto& p : patterns) {
    fork.AddSegment(p[0], p[1], 0);
    reference.Segments.push_back({p[0], p[1], ""});
  }

  std::string input;
  std::string seen[3];
  for (size_t at = 1; at < Size;) {
    const size_t length = std::min<size_t>(Data[at] + 1u, Size - at - 1);
    const auto* chunk = reinterpret_cast<const char*>(Data + at + 1);
    at += 1 + length;
    fork.Feed(chunk, static_cast<int32_t>(length));
    reference.Feed(std::string(chunk, length));
    input.append(chunk, length);
    if (drainBetween)
      for (int32_t s = 0; s < 3; ++s) seen[s] += Drain(fork.Segments(s)->Stream);
  }
  fork.Flush();
  reference.Flush();

  size_t total = 0;
  std::string concatenated;
  for (int32_t s = 0; s < 3; ++s) {
    seen[s] += Drain(fork.Segments(s)->Stream);
    total += seen[s].size();
    Check(seen[s] == reference.Segments[static_cast<size_t>(s)].Text,
          "a segment differs from the plain routing");
  }
  Check(total == input.size(), "bytes were lost or duplicated");
  Check(reference.Pending.empty(), "the plain routing kept bytes after Flush");
  for (const auto& segment : reference.Segments) concatenated += segment.Text;
  Check(concatenated.size() == input.size(), "the plain routing lost bytes");
  return 0;
}
