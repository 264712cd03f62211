// How a tallybox-cli session ends on the serial debug port, on a line that sends as slowly as
// a real port (a pseudo-terminal takes every write at once): the last "bye" reaches the
// device whole before the port closes, whether the run ends normally or on Ctrl+C, so the
// device leaves its debug mode. The session runs in this process against the real simulator.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "cli/uCliSession.h"
#include "rtl/FileBytes.h"
#include "sim/SimHarness.h"
#include "support/PacedSerialLine.h"
#include "support/TempFolder.h"
#include "transport/uSerialLine.h"

namespace {

// Every local port this test opens sends at the pace of a real one.
class CliEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLocalSerialLineMaker(
        [](TCommPort& Port) { return std::make_unique<TPacedSerialLine>(PortSerialLine(Port)); });
  }
  void TearDown() override { SetLocalSerialLineMaker(nullptr); }
};

}  // namespace

TEST_F(CliEnd, ByeReachesTheDeviceWholeBeforeASlowPortCloses) {
  for (const bool interrupted : {false, true}) {
    SCOPED_TRACE(interrupted ? "ended by Ctrl+C" : "ended normally");
    const TTempFolder folder{"tbx-cli-end"};
    const std::string log = folder.Path("heard.log");
    TSimProcess sim({"--serial", "--log", log, "--events", "0", "--text", "0", "--modem", "0"});
    const auto terminal = sim.WaitForLine("tallybox-sim: serial debug terminal: ");
    ASSERT_TRUE(terminal);
    TCliOptions options;
    options.Route.Kind = TRouteKind::Serial;
    options.Route.DevicePath = *terminal;
    options.ReplyTimeoutMs = 5000;
    std::ostringstream said;
    const std::atomic<bool> stop{false};
    {
      TCliSession session(options, said, stop);
      ASSERT_NO_THROW(session.Open("")) << said.str();
      const std::vector<std::string> reply = session.Request("i900?");
      std::string text;
      for (const std::string& line : reply) text += line + "\n";
      EXPECT_NE(text.find("i900=1.00"), std::string::npos) << text;
      session.Close(interrupted);
    }
    ASSERT_TRUE(sim.WaitForLine("tallybox-sim: serial debug session ended")) << said.str();
    EXPECT_TRUE(ReadFileBytes(log).ends_with("i900?\nbye\n")) << ReadFileBytes(log);
  }
}
