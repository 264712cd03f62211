#include "rtl/Stream.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "rtl/Exceptions.h"

namespace {
int32_t CheckedInt32(int64_t Value) {
  if (Value < std::numeric_limits<int32_t>::min() || Value > std::numeric_limits<int32_t>::max())
    throw ERangeError();
  return static_cast<int32_t>(Value);
}
}  // namespace

int64_t TStream::GetSize() {
  const int64_t pos = Seek(int64_t{0}, 1);
  const int64_t size = Seek(int64_t{0}, 2);
  Seek(pos, 0);
  return size;
}

void TStream::SetSize(int32_t /*NewSize*/) {}

void TStream::SetSize(int64_t NewSize) {
  SetSize(CheckedInt32(NewSize));
}

int64_t TStream::Seek(int64_t Offset, uint16_t Origin) {
  return Seek(CheckedInt32(Offset), Origin);
}

int64_t TStream::Position() {
  return Seek(int64_t{0}, 1);
}

void TStream::SetPosition(int64_t Pos) {
  Seek(Pos, 0);
}

void TStream::ReadBuffer(void* Buffer, int32_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError();
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  const int64_t total = Count;
  // Small copies (the fork moves single lines) stay on the stack; big ones share one buffer.
  constexpr int32_t StackBuffer = 4096;
  char stackBuffer[StackBuffer];
  std::unique_ptr<char[]> heapBuffer;
  char* buffer = stackBuffer;
  const int32_t bufferSize = static_cast<int32_t>(std::min<int64_t>(Count, MaxCopyBuffer));
  if (bufferSize > StackBuffer) {
    heapBuffer = std::make_unique<char[]>(static_cast<size_t>(bufferSize));
    buffer = heapBuffer.get();
  }
  while (Count > 0) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, bufferSize));
    Source->ReadBuffer(buffer, n);
    WriteBuffer(buffer, n);
    Count -= n;
  }
  return total;
}
