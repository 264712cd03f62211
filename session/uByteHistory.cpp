#include "session/uByteHistory.h"

#include <algorithm>

// The ring takes memory as bytes come, up to its capacity: a terminal that shows little
// costs little, and none of it is touched at start-up.
TByteHistory::TByteHistory(int64_t Capacity)
    : FCapacity(static_cast<size_t>(std::max<int64_t>(Capacity, THexRows::BytesPerRow))) {}

void TByteHistory::Append(std::string_view Bytes, bool Sent) {
  const size_t capacity = FCapacity;
  // Only the last capacity bytes of a long text would stay.
  if (Bytes.size() > capacity) {
    FEnd += static_cast<int64_t>(Bytes.size() - capacity);
    Bytes.remove_prefix(Bytes.size() - capacity);
  }
  while (!Bytes.empty()) {
    const size_t at = static_cast<size_t>(FEnd % static_cast<int64_t>(capacity));
    const size_t n = std::min(Bytes.size(), capacity - at);
    if (at + n > FBytes.size()) {
      FBytes.resize(at + n);
      FSent.resize(at + n);
    }
    FBytes.replace(at, n, Bytes.data(), n);
    std::fill_n(FSent.begin() + static_cast<std::ptrdiff_t>(at), n, Sent);
    FEnd += static_cast<int64_t>(n);
    FSize = std::min(FSize + n, capacity);
    Bytes.remove_prefix(n);
  }
}

void TByteHistory::Clear() {
  FSize = 0;
  FEnd = 0;
}

unsigned char TByteHistory::At(int64_t Offset) const {
  return static_cast<unsigned char>(FBytes[static_cast<size_t>(Offset % Capacity())]);
}

bool TByteHistory::Sent(int64_t Offset) const {
  return FSent[static_cast<size_t>(Offset % Capacity())];
}

int64_t THexRows::Count() const {
  const int64_t first = FirstNumber();
  const int64_t end = (FBytes.EndOffset() + BytesPerRow - 1) / BytesPerRow;
  return std::max<int64_t>(end - first, 1);  // an empty view still has its one empty line
}

int64_t THexRows::HexColumn(int Column) {
  return 10 + 3 * Column + (Column >= 8 ? 1 : 0);
}

int64_t THexRows::CharColumn(int Column) {
  return HexColumn(BytesPerRow) + 1 + Column;
}

int64_t THexRows::Widest() const {
  const int64_t digits =
      std::max<int64_t>(8, (64 - __builtin_clzll(FBytes.EndOffset() | 1) + 3) / 4);
  return CharColumn(BytesPerRow) + digits - 8;
}

namespace {

void AppendHex(std::string& Out, uint64_t Value, int Digits) {
  static const char hex[] = "0123456789abcdef";
  for (int d = Digits - 1; d >= 0; --d) Out += hex[(Value >> (4 * d)) & 0xF];
}

// Runs that draw the sent bytes apart: Spans are their columns, from and to, in order.
void MarkRuns(std::vector<TTextRun>& Runs, const std::vector<std::pair<int64_t, int64_t>>& Spans) {
  for (const auto& [from, to] : Spans) {
    if (!Runs.empty() && Runs.back().Start == from)
      Runs.pop_back();  // right after the last sent byte: its run goes on
    else
      Runs.push_back({static_cast<uint32_t>(from), THexRows::SentColor, TTextStyle::Bold});
    Runs.push_back({static_cast<uint32_t>(to), clWindowText, TTextStyle::Normal});
  }
}

}  // namespace

void THexRows::GetLine(int64_t Index, TLine& Out) const {
  Out.Text.clear();
  Out.Runs.clear();
  const int64_t rowStart = (FirstNumber() + Index) * BytesPerRow;
  if (rowStart >= FBytes.EndOffset()) return;
  const int digits = static_cast<int>(Widest() - CharColumn(BytesPerRow) + 8);
  AppendHex(Out.Text, static_cast<uint64_t>(rowStart), digits);
  const int64_t shift = digits - 8;
  std::string chars;
  std::vector<std::pair<int64_t, int64_t>> hexSent, charSent;
  for (int c = 0; c < BytesPerRow; ++c) {
    Out.Text += c == 8 ? "  " : " ";
    if (c == 0) Out.Text += ' ';
    const int64_t offset = rowStart + c;
    if (offset < FBytes.FirstOffset() || offset >= FBytes.EndOffset()) {
      Out.Text += "  ";
      if (offset < FBytes.FirstOffset()) chars += ' ';  // went already; none yet after the end
      continue;
    }
    const unsigned char byte = FBytes.At(offset);
    if (FBytes.Sent(offset)) {
      hexSent.push_back({HexColumn(c) + shift, HexColumn(c) + shift + 2});
      charSent.push_back({CharColumn(c) + shift, CharColumn(c) + shift + 1});
    }
    AppendHex(Out.Text, byte, 2);
    chars += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
  }
  Out.Text += "  ";
  Out.Text += chars;
  hexSent.insert(hexSent.end(), charSent.begin(), charSent.end());
  MarkRuns(Out.Runs, hexSent);
}
