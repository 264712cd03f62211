#include "streams/uStreamFork.h"

#include <algorithm>
#include <cstring>

#include "rtl/Exceptions.h"

namespace {

constexpr int32_t SegmentBlockSize = 1024;

// The plain search for any stream: one byte per Read, back to the byte after the candidate
// after a partial match.
int32_t FindByteByByte(TStream* Stream, int32_t Start, const std::string& Pattern, bool& Found) {
  const auto length = static_cast<int32_t>(Pattern.size());
  Stream->Seek(Start, 0);
  int32_t candidate = Start;
  int32_t matched = 0;
  for (;;) {
    char c;
    if (Stream->Read(&c, 1) != 1) return candidate;
    if (c == Pattern[static_cast<size_t>(matched)]) {
      if (++matched == length) {
        Found = true;
        return candidate;
      }
      continue;
    }
    ++candidate;
    if (matched > 0) Stream->Seek(candidate, 0);
    matched = 0;
  }
}

// Same results as FindByteByByte, but on whole block spans: memchr for the first byte of the
// pattern, memcmp for the rest. Only a candidate that runs off the end of its block reads on
// into the following blocks, and then the cursor is put back at the end of the span.
class TFifoSearch {
 public:
  TFifoSearch(TFIFOStream* Stream, const std::string& Pattern)
      : FStream(Stream),
        FPattern(reinterpret_cast<const uint8_t*>(Pattern.data())),
        FLength(static_cast<int32_t>(Pattern.size())) {}

  int32_t Run(int32_t Start, bool& Found) {
    FCursor = FStream->Seek(Start, 0);
    for (;;) {
      const uint8_t* span;
      const int32_t n = FStream->ReadSpan(span, INT32_MAX);
      if (n <= 0) return FCursor;
      const int32_t spanStart = FCursor;
      const int32_t spanEnd = FCursor += n;
      for (const uint8_t* p = span; (p = Next(p, span + n)) != nullptr; ++p) {
        const int32_t candidate = spanStart + static_cast<int32_t>(p - span);
        const int32_t inSpan = std::min(FLength, spanEnd - candidate);
        if (std::memcmp(p, FPattern, static_cast<size_t>(inSpan)) != 0) continue;
        if (inSpan == FLength) {
          Found = true;
          return candidate;
        }
        switch (MatchOnward(spanEnd, inSpan)) {
          case TOutcome::Whole:
            Found = true;
            return candidate;
          case TOutcome::ContentEnded:
            return candidate;
          case TOutcome::Differs:
            break;
        }
      }
      if (FCursor != spanEnd) FCursor = FStream->Seek(spanEnd - FCursor, 1);
    }
  }

 private:
  enum class TOutcome { Whole, Differs, ContentEnded };

  const uint8_t* Next(const uint8_t* From, const uint8_t* End) const {
    return static_cast<const uint8_t*>(
        std::memchr(From, FPattern[0], static_cast<size_t>(End - From)));
  }

  // The first Matched bytes of the pattern end at the logical offset From; compares the rest
  // with the bytes from there on.
  TOutcome MatchOnward(int32_t From, int32_t Matched) {
    if (FCursor != From) FCursor = FStream->Seek(From - FCursor, 1);
    while (Matched < FLength) {
      const uint8_t* span;
      const int32_t n = FStream->ReadSpan(span, FLength - Matched);
      if (n <= 0) return TOutcome::ContentEnded;
      FCursor += n;
      if (std::memcmp(span, FPattern + Matched, static_cast<size_t>(n)) != 0)
        return TOutcome::Differs;
      Matched += n;
    }
    return TOutcome::Whole;
  }

  TFIFOStream* FStream;
  const uint8_t* FPattern;
  int32_t FLength;
  int32_t FCursor = 0;  // logical offset of the stream's cursor
};

}  // namespace

