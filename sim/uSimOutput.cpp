#include "sim/uSimOutput.h"

#include <algorithm>

TSimOutput::TSimOutput(std::size_t SplitBytes, uint32_t SplitGapMs, std::size_t DropAfterBytes)
    : FSplit(SplitBytes), FGap(SplitGapMs), FDropAfter(DropAfterBytes) {}

void TSimOutput::Queue(std::string Bytes, uint64_t DueMs) {
  if (Bytes.empty()) return;
  if (!FChunks.empty()) DueMs = std::max(DueMs, FChunks.back().Due);
  FPending += Bytes.size();
  FChunks.push_back({DueMs, std::move(Bytes)});
}

uint64_t TSimOutput::NextDue() const {
  if (FChunks.empty() || DropReached()) return kNever;
  return std::max(FChunks.front().Due, FNextPiece);
}

std::string_view TSimOutput::Peek(uint64_t NowMs) const {
  if (FChunks.empty() || DropReached() || NextDue() > NowMs) return {};
  const auto& chunk = FChunks.front();
  std::string_view bytes(chunk.Bytes);
  bytes.remove_prefix(chunk.Done);
  if (FSplit != 0) bytes = bytes.substr(0, FSplit);
  if (FDropAfter != 0) bytes = bytes.substr(0, FDropAfter - FSent);
  return bytes;
}

void TSimOutput::Consume(std::size_t Count, uint64_t NowMs) {
  if (FChunks.empty() || Count == 0) return;
  auto& chunk = FChunks.front();
  Count = std::min(Count, chunk.Bytes.size() - chunk.Done);
  chunk.Done += Count;
  FPending -= Count;
  FSent += Count;
  if (chunk.Done == chunk.Bytes.size()) FChunks.pop_front();
  // The clock counts whole milliseconds; one more keeps the gap at least as long as asked.
  if (FSplit != 0) FNextPiece = FGap == 0 ? NowMs : NowMs + FGap + 1;
}

void TSimOutput::Clear() {
  FChunks.clear();
  FPending = 0;
}
