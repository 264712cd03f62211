// The main window against a device that floods it: the views keep only what they may keep,
// a segment nobody reads gives up its oldest text and says so, and closing leaves nothing
// queued. How fast all this goes is the window benchmark's business, not this test's.
#include "app/MainWindowFixture.h"
#include "app/TMemoView.h"
#include "app/TTerminalView.h"
#include "gui/uModal.h"
#include "session/uTerminalWalk.h"
#include "session/uViewLimits.h"

namespace {

int64_t Waiting(TfmMain& Main) {
  TStreamFork& fork = Main.Dialogue().Fork();
  int64_t bytes = 0;
  for (int32_t i = 0; i < fork.SegmentCount(); ++i) bytes += fork.Segments(i)->Stream->Size();
  return bytes;
}

bool HasLine(TMemoView* Memo, const std::string& Part) {
  for (int64_t i = 0; i < Memo->LineCount(); ++i)
    if (Memo->Lines().Text(i).find(Part) != std::string_view::npos) return true;
  return false;
}

}  // namespace

TEST_F(MainWindowTest, FloodsStayWithinTheViewsCapsAndClosingLeavesNothingQueued) {
  TMemoView* events = nullptr;
  {
    SCOPED_TRACE("logged in: 20 MiB of events, then random bytes for the terminal");
    StartTcpSim("127.0.31.40",
                {"--flood", "20971520", "--garbage", "67108864", "--events", "0", "--text", "0"});
    StartProgram();
    events = Find<TMemoView>(&Main(), "memEvents");
    LogInAndWait("127.0.31.40");
    TTerminalView* terminal = Main().reTerminal();
    ASSERT_TRUE(WaitUntil([&] { return terminal->TerminalText().size() > 10000; },
                          std::chrono::seconds(60)))
        << "the random bytes never reached the terminal";
    // Never past the cap, which a view test fills.
    EXPECT_LE(events->LineCount(), MemoLines);
    EXPECT_LE(terminal->LineCount(), TTerminalView::MaxLines);
    for (int64_t i = 0; i < terminal->Lines().Count(); ++i)
      ASSERT_LE(terminal->Lines().Text(i).size(), TTerminalWalk::MaxLineLength);
    Trigger(&Main(), "actDisconnect");  // the random bytes are still coming
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
    EXPECT_EQ(Waiting(Main()), 0);
    EXPECT_LE(events->LineCount(), MemoLines);
  }
  Sim.reset();
  {
    SCOPED_TRACE("a device that floods and never prompts: the login waits, bounded");
    StartTcpSim("127.0.31.41", {"--no-prompt", "--flood", "20971520", "--events", "0"});
    LogIn("127.0.31.41");
    TSFSegment* eventSegment = Main().Dialogue().Fork().Segments(Main().Dialogue().FSegEvents);
    ASSERT_TRUE(WaitUntil(
        [&] {
          EXPECT_LE(Waiting(Main()), 3 * TDialogue::SegmentLimit);
          return eventSegment->Dropped > 0;
        },
        std::chrono::seconds(60)));
    TModal::SetNextAnswer(QMessageBox::Ok);  // "Check the password": the login never finished
    Trigger(&Main(), "actDisconnect");
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
    EXPECT_EQ(Waiting(Main()), 0);
    // The last words came after the line that says how much went before them.
    EXPECT_TRUE(HasLine(events, " bytes dropped]"));
    EXPECT_TRUE(HasLine(events, "Flood event"));
    EXPECT_LE(events->LineCount(), MemoLines);
  }
}

// A memo fed event text that never ends a line, or ends one only every MiB, breaks it into
// lines the terminal's length and keeps within its budget, the line being written included.
TEST(MemoView, EndlessLinesStayWithinTheMemosBudget) {
  for (const size_t every : {size_t{0}, size_t{1} << 20}) {
    SCOPED_TRACE(every);
    TMemoView memo;
    const std::string chunk(256 << 10, 'e');
    int64_t peak = 0;
    size_t sinceBreak = 0;
    for (int i = 0; i < 192; ++i) {  // 48 MiB, twice the budget
      memo.AppendText(chunk);
      sinceBreak += chunk.size();
      if (every > 0 && sinceBreak >= every) memo.AppendText("\r\n"), sinceBreak = 0;
      peak = std::max(peak, memo.Lines().HeldBytes());
    }
    EXPECT_LE(peak, MemoBytes + MemoBytes / 8);
    size_t longest = 0;
    for (int64_t i = 0; i < memo.Lines().Count(); ++i)
      longest = std::max(longest, memo.Lines().Text(i).size());
    EXPECT_EQ(longest, static_cast<size_t>(MemoLineBytes));
  }
}
