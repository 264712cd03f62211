#include "streams/uStreamFork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ReferenceFork.h"
#include "rtl/Exceptions.h"
#include "support/ErrorText.h"

using namespace std::string_literals;

namespace {

const std::string Nul = "\0"s;
const std::string Esc = "\x1b";
const std::string CrLf = "\r\n";
const std::string EventStart = Nul + "\t";
const std::string ModemStart = Nul + "\t" + Esc + "[31mM:\"";
const std::string Red = Esc + "[31m";
const std::string Plain = Esc + "[0m";

std::string EventLine(const std::string& Text) {
  return EventStart + Red + Text + Plain + CrLf;
}
std::string ModemLine(const std::string& Text) {
  return ModemStart + Text + "\"" + CrLf;
}

// Opens the pending input to the tests; set up like the main window's fork.
class TProbeFork : public TStreamFork {
 public:
  explicit TProbeFork(bool Defer = true, bool Configure = true) {
    DeferStartPattern = Defer;
    if (!Configure) return;
    AddSegment("", "", 0);
    AddSegment(EventStart, CrLf, 2000);
    AddSegment(ModemStart, CrLf, 2000);
  }
  int32_t PendingSize() { return static_cast<int32_t>(FPending->Size()); }
  bool SomeSegmentOpen() const { return FOpenSegment != nullptr; }
  void Feed(const std::string& Data) {
    TStreamFork::Feed(Data.data(), static_cast<int32_t>(Data.size()));
  }
};

std::string Text(TStream* Stream) {
  Stream->Seek(0, 0);
  std::string s(static_cast<size_t>(Stream->Size()), '\0');
  s.resize(static_cast<size_t>(Stream->Read(s.data(), static_cast<int32_t>(s.size()))));
  return s;
}

std::string Text(TStreamFork& Fork, int32_t Segment) {
  return Text(Fork.Segments(Segment)->Stream);
}

// Reads a segment the way the main window does: everything, then drop it.
std::string Drain(TStreamFork& Fork, int32_t Segment) {
  TFIFOStream* s = Fork.Segments(Segment)->Stream;
  std::string text = Text(s);
  s->Seek(0, 2);
  s->DiscardRead();
  return text;
}

std::string Mode(bool Defer) {
  return Defer ? "deferred start pattern" : "start pattern moved at once";
}

}  // namespace

