#include "streams/uFifoStream.h"

#include <algorithm>
#include <cstring>

#include "rtl/Exceptions.h"

TFIFOStream::TFIFOStream(int32_t BlockSize, int32_t MaxBlocks)
    : BlockSize(BlockSize), MaxBlocks(MaxBlocks) {
  if (BlockSize < 1) throw ERangeError();
}

TFIFOStream::~TFIFOStream() {
  while (FFirst) FreeBlock(FFirst);
  while (FSpare) FreeBlock(FSpare);
}

int64_t TFIFOStream::GetSize() {
  return FSize;
}

int32_t TFIFOStream::Read(void* Buffer, int32_t Count) {
  if (!FFirst) return 0;
  auto* out = static_cast<uint8_t*>(Buffer);
  int32_t done = 0;
  while (Count > 0) {
    const uint8_t* span;
    const int32_t n = ReadSpan(span, Count);
    if (n <= 0) break;
    std::memcpy(out + done, span, static_cast<size_t>(n));
    done += n;
    Count -= n;
  }
  return done;
}

int32_t TFIFOStream::ReadSpan(const uint8_t*& Data, int32_t Count) {
  Data = nullptr;
  if (!FFirst || Count <= 0) return 0;
  const int32_t available = (FCurrent == FLast ? FEndOffset : BlockSize) - FCurOffset;
  if (available <= 0) return 0;
  const int32_t n = std::min(available, Count);
  Data = FCurrent->Data.get() + FCurOffset;
  FCurOffset += n;
  FPosition += n;
  if (FCurOffset == BlockSize && FCurrent->Next) {
    FCurrent = FCurrent->Next;
    FCurOffset = 0;
  }
  return n;
}

int32_t TFIFOStream::Write(const void* Buffer, int32_t Count) {
  // The size is a 32-bit count: bytes that would take it past its largest value are refused
  // (the exact write then raises) instead of making it wrap.
  Count = static_cast<int32_t>(std::min<int64_t>(Count, int64_t{INT32_MAX} - FSize));
  if (Count <= 0) return 0;
  auto* in = static_cast<const uint8_t*>(Buffer);
  int32_t remaining = Count;
  while (remaining > 0) {
    if (!FFirst) {
      FFirst = FLast = FCurrent = TakeBlock();
      FStartOffset = FEndOffset = FSize = FPosition = FCurOffset = 0;
      FBlockCount = 1;
    }
    const int32_t n = std::min(BlockSize - FCurOffset, remaining);
    std::memcpy(FCurrent->Data.get() + FCurOffset, in, static_cast<size_t>(n));
    in += n;
    remaining -= n;
    FCurOffset += n;
    FPosition += n;
    if (FCurOffset == BlockSize) {
      if (FCurrent->Next)
        FCurrent = FCurrent->Next;
      else
        AppendBlock();
      FCurOffset = 0;
    }
    if (FCurrent == FLast && FCurOffset > FEndOffset) {
      FSize += FCurOffset - FEndOffset;
      FEndOffset = FCurOffset;
    }
  }
  return Count;
}

// The last block has just been filled: the chain grows by an empty block, and with a block
// limit the oldest block goes, its bytes lost without notice.
void TFIFOStream::AppendBlock() {
  TFIFOBlock* block = TakeBlock();
  block->Prev = FCurrent;
  FCurrent->Next = block;
  FLast = FCurrent = block;
  FSize += BlockSize - FEndOffset;
  FEndOffset = 0;
  ++FBlockCount;
  if (MaxBlocks > 1 && FBlockCount > MaxBlocks) {
    const int32_t lost = BlockSize - FStartOffset;
    ReleaseBlock(FFirst);
    --FBlockCount;
    FSize -= lost;
    FPosition -= lost;
    FStartOffset = 0;
  }
}

