#include "rtl/Thread.h"

#include <chrono>
#include <deque>
#include <stdexcept>

std::function<void()> WakeMainThread;

// The calls queued for one owning thread, run in the order they came. The main thread's queue
// is never destroyed, because a self-freeing worker may still be ending while the program
// exits; another owner's queue lives as long as that thread or one of its workers.
struct TSyncQueue {
  struct SyncRequest {
    const std::function<void()>* Method;
    std::exception_ptr Error;
    bool Done = false;
  };
  std::mutex Lock;
  std::condition_variable Queued;  // a call was queued or a thread finished
  std::condition_variable Done;    // a call has run
  std::deque<SyncRequest*> Queue;
};

namespace {
const std::thread::id mainThreadId = std::this_thread::get_id();

const std::shared_ptr<TSyncQueue> mainQueue(new TSyncQueue, [](TSyncQueue*) {});
thread_local std::shared_ptr<TSyncQueue> ownQueue;

// The queue the calling thread delivers from, made on first use off the main thread.
const std::shared_ptr<TSyncQueue>& QueueOfThisThread() {
  if (IsMainThread()) return mainQueue;
  if (!ownQueue) ownQueue = std::make_shared<TSyncQueue>();
  return ownQueue;
}

void Wake(TSyncQueue& Owner) {
  Owner.Queued.notify_all();
  if (&Owner == mainQueue.get() && WakeMainThread) WakeMainThread();
}
}  // namespace

bool IsMainThread() {
  return std::this_thread::get_id() == mainThreadId;
}

bool CheckSynchronize(int32_t TimeoutMs) {
  TSyncQueue& owner = *QueueOfThisThread();
  std::deque<TSyncQueue::SyncRequest*> batch;
  {
    std::unique_lock<std::mutex> guard(owner.Lock);
    if (owner.Queue.empty() && TimeoutMs > 0)
      owner.Queued.wait_for(guard, std::chrono::milliseconds(TimeoutMs));
    batch.swap(owner.Queue);
  }
  for (TSyncQueue::SyncRequest* request : batch) {
    try {
      (*request->Method)();
    } catch (...) {
      // The handler's failure belongs to the worker that asked for the call.
      request->Error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> guard(owner.Lock);
      request->Done = true;
    }
    // Release this worker now: a later call in the batch may run for long (a message box).
    owner.Done.notify_all();
  }
  return !batch.empty();
}

TThread::TThread(bool CreateSuspended) {
  if (!CreateSuspended) throw std::logic_error("TThread must be created suspended");
}

TThread::~TThread() {
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) {
    Terminate();
    try {
      WaitFor();
    } catch (...) {
      // A destructor must not throw; the thread has been told to stop either way.
    }
  }
}

void TThread::Resume() {
  std::lock_guard<std::mutex> guard(FStateLock);
  if (FStarted) return;
  FStarted = true;
  FOwner = QueueOfThisThread();
  FOwnerId = std::this_thread::get_id();
  FThread = std::thread(&TThread::ThreadProc, this);
}

void TThread::Terminate() {
  FTerminated.store(true, std::memory_order_release);
}

bool TThread::Finished() const {
  std::lock_guard<std::mutex> guard(FStateLock);
  return FFinished;
}

uint32_t TThread::WaitFor() {
  if (std::this_thread::get_id() == FThread.get_id())
    throw std::logic_error("A thread cannot wait for itself");
  {
    std::unique_lock<std::mutex> guard(FStateLock);
    if (!FStarted) return ReturnValue;
  }
  if (std::this_thread::get_id() == FOwnerId) {
    // Keep delivering the worker's notifications, or a worker blocked in Synchronize
    // would never finish.
    while (!Finished()) CheckSynchronize(10);
  } else {
    std::unique_lock<std::mutex> guard(FStateLock);
    FFinishedSignal.wait(guard, [this] { return FFinished; });
  }
  if (FThread.joinable()) FThread.join();
  return ReturnValue;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize(OnTerminate);
}

void TThread::Synchronize(const std::function<void()>& Method) {
  if (std::this_thread::get_id() == FOwnerId) {
    Method();
    return;
  }
  TSyncQueue& owner = *FOwner;
  TSyncQueue::SyncRequest request{&Method, nullptr, false};
  {
    std::unique_lock<std::mutex> guard(owner.Lock);
    owner.Queue.push_back(&request);
  }
  Wake(owner);
  {
    std::unique_lock<std::mutex> guard(owner.Lock);
    owner.Done.wait(guard, [&request] { return request.Done; });
  }
  if (request.Error) std::rethrow_exception(request.Error);
}

void TThread::ThreadProc() {
  // Execute always runs, even after an early Terminate: its loops then end at once and the
  // owner still gets every closing notification.
  try {
    Execute();
  } catch (...) {
    // An exception that escapes Execute ends the thread quietly; it is kept, never re-raised.
    FatalException = std::current_exception();
  }
  try {
    DoTerminate();
  } catch (...) {
    // Same as above: the owner is never handed a worker's exception.
  }
  const bool freeSelf = FreeOnTerminate.load();
  const std::shared_ptr<TSyncQueue> owner = FOwner;  // this object may be gone once finished
  {
    // Signalled under the lock: once a waiter sees FFinished it may free this object.
    std::lock_guard<std::mutex> guard(FStateLock);
    FFinished = true;
    FFinishedSignal.notify_all();
  }
  Wake(*owner);
  if (freeSelf) {
    FThread.detach();
    delete this;
  }
}
