#include "streams/uStreamFork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ReferenceFork.h"
#include "rtl/Exceptions.h"

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

// Opens the pending input to the tests.
class TProbeFork : public TStreamFork {
 public:
  int32_t PendingSize() { return static_cast<int32_t>(FPending->Size()); }
  bool SomeSegmentOpen() const { return FOpenSegment != nullptr; }
};

// The main window's fork.
void Configure(TStreamFork& Fork, bool Defer) {
  Fork.DeferStartPattern = Defer;
  ASSERT_EQ(Fork.AddSegment("", "", 0), 0);
  ASSERT_EQ(Fork.AddSegment(EventStart, CrLf, 2000), 1);
  ASSERT_EQ(Fork.AddSegment(ModemStart, CrLf, 2000), 2);
}

void Feed(TStreamFork& Fork, const std::string& Data) {
  Fork.Feed(Data.data(), static_cast<int32_t>(Data.size()));
}

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

}  // namespace

TEST(StreamFork, MixedFeedRoutesEveryLineToItsSegment) {
  for (bool defer : {true, false}) {
    SCOPED_TRACE(defer ? "deferred start pattern" : "start pattern moved at once");
    TProbeFork fork;
    Configure(fork, defer);
    const std::string event = EventLine("power fail");
    const std::string modem = ModemLine("ATD123");
    Feed(fork, "hello" + CrLf + event + "more" + modem + "tail");
    fork.Flush();
    EXPECT_EQ(Text(fork, 0), "hello" + CrLf + "more" + "tail");
    EXPECT_EQ(Text(fork, 1), event);
    EXPECT_EQ(Text(fork, 2), modem);
    EXPECT_EQ(fork.PendingSize(), 0);
  }
}

TEST(StreamFork, MixedFeedLeavesNothingPendingAfterTheLastPlainByte) {
  TProbeFork fork;
  Configure(fork, true);
  Feed(fork, "hello" + CrLf + EventLine("x") + "more" + ModemLine("y") + "tail");
  EXPECT_EQ(fork.PendingSize(), 0);
  EXPECT_FALSE(fork.SomeSegmentOpen());
}

TEST(StreamFork, PiecesOfAnEventLineWaitOnlyWhileTheyMightBeAMarker) {
  for (bool defer : {true, false}) {
    SCOPED_TRACE(defer ? "deferred start pattern" : "start pattern moved at once");
    TProbeFork fork;
    Configure(fork, defer);
    Feed(fork, "abc" + Nul);
    EXPECT_EQ(Text(fork, 0), "abc");
    EXPECT_EQ(fork.PendingSize(), 1);
    Feed(fork, "\tX\r");
    EXPECT_EQ(Text(fork, 1), Nul + "\tX");
    EXPECT_EQ(fork.PendingSize(), 1);
    EXPECT_TRUE(fork.SomeSegmentOpen());
    Feed(fork, "\nZ");
    EXPECT_EQ(Text(fork, 1), Nul + "\tX\r\n");
    EXPECT_EQ(Text(fork, 0), "abcZ");
    EXPECT_EQ(fork.PendingSize(), 0);
    EXPECT_FALSE(fork.SomeSegmentOpen());
  }
}

TEST(StreamFork, LongerStartPatternWaitsForMoreBytes) {
  for (bool defer : {true, false}) {
    SCOPED_TRACE(defer ? "deferred start pattern" : "start pattern moved at once");
    TProbeFork fork;
    Configure(fork, defer);
    Feed(fork, "ab" + Nul + "\t" + Esc + "[3");
    EXPECT_EQ(Text(fork, 0), "ab");
    EXPECT_EQ(Text(fork, 1), "");
    EXPECT_EQ(fork.PendingSize(), 5);
    EXPECT_FALSE(fork.SomeSegmentOpen());
    Feed(fork, "1mM:\"q\"" + CrLf);
    EXPECT_EQ(Text(fork, 2), ModemLine("q"));
    EXPECT_EQ(Text(fork, 1), "");
    EXPECT_EQ(fork.PendingSize(), 0);
    EXPECT_FALSE(fork.SomeSegmentOpen());
  }
}

