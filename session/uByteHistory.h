// The terminal's bytes exactly as they came and went, for its hex view: every byte received
// for the terminal and every byte the user typed to the device, in the order they passed,
// each marked with its direction; only the last Capacity bytes are kept, their offsets still
// counted from the first byte since the last Clear. THexRows shows them sixteen to a line.
// Qt-free.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/uLineStore.h"

class TByteHistory {
 public:
  explicit TByteHistory(int64_t Capacity);

  void Append(std::string_view Bytes, bool Sent);
  void Clear();

  // Offset of the oldest byte kept, and one past the newest.
  int64_t FirstOffset() const { return FEnd - static_cast<int64_t>(FSize); }
  int64_t EndOffset() const { return FEnd; }
  // The byte at Offset (FirstOffset() <= Offset < EndOffset()) and whether the user sent it.
  unsigned char At(int64_t Offset) const;
  bool Sent(int64_t Offset) const;
  int64_t Capacity() const { return static_cast<int64_t>(FCapacity); }

 private:
  size_t FCapacity;
  std::string FBytes;       // a ring: the byte at offset o lies at o % capacity; grows to it
  std::vector<bool> FSent;  // alongside
  size_t FSize = 0;
  int64_t FEnd = 0;
};

// The hex view's lines: row r holds the bytes from offset 16 r on (rows begin at a multiple
// of 16 counted from the first byte, so a row may start part-filled once the oldest bytes
// went). A row reads: the offset in eight hex digits (more once it is that large), two spaces,
// sixteen bytes as two hex digits each, a space between them and two after the eighth, then
// two spaces and the printable ASCII characters, "." for any other byte. A byte the user sent
// is drawn in SentColor, bold, in both places.
class THexRows : public TLineSource {
 public:
  static constexpr int BytesPerRow = 16;
  static constexpr TTextColor SentColor = 0x000080FF;  // orange: 0xFF, 0x80, 0x00

  explicit THexRows(const TByteHistory& Bytes) : FBytes(Bytes) {}

  int64_t Count() const override;
  int64_t FirstNumber() const override { return FBytes.FirstOffset() / BytesPerRow; }
  void GetLine(int64_t Index, TLine& Out) const override;
  int64_t Widest() const override;

  // Where the hex digits of the byte in Column of a row start, and where its character is.
  static int64_t HexColumn(int Column);
  static int64_t CharColumn(int Column);

 private:
  const TByteHistory& FBytes;
};
