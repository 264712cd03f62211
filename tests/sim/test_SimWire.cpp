// What tallybox-sim sends, read the way the utility reads it: through its stream fork, the
// pump's password and prompt searches, the response splitter and the parameter list; and the
// registers page filled from that list, submitted and programmed back into the device.
#include "params/uStorage.h"
#include "sim/uSimDevice.h"
#include "sim/uSimSession.h"
#include "sim/uSimText.h"
#include "streams/uStreamFork.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <vector>

namespace {

const std::string kPassword = "PASSWORD";
const std::string kPromptStart = "\x1b[34;1m<Tallybox";
const std::string kPromptEnd = ">\x1b[0m";
const std::string kEventStart("\0\t", 2);
const std::string kModemStart("\0\t\x1b[31mM:\"", 10);

// The utility's end of the link: the fork set up as the main window sets it up, and the
// searches its pump makes in the terminal segment.
class TUtilityEnd {
 public:
  TUtilityEnd() {
    FFork.AddSegment("", "", 0);
    FFork.AddSegment(kEventStart, "\r\n", 2000);
    FFork.AddSegment(kModemStart, "\r\n", 2000);
    FFork.DeferStartPattern = true;
  }

  void Feed(const std::string& Bytes) {
    FFork.Feed(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  }

  // The login step: the password request, and everything up to it, leaves the segment; a
  // prompt empties it.
  bool FindPassword() {
    bool found = false;
    const int32_t at = Terminal()->Find(0, kPassword, found);
    if (found) Take(0, at + static_cast<int32_t>(kPassword.size()));
    return found;
  }
  bool FindPromptAtLogin() {
    bool found = false;
    Terminal()->Find(0, kPromptStart, found);
    if (found) Take(0, Size(0));
    return found;
  }
  // The command step: with the prompt's start and end present, the text before it is the
  // reply and the prompt leaves the segment.
  bool TakeReply(std::string& Reply) {
    bool started = false, ended = false;
    const int32_t p = Terminal()->Find(0, kPromptStart, started);
    if (!started) return false;
    const int32_t e = Terminal()->Find(p, kPromptEnd, ended);
    if (!ended) return false;
    Reply = Take(0, p);
    Take(0, e - p + static_cast<int32_t>(kPromptEnd.size()));
    return true;
  }
  std::string Take(int Segment, int32_t Count) {
    auto* stream = FFork.Segments(Segment)->Stream;
    std::string bytes(static_cast<std::size_t>(Count), '\0');
    stream->Seek(0, 0);
    if (Count > 0) bytes.resize(static_cast<std::size_t>(stream->Read(bytes.data(), Count)));
    stream->DiscardRead();
    return bytes;
  }
  std::string TakeAll(int Segment) { return Take(Segment, Size(Segment)); }
  int32_t Size(int Segment) {
    return static_cast<int32_t>(FFork.Segments(Segment)->Stream->GetSize());
  }

 private:
  TSFSegment* Terminal() { return FFork.Segments(0); }
  TStreamFork FFork;
};

TSimSessionConfig Quiet(TSimRoute Route) {
  TSimSessionConfig config;
  config.Route = Route;
  config.Password = "pw";
  config.EventIntervalMs = config.TextIntervalMs = config.ModemIntervalMs = 0;
  return config;
}

std::string Drain(TSimSession& Session) {
  std::string all;
  auto& output = Session.Output();
  for (auto piece = output.Peek(0); !piece.empty(); piece = output.Peek(0)) {
    all.append(piece);
    output.Consume(piece.size(), 0);
  }
  return all;
}

// The modem string decoding the utility applies to the text after M:".
std::string DecodeModemString(const std::string& Line) {
  std::string out;
  std::size_t i = Line.find("M:\"") + 3;
  while (i < Line.size() && Line[i] != '"') {
    if (Line[i] == '\\' && i + 3 < Line.size() && Line[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(Line[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(Line[i + 3]))) {
      out += static_cast<char>(std::stoi(Line.substr(i + 2, 2), nullptr, 16));
      i += 4;
    } else {
      out += Line[i++];
    }
  }
  return out;
}

class SimWire : public ::testing::TestWithParam<std::size_t> {
 protected:
  // Feeds Bytes in pieces of the test's size, calling After with whether it was the last.
  template <typename F>
  void FeedInPieces(const std::string& Bytes, F After) {
    const std::size_t piece = GetParam() == 0 ? Bytes.size() : GetParam();
    for (std::size_t at = 0; at < Bytes.size(); at += piece) {
      FEnd.Feed(Bytes.substr(at, piece));
      if (!After(at + piece >= Bytes.size())) break;
    }
  }
  // Sends the session's output to the utility's end in pieces of the test's size, as split
  // writes arrive, and runs the pump's command step after each: only the last piece may
  // complete the reply.
  std::string Reply() {
    const std::string bytes = Drain(*FSession);
    EXPECT_FALSE(bytes.empty());
    std::string reply;
    FeedInPieces(bytes, [&](bool Last) {
      const bool done = FEnd.TakeReply(reply);
      EXPECT_EQ(done, Last);
      return !done;
    });
    return reply;
  }
  void Send(const std::string& Line) { FSession->Receive(Line + "\r\n", 0); }

  // Every command the utility sends, each reply read the way its completion reads it. When
  // Echoed, each reply starts with its command line, which the parameter list must skip:
  // it holds no "=".
  void ExpectEveryReplyParses(bool Echoed) {
    TParameterList params;
    auto addReply = [&](const std::string& Command) {
      Send(Command);
      const std::string text = Reply();
      EXPECT_EQ(text.find(kPromptStart), std::string::npos);
      EXPECT_EQ(text.starts_with(Command + "\r\n"), Echoed) << text;
      TResponseSplitter splitter;
      splitter.Append(text);
      while (!splitter.IsEmpty()) params.AddLine(splitter.NextLine());
    };

    addReply("i900?");
    EXPECT_EQ(params.GetValue("i900"), "1.10");
    EXPECT_EQ(params.Count(), 1);

    params.Clear();
    addReply("r?");
    const auto& registers = FDevice.Registers();
    EXPECT_EQ(params.Count(), static_cast<int32_t>(registers.Count()));
    for (std::size_t i = 0; i < registers.Count(); ++i) {
      SCOPED_TRACE(registers.Def(i).Name);
      EXPECT_EQ(params.GetValue(registers.Def(i).Name), registers.Value(i));
      EXPECT_EQ(params.IsHighlighted(registers.Def(i).Name),
                registers.Value(i) != registers.Def(i).Factory);
    }

    params.Clear();
    addReply("i?");
    EXPECT_EQ(params.GetValue("i100"), FDevice.Unit());
    EXPECT_TRUE(params.IsHighlighted("i401"));

    for (const std::string& line : std::vector<std::string>{
             "diag", "help", "cls", "nonsense", "r100=43", "r100=x", "", std::string(3000, 'z')}) {
      SCOPED_TRACE(line.substr(0, 20));
      Send(line);
      Reply();
    }
    EXPECT_EQ(FEnd.Size(0), 0) << "nothing left over after the prompts";
    EXPECT_EQ(FEnd.Size(1), static_cast<int32_t>(0)) << "no event line among the replies";
  }

  void LogIn() {
    FSession = std::make_unique<TSimSession>(FDevice, Quiet(TSimRoute::Tcp), nullptr);
    FSession->Start(0);
    bool asked = false, prompted = false;
    FeedInPieces(Drain(*FSession), [&](bool) {
      asked = asked || FEnd.FindPassword();
      EXPECT_FALSE(FEnd.FindPromptAtLogin()) << "a prompt before the password";
      return true;
    });
    ASSERT_TRUE(asked);
    FSession->Receive("pw\r\n", 0);
    FeedInPieces(Drain(*FSession), [&](bool) {
      EXPECT_FALSE(FEnd.FindPassword());
      prompted = FEnd.FindPromptAtLogin();
      return !prompted;
    });
    ASSERT_TRUE(prompted);
  }

  TSimDevice FDevice{"1.10", 0};
  std::unique_ptr<TSimSession> FSession;
  TUtilityEnd FEnd;
};

}  // namespace

TEST_P(SimWire, LoginAndEveryReplyAreFramedAsThePumpReadsThem) {
  LogIn();
  ExpectEveryReplyParses(false);
}

TEST_P(SimWire, DebugPortRepliesCarryTheirEchoedCommandInFrontAndStillParse) {
  // The serial link has no login: the utility sends its version request at once.
  FSession = std::make_unique<TSimSession>(FDevice, Quiet(TSimRoute::Serial), nullptr);
  FSession->Start(0);
  EXPECT_EQ(Drain(*FSession), "");
  ExpectEveryReplyParses(true);
}

TEST_P(SimWire, EventAndModemLinesReachTheirSegmentsByteExact) {
  FSession = std::make_unique<TSimSession>(FDevice, Quiet(TSimRoute::Serial), nullptr);
  FSession->Start(0);
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  FSession->QueueEvent("Door opened", 0);
  Send("M:" + everyByte.substr(0x20, 0x5e) + "~");
  FSession->QueueEvent("Input 2\r\ntamper", 0);
  FeedInPieces(Drain(*FSession), [](bool) { return true; });

  EXPECT_EQ(FEnd.TakeAll(1), std::string("\0\t\x1b[31mDoor opened\x1b[0m\r\n", 24) +
                                 std::string("\0\t\x1b[31mInput 2  tamper\x1b[0m\r\n", 28));
  const std::string modem = FEnd.TakeAll(2);
  const auto answer = modem.find(kModemStart, 1);
  ASSERT_NE(answer, std::string::npos) << simtext::Printable(modem);
  EXPECT_EQ(DecodeModemString(modem.substr(0, answer)), everyByte.substr(0x20, 0x5e) + "\r");
  EXPECT_EQ(modem.substr(answer), kModemStart + "\\x0d\\x0aOK\\x0d\\x0a\"\r\n");
  std::string reply;
  EXPECT_TRUE(FEnd.TakeReply(reply));
  EXPECT_EQ(reply, "M:" + everyByte.substr(0x20, 0x5e) + "~\r\n") << "the echo alone";
  EXPECT_EQ(FEnd.Size(0), 0);

  // Every byte value survives the escaping of a modem-trace line.
  const std::string line = simtext::ModemTraceLine(everyByte);
  EXPECT_EQ(line.find('\r'), line.size() - 2);
  EXPECT_EQ(DecodeModemString(line), everyByte);
}

INSTANTIATE_TEST_SUITE_P(Pieces, SimWire, ::testing::Values(0, 1, 2, 3, 7, 64),
                         [](const auto& info) {
                           return info.param == 0 ? std::string("Whole")
                                                  : "By" + std::to_string(info.param);
                         });