TEST(StreamFork, ShorterStartPatternWinsOnceTheLongerIsRuledOut) {
  TProbeFork fork;
  Configure(fork, true);
  Feed(fork, Nul + "\t" + Esc + "[31mM:");
  EXPECT_FALSE(fork.SomeSegmentOpen());
  Feed(fork, "x" + CrLf);
  EXPECT_EQ(Text(fork, 1), Nul + "\t" + Esc + "[31mM:x" + CrLf);
  EXPECT_EQ(Text(fork, 2), "");
}

TEST(StreamFork, StrayNulBeforeAMarkerGoesToTheTerminal) {
  TProbeFork fork;
  Configure(fork, true);
  Feed(fork, "a" + Nul + Nul + "\tE" + CrLf);
  EXPECT_EQ(Text(fork, 0), "a" + Nul);
  EXPECT_EQ(Text(fork, 1), Nul + "\tE" + CrLf);
}

TEST(StreamFork, ByteByByteFeedGivesTheSameSegments) {
  const std::string input =
      "x" + EventLine("e1") + Nul + "y" + ModemLine("m") + "z\r" + EventLine("M:no") + Nul;
  for (bool defer : {true, false}) {
    TProbeFork fork;
    Configure(fork, defer);
    for (char c : input) Feed(fork, std::string(1, c));
    fork.Flush();
    EXPECT_EQ(Text(fork, 0), "x" + Nul + "yz\r" + Nul);
    EXPECT_EQ(Text(fork, 1), EventLine("e1") + EventLine("M:no"));
    EXPECT_EQ(Text(fork, 2), ModemLine("m"));
  }
}

TEST(StreamFork, FlushMovesPendingBytesToTheOpenSegmentOrTheTerminal) {
  TProbeFork fork;
  Configure(fork, true);
  Feed(fork, "ab" + Nul);
  fork.Flush();
  EXPECT_EQ(Text(fork, 0), "ab" + Nul);
  Feed(fork, EventStart + "half\r");
  fork.Flush();
  EXPECT_EQ(Text(fork, 1), EventStart + "half\r");
  EXPECT_FALSE(fork.SomeSegmentOpen());
  Feed(fork, "next");
  EXPECT_EQ(Text(fork, 0), "ab" + Nul + "next");
}

TEST(StreamFork, ResetEmptiesEverythingAndClosesTheOpenSegment) {
  struct Case {
    const char* Name;
    std::string Input;
  };
  const Case cases[] = {
      {"open segment with a pending partial end", "t" + EventStart + "body\r"},
      {"open segment with nothing pending", "t" + EventStart + "body"},
      {"pending start", "t" + Nul + "\t" + Esc},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TProbeFork fork;
    Configure(fork, true);
    Feed(fork, c.Input);
    fork.Reset();
    EXPECT_EQ(fork.PendingSize(), 0);
    EXPECT_FALSE(fork.SomeSegmentOpen());
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(Text(fork, i), "") << i;
    Feed(fork, "after" + CrLf);
    EXPECT_EQ(Text(fork, 0), "after" + CrLf);
    EXPECT_EQ(Text(fork, 1), "");
  }
}

TEST(StreamFork, ForkWithoutSegmentsKeepsEverythingPending) {
  TProbeFork fork;
  Feed(fork, "abc");
  fork.Flush();
  EXPECT_EQ(fork.PendingSize(), 3);
  EXPECT_EQ(fork.SegmentCount(), 0);
  fork.Reset();
  EXPECT_EQ(fork.PendingSize(), 0);
}

TEST(StreamFork, SegmentIndexOutsideTheListRaisesListError) {
  TStreamFork fork;
  Configure(fork, true);
  EXPECT_EQ(fork.SegmentCount(), 3);
  EXPECT_EQ(fork.Segments(1)->StartPattern, EventStart);
  EXPECT_EQ(fork.Segments(2)->Timeout, 2000);
  EXPECT_EQ(fork.Segments(2)->FStamp, 0u);
  for (int32_t index : {3, -1}) {
    try {
      fork.Segments(index);
      FAIL() << "index " << index << " must raise";
    } catch (const EListError& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(index) + ")");
    }
  }
}