int32_t TFIFOStream::Seek(int32_t Offset, uint16_t Origin) {
  if (!FFirst) return 0;
  // 64-bit so that no offset can overflow before it is clamped to the content.
  int64_t target;
  bool fromEnd;
  switch (Origin) {
    case 0:
      target = Offset;
      fromEnd = false;
      break;
    case 2:
      target = int64_t{FSize} - Offset;
      fromEnd = true;
      break;
    case 1:
      if (Offset == 0) return FPosition;
      target = int64_t{FPosition} + Offset;
      fromEnd = !(FSize / 2 > target);
      break;
    default:
      return FPosition;
  }
  const auto clamped = static_cast<int32_t>(std::clamp<int64_t>(target, 0, FSize));
  if (fromEnd)
    PlaceFromEnd(clamped);
  else
    PlaceFromStart(clamped);
  FPosition = clamped;
  return FPosition;
}

void TFIFOStream::PlaceFromStart(int32_t Target) {
  TFIFOBlock* block = FFirst;
  int32_t offset = FStartOffset + Target;
  while (offset >= BlockSize && block->Next) {
    block = block->Next;
    offset -= BlockSize;
  }
  FCurrent = block;
  FCurOffset = offset;
}

void TFIFOStream::PlaceFromEnd(int32_t Target) {
  TFIFOBlock* block = FLast;
  int32_t offset = FEndOffset - (FSize - Target);
  while (offset < 0 && block->Prev) {
    block = block->Prev;
    offset += BlockSize;
  }
  FCurrent = block;
  FCurOffset = offset;
}

int32_t TFIFOStream::GetCapacity() {
  return (FBlockCount + FSpareCount) * BlockSize;
}

int32_t TFIFOStream::DiscardRead() {
  if (!FFirst) return 0;
  int32_t dropped = 0;
  while (FFirst != FCurrent) {
    dropped += BlockSize - FStartOffset;
    FStartOffset = 0;
    ReleaseBlock(FFirst);
    --FBlockCount;
  }
  dropped += FCurOffset - FStartOffset;
  FStartOffset = FCurOffset;
  FSize -= dropped;
  FPosition = 0;
  // Everything consumed: refill the one remaining block from its start.
  if (FCurrent == FLast && FCurOffset == FEndOffset) FStartOffset = FCurOffset = FEndOffset = 0;
  return dropped;
}

TFIFOBlock* TFIFOStream::TakeBlock() {
  if (FSpare) {
    TFIFOBlock* block = FSpare;
    FSpare = block->Next;
    if (FSpare) FSpare->Prev = nullptr;
    --FSpareCount;
    block->Prev = block->Next = nullptr;
    return block;
  }
  auto block = std::make_unique<TFIFOBlock>();
  block->Data = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(BlockSize));
  return block.release();
}

TFIFOBlock* TFIFOStream::ReleaseBlock(TFIFOBlock* Block) {
  TFIFOBlock* next = Block->Next;
  if (next) next->Prev = nullptr;
  if (Block == FFirst) FFirst = next;
  if (Block == FLast) FLast = nullptr;
  Block->Prev = nullptr;
  Block->Next = FSpare;
  if (FSpare) FSpare->Prev = Block;
  FSpare = Block;
  ++FSpareCount;
  return next;
}

TFIFOBlock* TFIFOStream::FreeBlock(TFIFOBlock* Block) {
  TFIFOBlock* next = Block->Next;
  if (next) next->Prev = Block->Prev;
  if (Block->Prev) Block->Prev->Next = next;
  if (Block == FFirst) FFirst = next;
  if (Block == FLast) FLast = Block->Prev;
  if (Block == FSpare) FSpare = next;
  if (Block == FCurrent) FCurrent = nullptr;
  delete Block;
  return next;
}

TLockableFIFOStream::TLockableFIFOStream(int32_t BlockSize, int32_t MaxBlocks)
    : TFIFOStream(BlockSize, MaxBlocks), FLock(std::make_unique<TTDCriticalSection>()) {}

TLockableFIFOStream::~TLockableFIFOStream() = default;
