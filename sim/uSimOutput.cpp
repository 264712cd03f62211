#include "sim/uSimOutput.h"

#include <algorithm>

namespace {

// 10 bits a byte: one start bit, eight data bits, one stop bit.
uint64_t ByteMicros(uint32_t Baud) {
  return std::max<uint64_t>(1, 10'000'000ull / Baud);
}

}  // namespace

TSimOutput::TSimOutput(std::size_t SplitBytes, uint32_t SplitGapMs, std::size_t DropAfterBytes,
                       TSimPacing Pacing)
    : FSplit(SplitBytes),
      FGap(SplitGapMs),
      FPacing(Pacing),
      FRandom(Pacing.Seed),
      FPiece(SplitBytes),
      FDropAfter(DropAfterBytes) {
  if (FPacing.RandomSplit && FSplit != 0) NextPiece(0);
}

void TSimOutput::Queue(std::string Bytes, uint64_t DueMs) {
  if (Bytes.empty()) return;
  if (!FChunks.empty()) DueMs = std::max(DueMs, FChunks.back().Due);
  FPending += Bytes.size();
  FChunks.push_back({DueMs, std::move(Bytes)});
}

uint64_t TSimOutput::NextDue() const {
  if (FChunks.empty() || DropReached()) return kNever;
  uint64_t due = std::max(FChunks.front().Due, FNextPiece);
  if (FPacing.Baud != 0) due = std::max(due, (FLineFreeUs + 999) / 1000);
  return due;
}

// A line left idle does not save up its time: at most one millisecond of it is caught up.
uint64_t TSimOutput::LineStartUs(uint64_t NowMs) const {
  const uint64_t nowUs = NowMs * 1000;
  return std::max(FLineFreeUs, nowUs < 1000 ? 0 : nowUs - 1000);
}

std::size_t TSimOutput::LineRoom(uint64_t NowMs) const {
  if (FPacing.Baud == 0) return std::string_view::npos;
  const uint64_t startUs = LineStartUs(NowMs), nowUs = NowMs * 1000;
  if (startUs > nowUs) return 0;
  return static_cast<std::size_t>((nowUs - startUs) / ByteMicros(FPacing.Baud) + 1);
}

std::string_view TSimOutput::Peek(uint64_t NowMs) const {
  if (FChunks.empty() || DropReached() || NextDue() > NowMs) return {};
  const auto& chunk = FChunks.front();
  std::string_view bytes(chunk.Bytes);
  bytes.remove_prefix(chunk.Done);
  if (FPiece != 0) bytes = bytes.substr(0, FPiece);
  if (FDropAfter != 0) bytes = bytes.substr(0, FDropAfter - FSent);
  return bytes.substr(0, LineRoom(NowMs));
}

void TSimOutput::Consume(std::size_t Count, uint64_t NowMs) {
  if (FChunks.empty() || Count == 0) return;
  auto& chunk = FChunks.front();
  Count = std::min(Count, chunk.Bytes.size() - chunk.Done);
  chunk.Done += Count;
  FPending -= Count;
  FSent += Count;
  if (chunk.Done == chunk.Bytes.size()) FChunks.pop_front();
  if (FPacing.Baud != 0) FLineFreeUs = LineStartUs(NowMs) + Count * ByteMicros(FPacing.Baud);
  if (FSplit != 0) NextPiece(NowMs);
}

void TSimOutput::NextPiece(uint64_t NowMs) {
  uint32_t gap = FGap;
  if (FPacing.RandomSplit) {
    FPiece = std::uniform_int_distribution<std::size_t>(1, FSplit)(FRandom);
    gap = std::uniform_int_distribution<uint32_t>(0, FGap)(FRandom);
  }
  // The clock counts whole milliseconds; one more keeps the gap at least as long as asked.
  FNextPiece = gap == 0 ? NowMs : NowMs + gap + 1;
}

void TSimOutput::DropAfterMore(std::size_t Count) {
  const std::size_t limit = FSent + FPending + Count;
  FDropAfter = FDropAfter == 0 ? limit : std::min(FDropAfter, limit);
}

void TSimOutput::Clear() {
  FChunks.clear();
  FPending = 0;
}
