// What a session of tallybox-sim still has to send, in order, each chunk not before its due
// time. It also applies the write faults: every write cut into pieces of a fixed or a random
// size with a pause between them, everything paced as on a serial line of a given speed, and
// the line dropped once a given number of bytes has left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <string_view>

// How the bytes leave beyond their cutting into pieces.
struct TSimPacing {
  bool RandomSplit = false;  // piece sizes 1..SplitBytes and gaps 0..SplitGapMs, from Seed
  uint32_t Seed = 1;
  uint32_t Baud = 0;  // 0: as fast as the link takes them; else N bits a second, 10 a byte
};

class TSimOutput {
 public:
  static constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

  // SplitBytes 0 writes chunks whole; DropAfterBytes 0 never drops.
  TSimOutput(std::size_t SplitBytes, uint32_t SplitGapMs, std::size_t DropAfterBytes,
             TSimPacing Pacing = {});

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
  // The line drops once Count more bytes have left after what is queued now (or sooner, at
  // an earlier limit).
  void DropAfterMore(std::size_t Count);
  void Clear();

 private:
  struct TChunk {
    uint64_t Due;
    std::string Bytes;
    std::size_t Done = 0;
  };
  // The line's bytes that may leave at NowMs, and where its next byte would start.
  std::size_t LineRoom(uint64_t NowMs) const;
  uint64_t LineStartUs(uint64_t NowMs) const;
  void NextPiece(uint64_t NowMs);

  std::size_t FSplit;
  uint32_t FGap;
  TSimPacing FPacing;
  std::mt19937 FRandom;
  std::size_t FPiece;        // the size of the next piece (0: whole chunks)
  uint64_t FLineFreeUs = 0;  // at a set speed: when the line has sent what it was given
  std::size_t FDropAfter;
  std::deque<TChunk> FChunks;
  std::size_t FPending = 0;
  std::size_t FSent = 0;
  uint64_t FNextPiece = 0;  // a split write waits for the gap before its next piece
};