int32_t FindInStream(TStream* Stream, int32_t Start, const std::string& Pattern, bool& Found) {
  Found = false;
  const auto size = static_cast<int32_t>(Stream->Size());
  if (Pattern.empty()) return size;
  // An offset outside the content would leave the candidate and the cursor apart.
  Start = std::clamp(Start, 0, size);
  if (auto* fifo = dynamic_cast<TFIFOStream*>(Stream))
    return TFifoSearch(fifo, Pattern).Run(Start, Found);
  return FindByteByByte(Stream, Start, Pattern, Found);
}

bool MatchAt(const std::string& S, int32_t Index, const std::string& Sub) {
  if (Sub.empty()) return true;
  if (Index < 1 || static_cast<size_t>(Index) - 1 + Sub.size() > S.size()) return false;
  return S.compare(static_cast<size_t>(Index) - 1, Sub.size(), Sub) == 0;
}

std::string ReplaceAll(const std::string& S, const std::string& Old, const std::string& New) {
  if (Old.empty()) return S;  // nothing to replace, and no step forward
  std::string out;
  out.reserve(S.size());
  const auto length = static_cast<int32_t>(S.size());
  for (int32_t i = 1; i <= length;) {
    if (MatchAt(S, i, Old)) {
      out += New;
      i += static_cast<int32_t>(Old.size());
    } else {
      out += S[static_cast<size_t>(i) - 1];
      ++i;
    }
  }
  return out;
}

TSFSegment::TSFSegment() : FOwnedStream(std::make_unique<TFIFOStream>(SegmentBlockSize, 0)) {
  Stream = FOwnedStream.get();
}

int32_t TSFSegment::Find(int32_t Start, const std::string& Pattern, bool& Found) {
  return FindInStream(Stream, Start, Pattern, Found);
}

int32_t TSFSegment::FindStart(TStream* Source, bool& Found) {
  return FindInStream(Source, 0, StartPattern, Found);
}

int32_t TSFSegment::FindEnd(TStream* Source, bool& Found, int32_t& Length) {
  Length = static_cast<int32_t>(EndPattern.size());
  if (!AnyLineEnd) return FindInStream(Source, 0, EndPattern, Found);
  bool cr, lf;
  const int32_t atCr = FindInStream(Source, 0, "\r", cr);
  const int32_t atLf = FindInStream(Source, 0, "\n", lf);
  Found = cr || lf;
  if (!cr || (lf && atLf < atCr)) {
    Length = 1;
    return atLf;
  }
  // A CR at the very end may yet be followed by its LF: it waits for the next feed.
  char next = 0;
  Source->Seek(atCr + 1, 0);
  if (Source->Read(&next, 1) != 1) {
    Found = false;
    return atCr;
  }
  Length = next == '\n' ? 2 : 1;
  return atCr;
}

TStreamFork::TStreamFork() : FPending(std::make_unique<TFIFOStream>(SegmentBlockSize, 0)) {}

TStreamFork::~TStreamFork() {
  FPending.reset();
  while (!FSegments.empty()) FSegments.pop_back();
}

int32_t TStreamFork::AddSegment(const std::string& StartPattern, const std::string& EndPattern,
                                int32_t Timeout) {
  auto segment = std::make_unique<TSFSegment>();
  segment->StartPattern = StartPattern;
  segment->EndPattern = EndPattern;
  segment->Timeout = Timeout;
  FSegments.push_back(std::move(segment));
  return static_cast<int32_t>(FSegments.size()) - 1;
}

int32_t TStreamFork::SegmentCount() {
  return static_cast<int32_t>(FSegments.size());
}

TSFSegment* TStreamFork::Segments(int32_t Index) {
  if (Index < 0 || Index >= SegmentCount())
    throw EListError(Format("List index out of bounds (%d)", Index));
  return FSegments[static_cast<size_t>(Index)].get();
}

void TStreamFork::Feed(const void* Buffer, int32_t Count) {
  FFeedStamp = 0;
  FPending->Seek(0, 2);
  FPending->Write(Buffer, Count);
  Route();
  Bound();
}

