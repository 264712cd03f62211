// The dialogue logs in to the real simulator over loopback TCP through a real dispatcher and
// reads the registers into a parameter list, ticking as the main window's pump does.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "dispatch/uTerminalDispatcher.h"
#include "session/uDialogue.h"
#include "sim/SimHarness.h"

namespace {

const std::string Address = "127.0.0.131";

// Ticks the dialogue every 10 ms, delivering the dispatcher's notifications in between, until
// Done or the time is up.
bool TickUntil(TDialogue& Dialogue, const std::function<bool()>& Done, int TimeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    CheckSynchronize(10);
    Dialogue.Tick();
  }
  return true;
}

}  // namespace

TEST(DialogueWithTheSimulator, LogsInAndReadsTheRegisters) {
  TSimProcess sim({"--address", Address, "--password", kTestPassword, "--events", "300", "--text",
                   "0", "--modem", "0"});
  ASSERT_TRUE(sim.WaitForLine("tallybox-sim: ready")) << "the simulator did not start";

  TParameterList params;
  std::string events;
  bool asked = false, sent = false, loggedIn = false, closed = false;
  TDialogueHost host;
  host.AddEvents = [&](const std::string& Text) { events += Text; };
  host.AskPassword = [&] { asked = true; };  // the password page would come up here
  host.LoggedIn = [&] { loggedIn = true; };
  TDialogue dialogue(params, host);

  auto* link = new TTCPDispatcher(Address);  // frees itself when its thread ends
  dialogue.Reset(link);
  link->OnOpened = [&](TTerminalDispatcher*) { dialogue.Opened(false); };
  link->OnClosed = [&](TTerminalDispatcher* Sender) {
    dialogue.Closed();
    Sender->DetachNotifications();
    closed = true;
  };
  link->Resume();

  ASSERT_TRUE(TickUntil(dialogue, [&] {
    if (asked && !sent) sent = dialogue.SendPassword(kTestPassword);
    return loggedIn && !dialogue.Busy();
  }));
  EXPECT_TRUE(sent);
  EXPECT_EQ(params.GetValue("i900"), "1.00");

  bool read = false;
  ASSERT_TRUE(dialogue.SendCommand("r?", TDialogue::CommandTimeout, [&] {
    params.Clear();
    while (!dialogue.Splitter().IsEmpty()) params.AddLine(dialogue.Splitter().NextLine());
    read = true;
  }));
  ASSERT_TRUE(TickUntil(dialogue, [&] { return read; }));
  EXPECT_GT(params.Count(), 10);
  EXPECT_EQ(params.GetValue("i900"), "");  // the registers replaced the version reply
  ASSERT_TRUE(TickUntil(dialogue, [&] { return !events.empty(); }));

  dialogue.Disconnect(false);
  ASSERT_TRUE(TickUntil(dialogue, [&] { return closed; }));
  EXPECT_EQ(dialogue.Dispatcher(), nullptr);
  EXPECT_EQ(sim.Stop(), 0);
}
