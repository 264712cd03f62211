#include "rtl/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> Body)
      : TThread(true), FBody(std::move(Body)) {}
  ~TLambdaThread() override { ++Destroyed; }
  using TThread::FatalException;
  using TThread::Synchronize;
  static inline std::atomic<int> Destroyed{0};

 protected:
  void Execute() override { FBody(*this); }

 private:
  std::function<void(TLambdaThread&)> FBody;
};

// Waits up to 10 s for Done, delivering queued calls meanwhile only if Deliver.
void Until(const std::function<bool()>& Done, bool Deliver = true) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Done() && std::chrono::steady_clock::now() < deadline) {
    if (Deliver)
      CheckSynchronize(5);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

TEST(Thread, SynchronizeAndOnTerminateRunOnTheMainThread) {
  std::atomic<bool> ranOnMain{false}, executed{false};
  bool terminatedOnMainAfterExecute = false;
  TLambdaThread t([&](TLambdaThread& self) {
    self.Synchronize([&] { ranOnMain = IsMainThread(); });
    executed = true;
  });
  t.OnTerminate = [&] { terminatedOnMainAfterExecute = executed && IsMainThread(); };
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(ranOnMain);
  EXPECT_TRUE(terminatedOnMainAfterExecute);
}

TEST(Thread, HandlerExceptionIsRaisedAgainInTheWorker) {
  std::string caught;
  TLambdaThread t([&](TLambdaThread& self) {
    try {
      self.Synchronize([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
  });
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(caught, "handler failed");
}

TEST(Thread, TerminateBeforeStartStillRunsExecute) {
  std::atomic<int> passes{0};
  std::atomic<bool> executed{false};
  TLambdaThread t([&](TLambdaThread& self) {
    executed = true;
    while (!self.Terminated()) ++passes;
  });
  t.Terminate();
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(executed);
  EXPECT_EQ(passes, 0);
}

TEST(Thread, EscapingExceptionEndsTheThreadQuietlyAndIsKept) {
  TLambdaThread t([](TLambdaThread&) { throw std::runtime_error("lost device"); });
  t.Resume();
  t.WaitFor();
  ASSERT_TRUE(t.FatalException);
  EXPECT_THROW(std::rethrow_exception(t.FatalException), std::runtime_error);
}

TEST(Thread, WaitForOnTheMainThreadDeliversPendingCalls) {
  // The worker blocks in Synchronize until the main thread runs the call; a WaitFor that
  // did not deliver would never return.
  std::atomic<int> delivered{0};
  TLambdaThread t([&](TLambdaThread& self) {
    while (!self.Terminated()) {
      self.Synchronize([&] { ++delivered; });
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  t.Resume();
  Until([&] { return delivered > 0; });
  t.Terminate();
  t.WaitFor();
  EXPECT_GT(delivered, 0);
}

TEST(Thread, FreeOnTerminateDestroysTheObjectOnce) {
  const int before = TLambdaThread::Destroyed;
  auto* t = new TLambdaThread([](TLambdaThread&) {});
  t->FreeOnTerminate = true;
  t->Resume();
  Until([&] { return TLambdaThread::Destroyed == before + 1; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(TLambdaThread::Destroyed, before + 1);
}

TEST(Thread, NeverStartedThreadWaitsForNothingAndRunningOnCreateIsRefused) {
  TLambdaThread t([](TLambdaThread&) {});
  EXPECT_EQ(t.WaitFor(), 0u);
  struct TRunning : TThread {
    TRunning() : TThread(false) {}
    void Execute() override {}
  };
  EXPECT_THROW(TRunning(), std::logic_error);
}

TEST(Thread, EachSynchronizeReturnsAsSoonAsItsOwnCallHasRun) {
  // Two workers queue a call each before the main thread looks. The first worker's call has
  // run by the time the second call runs, so the first worker must be free to go on even
  // while the second call is still busy (a handler showing a message box, say).
  std::atomic<int> queued{0};
  const auto oldWake = WakeMainThread;
  WakeMainThread = [&] { ++queued; };
  std::atomic<bool> firstReturned{false};
  bool firstReturnedWhileSecondRan = false;
  TLambdaThread first([&](TLambdaThread& self) {
    self.Synchronize([] {});
    firstReturned = true;
  });
  TLambdaThread second([&](TLambdaThread& self) {
    self.Synchronize([&] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
      while (!firstReturned && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      firstReturnedWhileSecondRan = firstReturned;
    });
  });
  first.Resume();
  Until([&] { return queued >= 1; }, false);
  second.Resume();
  Until([&] { return queued >= 2; }, false);
  EXPECT_TRUE(CheckSynchronize());
  first.WaitFor();
  second.WaitFor();
  WakeMainThread = oldWake;
  EXPECT_TRUE(firstReturnedWhileSecondRan);
}

TEST(Thread, AWorkerStartedOffTheMainThreadSynchronizesWithItsStarter) {
  // Two threads each start a worker and deliver its calls themselves; the main thread hears
  // nothing of them.
  std::atomic<int> mainWakes{0};
  const auto oldWake = WakeMainThread;
  WakeMainThread = [&] { ++mainWakes; };
  auto drive = [](bool& RanOnStarter, bool& TerminatedOnStarter) {
    const auto starter = std::this_thread::get_id();
    TLambdaThread t([&](TLambdaThread& self) {
      self.Synchronize([&] { RanOnStarter = std::this_thread::get_id() == starter; });
    });
    t.OnTerminate = [&] { TerminatedOnStarter = std::this_thread::get_id() == starter; };
    t.Resume();
    Until([&] { return RanOnStarter; });
    t.WaitFor();
  };
  bool ran[2] = {false, false}, terminated[2] = {false, false};
  std::thread a(drive, std::ref(ran[0]), std::ref(terminated[0]));
  std::thread b(drive, std::ref(ran[1]), std::ref(terminated[1]));
  a.join();
  b.join();
  WakeMainThread = oldWake;
  EXPECT_TRUE(ran[0] && ran[1]);
  EXPECT_TRUE(terminated[0] && terminated[1]);
  EXPECT_EQ(mainWakes, 0);
}