void TStreamFork::Feed(const void* Buffer, int32_t Count, uint32_t Now) {
  Expire(Now);
  FPending->Seek(0, 2);
  FPending->Write(Buffer, Count);
  FFeedStamp = Now != 0 ? Now : 1;  // 0 would mean no stamp
  Route();
  FFeedStamp = 0;
  Bound();
}

void TStreamFork::Bound() {
  if (SegmentLimit <= 0) return;
  for (const auto& segment : FSegments) {
    const int64_t excess = segment->Stream->Size() - SegmentLimit;
    if (excess <= 0 || segment->Keep) continue;
    segment->Stream->Seek(excess, 0);
    segment->Stream->DiscardRead();
    segment->Dropped += excess;
  }
}

bool TStreamFork::Expire(uint32_t Now) {
  TSFSegment* segment = FOpenSegment;
  if (!segment || segment->FStamp == 0 || segment->Timeout <= 0) return false;
  if (Now - segment->FStamp <= static_cast<uint32_t>(segment->Timeout)) return false;
  Flush();
  segment->FStamp = 0;
  return true;
}

void TStreamFork::Route() {
  while (!FSegments.empty()) {
    if (!FOpenSegment && !OpenFirstStartedSegment()) return;
    bool found;
    int32_t length;
    const int32_t end = FOpenSegment->FindEnd(FPending.get(), found, length);
    if (end > 0) MoveTo(FOpenSegment, end);
    // A trailing piece of the end pattern stays pending until the next feed decides it.
    if (!found) return;
    MoveTo(FOpenSegment, length);
    FOpenSegment = nullptr;
  }
}

// Picks the start pattern that matches first (the longer one at a tie) and opens its segment;
// the bytes before it go to segment 0. A longer pattern still incomplete at the end of the
// pending input holds the decision back. Returns whether a segment is open now.
bool TStreamFork::OpenFirstStartedSegment() {
  int32_t bestPosition = static_cast<int32_t>(FPending->Size());
  TSFSegment* best = nullptr;
  bool bestFound = false;
  for (const auto& segment : FSegments) {
    bool found;
    const int32_t position = segment->FindStart(FPending.get(), found);
    if (position > bestPosition) continue;
    if (position < bestPosition || !best ||
        segment->StartPattern.size() > best->StartPattern.size()) {
      best = segment.get();
      bestFound = found;
    }
    bestPosition = position;
  }
  if (bestPosition > 0) MoveTo(FSegments[0].get(), bestPosition);
  if (!bestFound) return false;
  FOpenSegment = best;
  best->FStamp = FFeedStamp;
  if (!DeferStartPattern) MoveTo(best, static_cast<int32_t>(best->StartPattern.size()));
  return true;
}

void TStreamFork::MoveTo(TSFSegment* Segment, int32_t Count) {
  if (Count <= 0) return;
  FPending->Seek(0, 0);
  Segment->Stream->Seek(0, 2);
  while (Count > 0) {
    const uint8_t* span;
    const int32_t n = FPending->ReadSpan(span, Count);
    if (n <= 0) throw EReadError();
    Segment->Stream->Write(span, n);
    Count -= n;
  }
  FPending->DiscardRead();
}

// Also closes an open segment when nothing is pending: after a Reset the next connection's
// text must not continue a line the last one left unfinished.
void TStreamFork::Flush() {
  if (FSegments.empty()) return;
  TSFSegment* target = FOpenSegment ? FOpenSegment : FSegments[0].get();
  MoveTo(target, static_cast<int32_t>(FPending->Size()));
  FOpenSegment = nullptr;
}

void TStreamFork::Reset() {
  Flush();
  FPending->Seek(0, 2);
  FPending->DiscardRead();
  for (const auto& segment : FSegments) {
    segment->Stream->Seek(0, 2);
    segment->Stream->DiscardRead();
    segment->Dropped = 0;
    segment->Keep = false;
  }
}