// Worked cases, each a list of steps checked after every step: the three segment texts, the
// pending input and whether a segment is open. Every case runs with and without
// DeferStartPattern, fed in one piece per step and byte by byte.
TEST(StreamFork, WorkedCasesRouteEveryByteToItsSegment) {
  enum TAction { Feed, Flush, Reset };
  struct TStep {
    TAction Action;
    std::string Bytes, Terminal, Event, Modem;
    int32_t Pending;
    bool Open;
  };
  const std::string mixed = "hello" + CrLf + EventLine("power fail") + "more" +
                            ModemLine("ATD123") + Nul + "z\r" + EventLine("M:no") + "tail";
  const std::string mixedTerminal = "hello" + CrLf + "more" + Nul + "z\rtail";
  const std::string mixedEvents = EventLine("power fail") + EventLine("M:no");
  const std::string held = Nul + "\t" + Esc + "[31mM:";  // the modem marker cut short
  const std::pair<const char*, std::vector<TStep>> cases[] = {
      {"mixed lines in one feed",
       {{Feed, mixed, mixedTerminal, mixedEvents, ModemLine("ATD123"), 0, false},
        {Flush, "", mixedTerminal, mixedEvents, ModemLine("ATD123"), 0, false}}},
      {"held NUL, then TAB",
       {{Feed, "abc" + Nul, "abc", "", "", 1, false},
        {Feed, "\tX\r", "abc", Nul + "\tX", "", 1, true},
        {Feed, "\nZ", "abcZ", Nul + "\tX" + CrLf, "", 0, false}}},
      {"longer start pattern held back",
       {{Feed, "ab" + Nul + "\t" + Esc + "[3", "ab", "", "", 5, false},
        {Feed, "1mM:\"q\"" + CrLf, "ab", "", ModemLine("q"), 0, false}}},
      {"shorter start pattern wins once the longer is ruled out",
       {{Feed, held, "", "", "", 9, false},
        {Feed, "x" + CrLf, "", held + "x" + CrLf, "", 0, false}}},
      {"NUL NUL TAB",
       {{Feed, "a" + Nul + Nul + "\tE" + CrLf, "a" + Nul, Nul + "\tE" + CrLf, "", 0, false}}},
      {"Flush hands a held NUL to the terminal",
       {{Feed, "ab" + Nul, "ab", "", "", 1, false},
        {Flush, "", "ab" + Nul, "", "", 0, false},
        {Feed, "next", "ab" + Nul + "next", "", "", 0, false}}},
      {"Flush closes a segment with a partial end pending",
       {{Flush, EventStart + "half\r", "", EventStart + "half\r", "", 0, false},
        {Feed, "next", "next", EventStart + "half\r", "", 0, false}}},
      {"Flush closes a segment with nothing pending",
       {{Feed, EventStart + "body", "", EventStart + "body", "", 0, true},
        {Flush, "", "", EventStart + "body", "", 0, false},
        {Feed, "next", "next", EventStart + "body", "", 0, false}}},
      {"Reset with an open segment and a partial end pending",
       {{Reset, "t" + EventStart + "body\r", "", "", "", 0, false},
        {Feed, "after" + CrLf, "after" + CrLf, "", "", 0, false}}},
      {"Reset with an open segment and nothing pending",
       {{Reset, "t" + EventStart + "body", "", "", "", 0, false},
        {Feed, "after" + CrLf, "after" + CrLf, "", "", 0, false}}},
      {"Reset with a start pending",
       {{Reset, "t" + Nul + "\t" + Esc, "", "", "", 0, false},
        {Feed, "after" + CrLf, "after" + CrLf, "", "", 0, false}}},
  };
  for (const auto& [name, steps] : cases)
    for (bool defer : {true, false})
      for (bool byteByByte : {false, true}) {
        SCOPED_TRACE(name + (", " + Mode(defer)) + (byteByByte ? ", byte by byte" : ""));
        TProbeFork fork(defer);
        for (size_t i = 0; i < steps.size(); ++i) {
          const TStep& step = steps[i];
          SCOPED_TRACE(testing::Message() << "step " << i);
          if (byteByByte)
            for (char c : step.Bytes) fork.Feed(std::string(1, c));
          else
            fork.Feed(step.Bytes);
          if (step.Action == Flush) fork.Flush();
          if (step.Action == Reset) fork.Reset();
          EXPECT_EQ(Text(fork, 0), step.Terminal);
          EXPECT_EQ(Text(fork, 1), step.Event);
          EXPECT_EQ(Text(fork, 2), step.Modem);
          EXPECT_EQ(fork.PendingSize(), step.Pending);
          EXPECT_EQ(fork.SomeSegmentOpen(), step.Open);
        }
      }
}

