// The session log's lines (direction, escaping, masking, order, line ends split across reads,
// lines broken at their length), the log file's failure (a full disk) and where a log file may
// be made, and the terminal's line stamps. Writing a real log file is shown by the window's
// and tallybox-cli's journeys.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "session/uLineStamps.h"
#include "session/uLogLines.h"
#include "session/uSessionLog.h"
#include "support/TempConfig.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
const TLogTime T0 = std::chrono::system_clock::from_time_t(1'800'000'000);
constexpr auto R = TLogDirection::Received;
constexpr auto S = TLogDirection::Sent;

struct TStep {
  TLogDirection Direction;
  std::string Bytes;
  int Ms;
  bool Masked = false;
};
struct TWant {
  int Ms;  // the stamp: arrival of the line's first byte
  std::string Line;
};

std::string Expected(const std::vector<TWant>& Lines) {
  std::string out;
  for (const TWant& w : Lines)
    out += LogStamp(T0 + std::chrono::milliseconds(w.Ms)) + " " + w.Line + "\n";
  return out;
}

}  // namespace

TEST(LogLines, FormsStampedLinesInArrivalOrder) {
  using namespace std::string_literals;
  const std::string X4096(4096, 'x');
  const std::string Broken = " \\ [broken at 4096 bytes]";
  const struct {
    const char* Name;
    std::vector<TStep> Steps;
    std::vector<TWant> Want;
  } cases[] = {
      {"CR LF split between reads ends one line",
       {{R, "i900=1.00\r", 0}, {R, "\nnext\r\n", 5}},
       {{0, "< i900=1.00"}, {5, "< next"}}},
      {"control and high bytes, backslash escaped; blank line kept",
       {{R, "\0\t\x1b[31mA\\b\xe9\x7f\r\n\r\n"s, 1}},
       {{1, R"(< \x00\x09\x1b[31mA\x5cb\xe9\x7f)"}, {1, "< "}}},
      {"the prompt goes before the command typed after it; its line end adds no line",
       {{R, "\x1b[34;1m<T>\x1b[0m", 0}, {S, "i?\r\n", 7}, {R, "\r\ni100=1\r\n", 9}},
       {{0, R"(< \x1b[34;1m<T>\x1b[0m)"}, {7, "> i?"}, {9, "< i100=1"}}},
      {"a typed line stays whole while lines arrive; masked while the password is asked",
       {{S, "se", 0, true}, {R, "event\r\n", 3}, {S, "cret\r", 6}, {S, "\nbye\r\n", 8}},
       {{3, "< event"}, {0, "> ********"}, {8, "> bye"}}},
      {"a line without an end is broken at 4096 bytes and says so; one of 4096 is whole",
       {{R, X4096 + X4096 + "\x1b", 0}, {R, "y\r\n" + X4096 + "\r\n", 4}},
       {{0, "< " + X4096 + Broken},
        {0, "< " + X4096 + Broken},
        {0, R"(< \x1by)"},
        {4, "< " + X4096}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLogLines lines;
    std::string out;
    for (const TStep& s : c.Steps)
      out += lines.Add(s.Direction, s.Bytes, T0 + std::chrono::milliseconds(s.Ms), s.Masked);
    out += lines.Finish();
    EXPECT_EQ(out, Expected(c.Want));
  }
}

TEST(LogLines, LineWithoutItsEndIsWrittenAfterTheWait) {
  TLogLines lines;
  EXPECT_EQ(lines.Add(R, "<prompt>", T0, false), "");
  EXPECT_EQ(lines.Expire(T0 + 999ms, 1000ms), "");
  EXPECT_EQ(lines.Expire(T0 + 1000ms, 1000ms), Expected({{0, "< <prompt>"}}));
  EXPECT_EQ(lines.Add(R, "\r\nnext\r\n", T0 + 1500ms, false), Expected({{1500, "< next"}}));
}

TEST(SessionLog, StopsAndSaysSoOnceAtAWriteFailure) {
  TSessionLog full([] { return T0; });
  int told = 0;
  full.OnFailed = [&](const std::string& Error) {
    ++told;
    EXPECT_NE(Error.find("/dev/full"), std::string::npos) << Error;
  };
  ASSERT_TRUE(full.Open("/dev/full"));
  full.Received("line\r\n");
  full.Tick();
  EXPECT_FALSE(full.Active());
  full.Received("more\r\n");
  full.Tick();
  full.Close();
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(SessionLogName(T0, "fe80::1%eth0").ends_with("-fe80__1_eth0.log"));
}

// The program's own log never goes through a link, nor over a file: it takes a suffix.
TEST(SessionLog, OwnLogIsANewFileBesideLinksAtItsName) {
  TTempFolder folder("tbx-log");
  const std::string victim = folder.Path("victim");  // stands for a root-only script
  WriteFileBytes(victim, "keep me\n");
  fs::create_symlink(victim, folder.Path("s.log"));
  fs::create_symlink(folder.Path("nowhere"), folder.Path("s-2.log"));
  TSessionLog log([] { return T0; });
  ASSERT_TRUE(log.Create(folder.Folder.string(), "s.log")) << log.Error();
  EXPECT_EQ(log.FileName(), folder.Path("s-3.log"));
  log.Received("x; id > /tmp/owned\r\n");
  log.Close();
  EXPECT_EQ(ReadFileBytes(folder.Path("s-3.log")), Expected({{0, "< x; id > /tmp/owned"}}));
  EXPECT_EQ(ReadFileBytes(victim), "keep me\n");
  EXPECT_FALSE(fs::exists(folder.Path("nowhere")));
}

// A fleet's log is appended to only where it is a plain file of this user with no other name:
// through a hard link, a symbolic link or into a FIFO the bytes would land elsewhere.
TEST(SessionLog, OwnLogIsAppendedOnlyWhenItIsAPlainFileWithOneLink) {
  TTempFolder folder("tbx-log");
  const std::string victim = folder.Path("victim");
  WriteFileBytes(victim, "keep me\n");
  WriteFileBytes(folder.Path("plain.log"), "before\n");
  fs::create_hard_link(victim, folder.Path("hard.log"));
  fs::create_symlink(victim, folder.Path("soft.log"));
  ASSERT_EQ(::mkfifo(folder.Path("fifo.log").c_str(), 0600), 0);
  for (const char* refused : {"hard.log", "soft.log", "fifo.log"}) {
    SCOPED_TRACE(refused);
    TSessionLog log([] { return T0; });
    EXPECT_FALSE(log.Append(folder.Folder.string(), refused));
    EXPECT_EQ(log.Error(), "The session log " + folder.Path(refused) +
                               " is left alone: only a plain file of this user is appended to");
  }
  EXPECT_EQ(ReadFileBytes(victim), "keep me\n");
  TSessionLog log([] { return T0; });
  ASSERT_TRUE(log.Append(folder.Folder.string(), "plain.log")) << log.Error();
  log.Received("x\r\n");
  log.Close();
  EXPECT_EQ(ReadFileBytes(folder.Path("plain.log")), "before\n" + Expected({{0, "< x"}}));
}

TEST(LineStamps, EveryLineStartsWithItsStampAndBackspaceSparesIt) {
  using Op = TTerminalOp;
  std::vector<Op> ops = {{Op::Text, "ab"}, {Op::LineBreak}, {Op::LineBreak},
                         {Op::Text, "c"},  {Op::Backspace}, {Op::Backspace}};
  TLineStamps stamps;
  stamps.Apply(ops, "T ");
  const std::vector<Op> want = {{Op::Text, "T "}, {Op::Text, "ab"}, {Op::LineBreak},
                                {Op::Text, "T "}, {Op::LineBreak},  {Op::Text, "T "},
                                {Op::Text, "c"},  {Op::Backspace}};
  EXPECT_EQ(ops, want);
  EXPECT_EQ(LineStamp(T0 + 42ms).substr(8), ".042 ");
}
