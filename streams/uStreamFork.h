// Splits the device's single byte stream into segments by start and end patterns: event
// lines, modem-trace lines and the terminal text around them. The main window feeds it every
// chunk it drains and searches segment text for the password request and the prompt.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "streams/uFifoStream.h"

class TSFSegment {
 public:
  TSFSegment();
  TSFSegment(const TSFSegment&) = delete;
  TSFSegment& operator=(const TSFSegment&) = delete;

  std::string StartPattern;
  std::string EndPattern;
  uint32_t FStamp = 0;  // tick at which the segment opened; 0: no time-out armed
  int32_t Timeout = 0;
  TFIFOStream* Stream = nullptr;  // owned by the segment (FOwnedStream)
  // Bytes that went from the front of Stream because nobody took them before it passed the
  // fork's SegmentLimit; whoever reads the segment reports them and sets it back to 0.
  int64_t Dropped = 0;
  // Set while the text must not be cut (a reply being framed): the limit leaves it alone.
  bool Keep = false;
  // Set: the segment ends at the first line end, whichever a device uses (CR LF, LF, or a CR
  // not followed by LF), instead of at EndPattern.
  bool AnyLineEnd = false;

  int32_t Find(int32_t Start, const std::string& Pattern, bool& Found);
  int32_t FindStart(TStream* Source, bool& Found);
  // The offset of the end, and in Length how many bytes the end itself has.
  int32_t FindEnd(TStream* Source, bool& Found, int32_t& Length);

 private:
  std::unique_ptr<TFIFOStream> FOwnedStream;
};

class TStreamFork {
 public:
  TStreamFork();
  ~TStreamFork();
  TStreamFork(const TStreamFork&) = delete;
  TStreamFork& operator=(const TStreamFork&) = delete;

  int32_t AddSegment(const std::string& StartPattern, const std::string& EndPattern,
                     int32_t Timeout);
  int32_t SegmentCount();
  TSFSegment* Segments(int32_t Index);  // EListError outside the list
  void Feed(const void* Buffer, int32_t Count);
  // Feed for a reader that keeps time: first Expire(Now), then every segment opened while
  // routing these bytes is stamped with Now, which arms its time-out.
  void Feed(const void* Buffer, int32_t Count, uint32_t Now);
  // A line whose end never comes (line noise, a device reset mid-line) would otherwise take
  // every later byte. Closes the open segment when it has waited longer than its Timeout
  // (ms; 0 or less never expires) since it was stamped: the pending bytes go to it, as with
  // Flush, and later bytes are routed as if no segment had been open. True when it closed
  // one; does nothing for a segment opened by the plain Feed (no stamp).
  bool Expire(uint32_t Now);
  void Flush();
  // Empties every segment and the pending input; drop counts and Keep flags start over.
  void Reset();

  // Each segment not marked Keep holds at most this many bytes after a Feed: the oldest go
  // first and are counted in its Dropped. 0: no limit.
  int64_t SegmentLimit = 0;

 protected:
  std::unique_ptr<TFIFOStream> FPending;
  TSFSegment* FOpenSegment = nullptr;
  std::vector<std::unique_ptr<TSFSegment>> FSegments;

 public:
  // Set: a recognised start pattern waits at the head of the pending input and reaches its
  // segment together with the body.
  bool DeferStartPattern = false;

 private:
  void Route();
  bool OpenFirstStartedSegment();
  void MoveTo(TSFSegment* Segment, int32_t Count);
  void Bound();

  uint32_t FFeedStamp = 0;  // stamp for segments opened by the running Feed; 0: none
};

// Searches Stream from the logical offset Start for Pattern. Found: the offset of the match.
// Not found: the offset of the earliest partial match that runs to the end of the content, or
// the size; no byte before the result can begin a match. Moves the stream's cursor.
int32_t FindInStream(TStream* Stream, int32_t Start, const std::string& Pattern, bool& Found);

// True when Sub occurs in S at Index (counted from 1) without running past the end of S.
bool MatchAt(const std::string& S, int32_t Index, const std::string& Sub);

// Every non-overlapping Old in S, left to right, replaced by New; New is not rescanned.
std::string ReplaceAll(const std::string& S, const std::string& Old, const std::string& New);