TEST(StreamFork, ForkWithoutSegmentsKeepsEverythingPendingAndBadIndexesRaise) {
  TProbeFork empty(true, false);
  empty.Feed("abc");
  empty.Flush();
  EXPECT_EQ(empty.PendingSize(), 3);
  empty.Reset();
  EXPECT_EQ(empty.PendingSize(), 0);
  TProbeFork fork;
  EXPECT_EQ(ErrorOf<EListError>([&] { fork.Segments(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf<EListError>([&] { fork.Segments(-1); }), "List index out of bounds (-1)");
}

// Returns the match, or the earliest trailing partial match; Start is clamped to the content.
TEST(FindInStream, ReturnsTheMatchOrTheEarliestTrailingPartialMatch) {
  struct Case {
    std::string Content;
    int32_t Start;
    std::string Pattern;
    int32_t Result;
    bool Found;
  };
  const Case cases[] = {
      {"xyPASSWORD:", 0, "PASSWORD", 2, true},
      {"PPASSWORD", 0, "PASSWORD", 1, true},
      {"abcPASS", 0, "PASSWORD", 3, false},
      {"abc", 0, "PASSWORD", 3, false},
      {"abc", 0, "", 3, false},
      {"AA", 0, "AB", 1, false},
      {"ABAB", 1, "AB", 2, true},
      {"ABAB", 3, "AB", 4, false},
      {"ABAB", 4, "AB", 4, false},
      {"AAAB", 0, "AAB", 1, true},
      {"", 0, "A", 0, false},
      {"abc", 9, "A", 3, false},
      {"abc", -4, "b", 1, true},
  };
  for (const Case& c : cases)
    for (int32_t blockSize : {0, 1, 2, 3, 1024}) {  // 0: a stream that is not a FIFO
      SCOPED_TRACE(testing::Message() << '"' << c.Content << "\" from " << c.Start << " for \""
                                      << c.Pattern << "\", block size " << blockSize);
      TFIFOStream fifo(std::max(blockSize, 1), 0);
      fifo.Write(c.Content.data(), static_cast<int32_t>(c.Content.size()));
      TStringStream plain(c.Content);
      bool found = !c.Found;
      EXPECT_EQ(FindInStream(blockSize ? static_cast<TStream*>(&fifo) : &plain, c.Start, c.Pattern,
                             found),
                c.Result);
      EXPECT_EQ(found, c.Found);
    }
}

TEST(TextOperations, MatchAtComparesFromAOneBasedIndex) {
  const std::tuple<std::string, int32_t, std::string, bool> cases[] = {
      {"abcd", 1, "ab", true},    {"abcd", 2, "bc", true},     {"abcd", 3, "cd", true},
      {"abcd", 4, "de", false},   {"abcd", 5, "", true},       {"abcd", 0, "a", false},
      {"abcd", 2, "bd", false},   {"abcd", 1, "abcde", false}, {"", 1, "", true},
      {"a\0b"s, 2, "\0b"s, true},
  };
  for (const auto& [s, index, sub, result] : cases)
    EXPECT_EQ(MatchAt(s, index, sub), result) << s << " @" << index << " " << sub;
}

TEST(TextOperations, ReplaceAllReplacesLeftToRightWithoutRescanning) {
  const std::string cases[][4] = {
      {"a-b-c", "-", "+", "a+b+c"},
      {"aa", "a", "aa", "aaaa"},
      {"aaa", "aa", "b", "ba"},
      {"Abc", "a", "x", "Abc"},
      {"", "a", "x", ""},
      {"abc", "", "x", "abc"},
      {EventStart + Red + "fault" + Plain + CrLf, EventStart + Red, "12:00:01 ",
       "12:00:01 fault" + Plain + CrLf},
  };
  for (const auto& c : cases) EXPECT_EQ(ReplaceAll(c[0], c[1], c[2]), c[3]) << c[0];
}

namespace {

std::string RandomText(std::mt19937& Rng, int MaxLength, const std::string& Alphabet) {
  std::string s;
  for (int i = static_cast<int>(Rng() % (MaxLength + 1)); i > 0; --i)
    s.push_back(Alphabet[Rng() % Alphabet.size()]);
  return s;
}

// A device stream whose routing is known by construction: terminal text (colours, CR LF,
// stray CRs and NULs not followed by TAB), event lines, modem lines, event lines that look
// like modem lines, and a cut-off modem marker that ends as an event line.
struct TDeviceStream {
  std::string Input;
  std::string Segment[3];
};

TDeviceStream RandomDeviceStream(std::mt19937& Rng, int Elements) {
  const std::string letters = "abcdefghij KLMN=0123456789:>\"?[";
  const std::string unquoted = "abcdefghij KLMN=0123456789:>?[";  // never completes a modem marker
  TDeviceStream out;
  auto add = [&](int Segment, const std::string& Bytes) {
    out.Input += Bytes;
    out.Segment[Segment] += Bytes;
  };
  for (int i = 0; i < Elements; ++i) {
    const unsigned kind = Rng() % 10;
    if (kind <= 2)
      add(0, RandomText(Rng, 40, letters + "\r\n"));
    else if (kind == 3)
      add(0, Esc + "[3" + std::to_string(Rng() % 8) + "m" + RandomText(Rng, 20, letters) + Plain +
                 CrLf);
    else if (kind == 4)
      add(0, RandomText(Rng, 5, letters) + Nul + RandomText(Rng, 1, "\x1b\r") + "x");
    else if (kind <= 6)
      add(1, EventLine(RandomText(Rng, 30, unquoted)));
    else if (kind == 7)
      add(1, EventStart + Red + "M:" + RandomText(Rng, 8, unquoted) + "x" + CrLf);
    else if (kind == 8)
      add(2, ModemLine(RandomText(Rng, 30, letters)));
    else
      add(1, ModemStart.substr(0, 2 + Rng() % 8) + RandomText(Rng, 6, unquoted) + CrLf);
  }
  // The stream may stop inside a marker: the longer modem marker is still possible there, so
  // no segment opens and Flush hands the piece to the terminal.
  if (Rng() % 2) add(0, ModemStart.substr(0, 1 + Rng() % 9));
  return out;
}

}  // namespace

TEST(StreamFork, RandomDeviceStreamsAreSplitIntoWholeLines) {
  const uint32_t seed = 777001;
  std::mt19937 rng(seed);
  for (int round = 0; round < 200; ++round) {
    const bool defer = round % 2 == 0;
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << " round " << round << ", " << Mode(defer));
    const TDeviceStream stream = RandomDeviceStream(rng, 1 + static_cast<int>(rng() % 60));
    TProbeFork fork(defer);
    std::string seen[3];
    for (size_t at = 0; at < stream.Input.size();) {
      const size_t n = std::min<size_t>(1 + rng() % 300, stream.Input.size() - at);
      fork.Feed(stream.Input.substr(at, n));
      at += n;
      if (rng() % 3 == 0)
        for (int s = 0; s < 3; ++s) seen[s] += Drain(fork, s);
    }
    fork.Flush();
    for (int s = 0; s < 3; ++s) ASSERT_EQ(seen[s] + Drain(fork, s), stream.Segment[s]) << s;
    ASSERT_EQ(fork.PendingSize(), 0);
  }
}

TEST(StreamFork, ArbitraryBytesRouteLikeThePlainAlgorithm) {
  const uint32_t seed = 4242;
  std::mt19937 rng(seed);
  const std::string alphabet = Nul + "\t\r\nAB";
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round);
    // Patterns from the same small alphabet, so that they overlap and nest.
    TProbeFork fork(rng() % 2 == 0, false);
    TReferenceFork ref;
    ref.Defer = fork.DeferStartPattern;
    const int segments = static_cast<int>(rng() % 4);
    for (int i = 0; i < segments; ++i) {
      std::string start = i == 0 ? "" : RandomText(rng, 4, alphabet);
      std::string end = RandomText(rng, 3, alphabet);
      fork.AddSegment(start, end, 0);
      ref.Segments.push_back({start, end, ""});
    }
    const std::string input = RandomText(rng, 400, alphabet);
    for (size_t at = 0; at < input.size();) {
      const size_t n = std::min<size_t>(1 + rng() % 40, input.size() - at);
      fork.Feed(input.substr(at, n));
      ref.Feed(input.substr(at, n));
      at += n;
      ASSERT_EQ(fork.PendingSize(), static_cast<int32_t>(ref.Pending.size())) << "at " << at;
    }
    if (rng() % 4 != 0) {
      fork.Flush();
      ref.Flush();
    }
    size_t total = ref.Pending.size();
    for (int i = 0; i < segments; ++i) {
      ASSERT_EQ(Text(fork, i), ref.Segments[static_cast<size_t>(i)].Text) << "segment " << i;
      total += ref.Segments[static_cast<size_t>(i)].Text.size();
    }
    ASSERT_EQ(total, input.size());
  }
}

