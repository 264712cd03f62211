// What a session of tallybox-sim still has to send, in order, each chunk not before its due
// time. It also applies the write faults: every write cut into pieces of a fixed size with a
// pause between them, and the line dropped once a given number of bytes has left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <string_view>

class TSimOutput {
 public:
  static constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

  // SplitBytes 0 writes chunks whole; DropAfterBytes 0 never drops.
  TSimOutput(std::size_t SplitBytes, uint32_t SplitGapMs, std::size_t DropAfterBytes);

  // Appends Bytes, due at DueMs but never before what was queued earlier.
  void Queue(std::string Bytes, uint64_t DueMs);

  // The bytes to write now (empty when nothing is due).
  std::string_view Peek(uint64_t NowMs) const;
  // Count bytes of the last Peek have been written.
  void Consume(std::size_t Count, uint64_t NowMs);

  // When Peek will next have something, kNever when the queue is empty.
  uint64_t NextDue() const;
  bool Empty() const { return FChunks.empty(); }
  std::size_t Pending() const { return FPending; }
  // The drop limit has been reached: the line must be dropped now.
  bool DropReached() const { return FDropAfter != 0 && FSent >= FDropAfter; }
  void Clear();

 private:
  struct TChunk {
    uint64_t Due;
    std::string Bytes;
    std::size_t Done = 0;
  };
  std::size_t FSplit;
  uint32_t FGap;
  std::size_t FDropAfter;
  std::deque<TChunk> FChunks;
  std::size_t FPending = 0;
  std::size_t FSent = 0;
  uint64_t FNextPiece = 0;  // a split write waits for the gap before its next piece
};
