#include "dispatch/uTerminalDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/DispatcherOwner.h"

namespace {

// A dispatcher without a transport: its worker runs a scripted body.
class TScriptedDispatcher : public TTerminalDispatcher {
 public:
  explicit TScriptedDispatcher(std::function<void(TScriptedDispatcher&)> Body)
      : FBody(std::move(Body)) {}
  using TTerminalDispatcher::AppendInput;
  using TTerminalDispatcher::NotifyClosed;
  using TTerminalDispatcher::NotifyOpened;
  using TTerminalDispatcher::ReportError;
  using TTerminalDispatcher::ReportStatus;
  using TTerminalDispatcher::TakeOutput;
  std::string Taken() { return std::string(FBuffer, size_t(TakeOutput(false))); }

 protected:
  void Execute() override { FBody(*this); }

 private:
  std::function<void(TScriptedDispatcher&)> FBody;
};

// Counts the calls that one watched worker queues for the main thread. The hook is installed
// once and never swapped back, since self-freeing workers of other tests may still be ending;
// it is a plain function, so nothing is freed under them when the program exits.
std::atomic<std::thread::id> watchedThread{};
std::atomic<int> watchedQueued{0};

void CountIfWatched() {
  if (std::this_thread::get_id() == watchedThread.load()) ++watchedQueued;
}

void CountCallsQueuedByTheWatchedThread() {
  static std::once_flag once;
  std::call_once(once, [] { WakeMainThread = &CountIfWatched; });
}

}  // namespace

TEST(TerminalDispatcher, ReadInputHandsOutQueuedBytesInOrderAndInPieces) {
  TScriptedDispatcher d([](TScriptedDispatcher&) {});
  d.FreeOnTerminate = false;
  char buf[16];
  EXPECT_EQ(d.ReadInput(buf, sizeof buf), 0);
  d.AppendInput("0123456789", 10);
  ASSERT_EQ(d.ReadInput(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  d.AppendInput("ab", 2);
  ASSERT_EQ(d.ReadInput(buf, sizeof buf), 8);
  EXPECT_EQ(std::string(buf, 8), "456789ab");
  EXPECT_EQ(d.ReadInput(buf, sizeof buf), 0);
}

TEST(TerminalDispatcher, OutputLeavesInCallOrderAtMostOneTransferAPass) {
  TScriptedDispatcher d([](TScriptedDispatcher&) {});
  d.FreeOnTerminate = false;
  const std::string first(6000, 'a'), second(6000, 'b');
  d.WriteOutput(first.data(), int32_t(first.size()));
  d.WriteOutput(second.data(), int32_t(second.size()));
  const std::string pass1 = d.Taken();
  const std::string pass2 = d.Taken();
  EXPECT_EQ(pass1.size(), 8192u);
  EXPECT_EQ(pass1 + pass2, first + second);
  EXPECT_EQ(d.Taken(), "");
}

// The worker has sent its error before the user aborts, but the main thread has not run it
// yet: once aborted, the user must not see it.
TEST(TerminalDispatcher, AnErrorStillWaitingForDeliveryWhenAbortComesIsDropped) {
  CountCallsQueuedByTheWatchedThread();
  watchedQueued = 0;
  auto* d = new TScriptedDispatcher([](TScriptedDispatcher& self) {
    watchedThread = std::this_thread::get_id();
    self.ReportError("too late");
    self.NotifyClosed();
  });
  TOwner owner;
  owner.Wire(d);
  d->FreeOnTerminate = false;
  d->Resume();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (watchedQueued == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  d->Abort();
  d->WaitFor();
  delete d;
  watchedThread = std::thread::id();
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"closed"}));
}

TEST(TerminalDispatcher, AbortSilencesErrorsOnlyAndEveryNotificationCarriesTheSender) {
  auto* d = new TScriptedDispatcher([](TScriptedDispatcher& self) {
    self.ReportError("before abort");
    self.Abort();
    self.ReportError("after abort");
    self.ReportStatus("still here");
    self.NotifyOpened();
    self.NotifyClosed();
  });
  TOwner owner;
  owner.Wire(d);
  TTerminalDispatcher* expected = d;
  bool senderRight = true;
  owner.WhenOpened = [&](TTerminalDispatcher* s) { senderRight &= s == expected; };
  d->OnClosed = [&, inner = d->OnClosed](TTerminalDispatcher* s) {
    senderRight &= s == expected;
    inner(s);
  };
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"error:before abort", "status:still here",
                                                    "opened", "closed"}));
  EXPECT_TRUE(senderRight);
}

TEST(TerminalDispatcher, AHandlerMayDetachWhileItRuns) {
  auto* d = new TScriptedDispatcher([](TScriptedDispatcher& self) {
    self.ReportStatus("one");
    self.NotifyClosed();
  });
  TOwner owner;
  owner.Wire(d);
  TTerminalDispatcher* self = d;
  std::string captured = "kept alive by the copy";
  d->OnStatus = [self, captured](TTerminalDispatcher*, const std::string&) {
    self->DetachNotifications();
    EXPECT_EQ(captured, "kept alive by the copy");
  };
  d->FreeOnTerminate = false;
  d->Resume();
  d->WaitFor();
  delete d;
  EXPECT_FALSE(owner.Has("closed"));
}