TEST(FindInStream, BlockSpanSearchAgreesWithTheByteByByteSearch) {
  const uint32_t seed = 99;
  std::mt19937 rng(seed);
  for (int round = 0; round < 4000; ++round) {
    const std::string content = RandomText(rng, 60, "aab");
    const std::string pattern = RandomText(rng, 6, "ab");
    const int32_t blockSize = 1 + static_cast<int32_t>(rng() % 16);
    // Some content read and discarded first, so the first block starts part-way in.
    const std::string discarded = RandomText(rng, 20, "ab");
    TFIFOStream fifo(blockSize, 0);
    fifo.Write(discarded.data(), static_cast<int32_t>(discarded.size()));
    fifo.Write(content.data(), static_cast<int32_t>(content.size()));
    fifo.Seek(static_cast<int32_t>(discarded.size()), 0);
    fifo.DiscardRead();
    const auto start = static_cast<int32_t>(rng() % (content.size() + 1));
    SCOPED_TRACE(testing::Message()
                 << "seed " << seed << " round " << round << ": \"" << content << "\" from "
                 << start << " for \"" << pattern << "\" block size " << blockSize);
    bool found, expectedFound;
    ASSERT_EQ(FindInStream(&fifo, start, pattern, found),
              ReferenceFind(content, start, pattern, expectedFound));
    ASSERT_EQ(found, expectedFound);
    ASSERT_EQ(Text(&fifo), content);  // the search leaves the content alone
  }
}

