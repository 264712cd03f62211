// The worker-thread base: created suspended, started with Resume, stopped cooperatively with
// Terminate, and able to run a call on the thread that started it (Synchronize) and wait for
// it. That thread delivers queued calls from CheckSynchronize; for the main thread the GUI
// triggers it through WakeMainThread. A command-line run that drives several connections
// from several threads thus gets each connection's notifications on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct TSyncQueue;

class TThread {
 public:
  // C++ cannot run the derived Execute before the derived constructor ends, so the thread
  // always starts with Resume; passing false is refused rather than silently ignored.
  explicit TThread(bool CreateSuspended);
  virtual ~TThread();

  void Resume();
  void Terminate();
  bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }
  uint32_t WaitFor();
  bool Finished() const;

  std::atomic<bool> FreeOnTerminate{false};
  std::function<void()> OnTerminate;  // run on the starting thread when Execute has ended

 protected:
  virtual void DoTerminate();
  virtual void Execute() = 0;
  void Synchronize(const std::function<void()>& Method);

  uint32_t ReturnValue = 0;
  std::exception_ptr FatalException;

 private:
  void ThreadProc();

  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  mutable std::mutex FStateLock;
  std::condition_variable FFinishedSignal;
  bool FStarted = false;
  bool FFinished = false;
  // Where Synchronize sends calls: the queue of the thread that called Resume.
  std::shared_ptr<TSyncQueue> FOwner;
  std::thread::id FOwnerId;
};

// Runs the calls that the workers this thread started have queued with Synchronize. Waits up
// to TimeoutMs for one to arrive when none is queued. True when at least one ran.
bool CheckSynchronize(int32_t TimeoutMs = 0);

// Called (on the worker) each time a Synchronize call is queued, so the GUI can wake up.
extern std::function<void()> WakeMainThread;

bool IsMainThread();
