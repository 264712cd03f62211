// Byte queues held in a chain of fixed-size blocks: writers append at the end, readers read
// from the start and drop what they read. The lockable kind carries bytes between a
// dispatcher thread and the main window; plain ones hold the stream fork's texts.
#pragma once

#include <cstdint>
#include <memory>

#include "rtl/CriticalSection.h"
#include "rtl/Stream.h"

struct TFIFOBlock {
  TFIFOBlock* Prev = nullptr;
  TFIFOBlock* Next = nullptr;
  std::unique_ptr<uint8_t[]> Data;
};

class TFIFOStream : public TStream {
 public:
  // BlockSize below 1 is refused with ERangeError: no byte would ever fit in a block.
  TFIFOStream(int32_t BlockSize, int32_t MaxBlocks);
  ~TFIFOStream() override;
  TFIFOStream(const TFIFOStream&) = delete;
  TFIFOStream& operator=(const TFIFOStream&) = delete;

  using TStream::Seek;

  int64_t GetSize() override;
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int32_t Seek(int32_t Offset, uint16_t Origin) override;
  virtual int32_t GetCapacity();
  virtual int32_t DiscardRead();

  // Read without the copy: points Data at the bytes under the cursor, at most Count and never
  // past the cursor block, and moves the cursor over them exactly as Read would. The pointer
  // stays valid until the stream is next written or discarded. The fork's search uses it.
  int32_t ReadSpan(const uint8_t*& Data, int32_t Count);

 protected:
  const int32_t BlockSize;
  const int32_t MaxBlocks;
  int32_t FPosition = 0;
  int32_t FBlockCount = 0;
  int32_t FSpareCount = 0;
  int32_t FSize = 0;
  int32_t FCurOffset = 0;
  int32_t FStartOffset = 0;
  int32_t FEndOffset = 0;
  TFIFOBlock* FSpare = nullptr;
  TFIFOBlock* FFirst = nullptr;
  TFIFOBlock* FLast = nullptr;
  TFIFOBlock* FCurrent = nullptr;

 private:
  TFIFOBlock* TakeBlock();
  TFIFOBlock* ReleaseBlock(TFIFOBlock* Block);
  TFIFOBlock* FreeBlock(TFIFOBlock* Block);
  void AppendBlock();
  void PlaceFromStart(int32_t Target);
  void PlaceFromEnd(int32_t Target);
};

// The lock of the queues and of the dispatcher. TryEnter waits like Enter and always succeeds.
class TTDCriticalSection : public TCriticalSection {
 public:
  bool TryEnter() {
    Enter();
    return true;
  }
};

// A FIFO stream with a lock of its own; the stream operations take no lock, so every
// seek-and-read or seek-and-write sequence is bracketed by Lock and Unlock.
class TLockableFIFOStream : public TFIFOStream {
 public:
  TLockableFIFOStream(int32_t BlockSize, int32_t MaxBlocks);
  ~TLockableFIFOStream() override;

  void Lock() { FLock->Enter(); }
  bool TryLock() { return FLock->TryEnter(); }
  void Unlock() { FLock->Leave(); }

 private:
  std::unique_ptr<TTDCriticalSection> FLock;
};