TEST(StreamFork, SegmentFindsPromptFromAGivenPosition) {
  TStreamFork fork;
  Configure(fork, true);
  const std::string prompt = Esc + "[34;1m<Tallybox";
  Feed(fork, "r?\r\nA=1\r\n" + prompt + " 1.00>" + Esc + "[0m");
  bool found = false;
  const int32_t at = fork.Segments(0)->Find(0, prompt, found);
  EXPECT_TRUE(found);
  EXPECT_EQ(at, 9);
  const int32_t end = fork.Segments(0)->Find(at, ">" + Esc + "[0m", found);
  EXPECT_TRUE(found);
  EXPECT_EQ(end, 9 + static_cast<int32_t>(prompt.size()) + 5);
  fork.Segments(0)->Find(0, "PASSWORD", found);
  EXPECT_FALSE(found);
}

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
  for (const Case& c : cases) {
    for (int32_t blockSize : {1, 2, 3, 1024}) {
      SCOPED_TRACE(testing::Message() << '"' << c.Content << "\" from " << c.Start << " for \""
                                      << c.Pattern << "\", block size " << blockSize);
      TFIFOStream fifo(blockSize, 0);
      fifo.Write(c.Content.data(), static_cast<int32_t>(c.Content.size()));
      bool found = !c.Found;
      EXPECT_EQ(FindInStream(&fifo, c.Start, c.Pattern, found), c.Result);
      EXPECT_EQ(found, c.Found);
      TStringStream plain(c.Content);
      found = !c.Found;
      EXPECT_EQ(FindInStream(&plain, c.Start, c.Pattern, found), c.Result);
      EXPECT_EQ(found, c.Found);
    }
  }
}

