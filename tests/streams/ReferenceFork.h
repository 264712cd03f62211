// Plain models of the stream fork's search and routing, written for clarity rather than
// speed: a string stream, the one-byte-per-Read search and the routing over strings. The fork's
// tests and its fuzz target hold the real fork to them.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "rtl/Stream.h"

// A stream that is not a FIFO: a string with a cursor, for the plain search path and for the
// reference search.
class TStringStream : public TStream {
 public:
  explicit TStringStream(std::string Data) : FData(std::move(Data)) {}
  using TStream::Seek;
  int32_t Read(void* Buffer, int32_t Count) override {
    const int32_t n = std::max(0, std::min<int32_t>(Count, Size32() - FPos));
    std::memcpy(Buffer, FData.data() + FPos, static_cast<size_t>(n));
    FPos += n;
    return n;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int32_t Seek(int32_t Offset, uint16_t Origin) override {
    const int32_t base = Origin == 0 ? 0 : Origin == 1 ? FPos : Size32();
    FPos = std::clamp<int32_t>(base + Offset, 0, Size32());
    return FPos;
  }

 private:
  int32_t Size32() const { return static_cast<int32_t>(FData.size()); }
  std::string FData;
  int32_t FPos = 0;
};

// The search as written down for the device dialogue: one byte per Read call, back to the
// byte after the candidate after a partial match.
inline int32_t ReferenceFind(const std::string& Content, int32_t Start, const std::string& Pattern,
                             bool& Found) {
  Found = false;
  TStringStream s(Content);
  if (Pattern.empty()) return static_cast<int32_t>(Content.size());
  s.Seek(Start, 0);
  int32_t p = Start;
  size_t matched = 0;
  char c;
  while (s.Read(&c, 1) == 1) {
    if (c == Pattern[matched]) {
      if (++matched == Pattern.size()) {
        Found = true;
        return p;
      }
      continue;
    }
    ++p;
    if (matched > 0) s.Seek(p, 0);
    matched = 0;
  }
  return p;
}

// The routing written plainly over strings with the reference search, to hold the fork to on
// arbitrary bytes.
class TReferenceFork {
 public:
  struct TSegment {
    std::string Start, End, Text;
  };
  std::vector<TSegment> Segments;
  bool Defer = false;
  std::string Pending;
  int Open = -1;

  void Feed(const std::string& Bytes) {
    Pending += Bytes;
    bool found;
    while (!Segments.empty()) {
      if (Open < 0) {
        int32_t bestPos = static_cast<int32_t>(Pending.size());
        int best = -1;
        bool bestFound = false;
        for (int i = 0; i < static_cast<int>(Segments.size()); ++i) {
          const int32_t pos = ReferenceFind(Pending, 0, Segments[i].Start, found);
          if (pos > bestPos) continue;
          if (pos < bestPos || best < 0 ||
              Segments[i].Start.size() > Segments[static_cast<size_t>(best)].Start.size()) {
            best = i;
            bestFound = found;
          }
          bestPos = pos;
        }
        Move(0, static_cast<size_t>(bestPos));
        if (bestFound) {
          Open = best;
          if (!Defer) Move(best, Segments[static_cast<size_t>(best)].Start.size());
        }
      }
      if (Open < 0) return;
      TSegment& seg = Segments[static_cast<size_t>(Open)];
      const int32_t pos = ReferenceFind(Pending, 0, seg.End, found);
      Move(Open, static_cast<size_t>(pos));
      if (!found) return;
      Move(Open, seg.End.size());
      Open = -1;
    }
  }
  void Flush() {
    if (Segments.empty()) return;
    Move(Open < 0 ? 0 : Open, Pending.size());
    Open = -1;
  }

 private:
  void Move(int Segment, size_t Count) {
    Segments[static_cast<size_t>(Segment)].Text += Pending.substr(0, Count);
    Pending.erase(0, Count);
  }
};
