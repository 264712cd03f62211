// The byte-stream contract the FIFO queues and the fork's segments build on: size, cursor,
// exact reads and writes, and copying between streams.
#pragma once

#include <cstdint>

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int64_t GetSize();
  virtual void SetSize(int32_t NewSize);
  virtual void SetSize(int64_t NewSize);
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  virtual int32_t Seek(int32_t Offset, uint16_t Origin) = 0;  // 0 start, 1 current, 2 end
  virtual int64_t Seek(int64_t Offset, uint16_t Origin);

  int64_t Position();
  void SetPosition(int64_t Pos);
  int64_t Size() { return GetSize(); }
  void ReadBuffer(void* Buffer, int32_t Count);
  void WriteBuffer(const void* Buffer, int32_t Count);
  int64_t CopyFrom(TStream* Source, int64_t Count);

  static constexpr int32_t MaxCopyBuffer = 61440;
};