TEST(TextOperations, MatchAtComparesFromAOneBasedIndex) {
  struct Case {
    std::string S;
    int32_t Index;
    std::string Sub;
    bool Result;
  };
  const Case cases[] = {
      {"abcd", 1, "ab", true},    {"abcd", 2, "bc", true},     {"abcd", 3, "cd", true},
      {"abcd", 4, "de", false},   {"abcd", 5, "", true},       {"abcd", 0, "a", false},
      {"abcd", 2, "bd", false},   {"abcd", 1, "abcde", false}, {"", 1, "", true},
      {"a\0b"s, 2, "\0b"s, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchAt(c.S, c.Index, c.Sub), c.Result) << c.S << " @" << c.Index << " " << c.Sub;
}

TEST(TextOperations, ReplaceAllReplacesLeftToRightWithoutRescanning) {
  struct Case {
    std::string S, Old, New, Result;
  };
  const Case cases[] = {
      {"a-b-c", "-", "+", "a+b+c"},
      {"aa", "a", "aa", "aaaa"},
      {"aaa", "aa", "b", "ba"},
      {"Abc", "a", "x", "Abc"},
      {"", "a", "x", ""},
      {"abc", "", "x", "abc"},
      {EventStart + Red + "fault" + Plain + CrLf, EventStart + Red, "12:00:01 ",
       "12:00:01 fault" + Plain + CrLf},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceAll(c.S, c.Old, c.New), c.Result) << c.S;
}

namespace {

std::string RandomText(std::mt19937& Rng, int MaxLength, const std::string& Alphabet) {
  std::uniform_int_distribution<int> length(0, MaxLength);
  std::uniform_int_distribution<size_t> pick(0, Alphabet.size() - 1);
  std::string s;
  for (int i = length(Rng); i > 0; --i) s.push_back(Alphabet[pick(Rng)]);
  return s;
}

// A device stream whose routing is known by construction: terminal text (colours, CR LF,
// stray CRs and stray NULs that are not followed by TAB), event lines, modem lines, event
// lines that look like modem lines, and a cut-off modem marker that ends as an event line.
struct TDeviceStream {
  std::string Input;
  std::string Segment[3];
};

TDeviceStream RandomDeviceStream(std::mt19937& Rng, int Elements) {
  const std::string letters = "abcdefghij KLMN=0123456789:>\"?[";
  // Line text without a quotation mark can never complete a modem marker.
  const std::string unquoted = "abcdefghij KLMN=0123456789:>?[";
  TDeviceStream out;
  auto add = [&](int Segment, const std::string& Bytes) {
    out.Input += Bytes;
    out.Segment[Segment] += Bytes;
  };
  std::uniform_int_distribution<int> kind(0, 9);
  for (int i = 0; i < Elements; ++i) {
    switch (kind(Rng)) {
      case 0:
      case 1:
      case 2:
        add(0, RandomText(Rng, 40, letters + "\r\n"));
        break;
      case 3:
        add(0, Esc + "[3" + std::to_string(Rng() % 8) + "m" + RandomText(Rng, 20, letters) + Plain +
                   CrLf);
        break;
      case 4:
        add(0, RandomText(Rng, 5, letters) + Nul + RandomText(Rng, 1, "\x1b\r") + "x");
        break;
      case 5:
      case 6:
        add(1, EventLine(RandomText(Rng, 30, unquoted)));
        break;
      case 7:
        add(1, EventStart + Red + "M:" + RandomText(Rng, 8, unquoted) + "x" + CrLf);
        break;
      case 8:
        add(2, ModemLine(RandomText(Rng, 30, letters)));
        break;
      case 9:
        add(1, ModemStart.substr(0, 2 + Rng() % 8) + RandomText(Rng, 6, unquoted) + CrLf);
        break;
    }
  }
  // The stream may stop inside a marker. The longer modem marker is still possible there, so
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
    SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round
                                    << (defer ? " deferred" : " moved at once"));
    const TDeviceStream stream = RandomDeviceStream(rng, 1 + static_cast<int>(rng() % 60));
    TProbeFork fork;
    Configure(fork, defer);
    std::string seen[3];
    for (size_t at = 0; at < stream.Input.size();) {
      const size_t n = std::min<size_t>(1 + rng() % 300, stream.Input.size() - at);
      fork.Feed(stream.Input.data() + at, static_cast<int32_t>(n));
      at += n;
      if (rng() % 3 == 0)
        for (int s = 0; s < 3; ++s) seen[s] += Drain(fork, s);
    }
    fork.Flush();
    for (int s = 0; s < 3; ++s) {
      seen[s] += Drain(fork, s);
      ASSERT_EQ(seen[s], stream.Segment[s]) << "segment " << s;
    }
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
    TProbeFork fork;
    TReferenceFork ref;
    fork.DeferStartPattern = ref.Defer = rng() % 2 == 0;
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
      fork.Feed(input.data() + at, static_cast<int32_t>(n));
      ref.Feed(input.substr(at, n));
      at += n;
      ASSERT_EQ(fork.PendingSize(), static_cast<int32_t>(ref.Pending.size())) << "at " << at;
    }
    if (rng() % 4 != 0) {
      fork.Flush();
      ref.Flush();
    }
    std::string all;
    for (int i = 0; i < segments; ++i) {
      ASSERT_EQ(Text(fork, i), ref.Segments[static_cast<size_t>(i)].Text) << "segment " << i;
      all += ref.Segments[static_cast<size_t>(i)].Text;
    }
    ASSERT_EQ(all.size() + ref.Pending.size(), input.size());
  }
}

TEST(FindInStream, BlockSpanSearchAgreesWithTheByteByByteSearch) {
  const uint32_t seed = 99;
  std::mt19937 rng(seed);
  for (int round = 0; round < 4000; ++round) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round);
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
    bool found, expectedFound;
    const int32_t expected = ReferenceFind(content, start, pattern, expectedFound);
    ASSERT_EQ(FindInStream(&fifo, start, pattern, found), expected)
        << '"' << content << "\" from " << start << " for \"" << pattern << "\" block size "
        << blockSize;
    ASSERT_EQ(found, expectedFound);
    // The content is untouched by the search.
    ASSERT_EQ(Text(&fifo), content);
  }
}