// A line segment whose end never comes is closed once it has waited longer than its time-out;
// what follows is routed as if no segment had been open. Stamps are taken modulo 2^32.
TEST(StreamFork, LineWithoutItsEndClosesAfterItsTimeout) {
  struct TCase {
    const char* Name;
    uint32_t Opened;
    uint32_t Later;
    bool Timed;  // fed with the tick, or through the plain Feed
    bool Closes;
  };
  const TCase cases[] = {
      {"waited longer than the time-out", 5000, 7001, true, true},
      {"waited exactly the time-out", 5000, 7000, true, false},
      {"stamp across the wrap of the tick", 0xFFFFFF00u, 0xFFFFFF00u + 2001u, true, true},
      {"opened by the plain feed", 5000, 90000, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TProbeFork fork;
    const std::string stuck = EventStart + Red + "reset mid-li\r";
    if (c.Timed)
      fork.TStreamFork::Feed(stuck.data(), static_cast<int32_t>(stuck.size()), c.Opened);
    else
      fork.Feed(stuck);
    ASSERT_TRUE(fork.SomeSegmentOpen());
    const std::string prompt = "ok" + Esc + "[34;1m<Tallybox>";
    fork.TStreamFork::Feed(prompt.data(), static_cast<int32_t>(prompt.size()), c.Later);
    EXPECT_EQ(fork.SomeSegmentOpen(), !c.Closes);
    if (c.Closes) {
      EXPECT_EQ(Drain(fork, 1), stuck);  // the held CR went with its line
      EXPECT_EQ(Drain(fork, 0), prompt);
      EXPECT_FALSE(fork.Expire(c.Later + 5000));  // nothing open any more
    } else {
      EXPECT_EQ(Drain(fork, 1), EventStart + Red + "reset mid-li\r" + prompt);
      EXPECT_EQ(Drain(fork, 0), "");
    }
  }
}

TEST(StreamFork, SegmentLimitDropsTheOldestTextUnlessTheSegmentIsKept) {
  TProbeFork fork;
  fork.SegmentLimit = 1000;
  fork.Segments(0)->Keep = true;
  std::string terminal, events;
  for (int n = 0; n < 100; ++n) {
    const std::string text = "terminal text " + std::to_string(n) + "\r\n";
    const std::string event = EventLine("event " + std::to_string(n));
    terminal += text;
    events += event;
    fork.Feed(text + event);
  }
  EXPECT_EQ(Text(fork, 0), terminal);  // kept whole, past the limit
  EXPECT_EQ(fork.Segments(0)->Dropped, 0);
  EXPECT_EQ(Text(fork, 1), events.substr(events.size() - 1000));
  EXPECT_EQ(fork.Segments(1)->Dropped, static_cast<int64_t>(events.size() - 1000));
  fork.Segments(0)->Keep = false;
  fork.Feed("x");
  EXPECT_EQ(Text(fork, 0), (terminal + "x").substr(terminal.size() + 1 - 1000));
  fork.Reset();
  EXPECT_EQ(fork.Segments(1)->Dropped, 0);
  EXPECT_FALSE(fork.Segments(0)->Keep);
}
