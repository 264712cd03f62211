#include "dispatch/uTerminalDispatcher.h"

#include <exception>

#include "rtl/ScopedLock.h"

namespace {
constexpr int32_t QueueBlockSize = 8192;

// Runs one step; the first failure is kept for raising once every later step has run.
void RunStep(std::exception_ptr& Failure, const std::function<void()>& Step) {
  try {
    Step();
  } catch (...) {
    // Later steps must still run: the transport has to close and the owner waits for closed.
    if (!Failure) Failure = std::current_exception();
  }
}
}  // namespace

TTerminalDispatcher::TTerminalDispatcher()
    : TThread(true),
      FInput(std::make_unique<TLockableFIFOStream>(QueueBlockSize, 0)),
      FOutput(std::make_unique<TLockableFIFOStream>(QueueBlockSize, 0)) {
  FreeOnTerminate = true;
  ++FLive;
}

TTerminalDispatcher::~TTerminalDispatcher() {
  --FLive;
}

int32_t TTerminalDispatcher::ReadInput(void* Buffer, int32_t Count) {
  TScopedLock<TLockableFIFOStream> guard(*FInput);
  FInput->Seek(0, 0);
  const int32_t n = FInput->Read(Buffer, Count);
  if (n > 0) FInput->DiscardRead();
  return n;
}

void TTerminalDispatcher::WriteOutput(const void* Buffer, int32_t Count) {
  TScopedLock<TLockableFIFOStream> guard(*FOutput);
  FOutput->Seek(0, 2);
  FOutput->Write(Buffer, Count);
}

void TTerminalDispatcher::Abort() {
  FClosing.store(true, std::memory_order_release);
  Terminate();
}

void TTerminalDispatcher::DetachNotifications() {
  std::lock_guard<TTDCriticalSection> guard(FLock);
  OnOpened = nullptr;
  OnClosed = nullptr;
  OnError = nullptr;
  OnStatus = nullptr;
}

void TTerminalDispatcher::Lock() {
  FLock.Enter();
}

void TTerminalDispatcher::Unlock() {
  FLock.Leave();
}

void TTerminalDispatcher::NotifyOpened() {
  if (IsSet(OnOpened)) Synchronize([this] { DoOpened(); });
}

void TTerminalDispatcher::NotifyClosed() {
  if (IsSet(OnClosed)) Synchronize([this] { DoClosed(); });
}

void TTerminalDispatcher::ReportStatus(const std::string& Text) {
  FStatusText = Text;
  if (IsSet(OnStatus)) Synchronize([this] { DoStatus(); });
}

void TTerminalDispatcher::ReportError(const std::string& Msg) {
  if (Closing()) return;
  FErrorText = Msg;
  if (IsSet(OnError)) Synchronize([this] { DoError(); });
}

void TTerminalDispatcher::AppendInput(const void* Buffer, int32_t Count) {
  TScopedLock<TLockableFIFOStream> guard(*FInput);
  FInput->Seek(0, 2);
  FInput->Write(Buffer, Count);
}

bool TTerminalDispatcher::InputFull() {
  TScopedLock<TLockableFIFOStream> guard(*FInput);
  return FInput->Size() >= InputLimit;
}

int32_t TTerminalDispatcher::TakeOutput(bool DiscardWhenEmpty) {
  TScopedLock<TLockableFIFOStream> guard(*FOutput);
  FOutput->Seek(0, 0);
  const int32_t n = FOutput->Read(FBuffer, TransferSize);
  if (n > 0 || DiscardWhenEmpty) FOutput->DiscardRead();
  return n;
}

bool TTerminalDispatcher::OutputEmpty() {
  TScopedLock<TLockableFIFOStream> guard(*FOutput);
  return FOutput->Size() == 0;
}

void TTerminalDispatcher::RunThenClose(const std::function<void()>& Body,
                                       const std::function<void()>& CloseTransport) {
  std::exception_ptr failure;
  RunStep(failure, Body);
  RunStep(failure, [this] { ReportStatus("Closing"); });
  RunStep(failure, CloseTransport);
  RunStep(failure, [this] { NotifyClosed(); });
  if (failure) std::rethrow_exception(failure);
}

// The delivering side runs on the main thread, the only thread that ever changes the
// notifications, so it reads them without the lock. A handler may detach the notifications
// while it runs, so it is called through a copy.
void TTerminalDispatcher::DoOpened() {
  if (auto handler = OnOpened) handler(this);
}

void TTerminalDispatcher::DoClosed() {
  if (auto handler = OnClosed) handler(this);
}

// An error already on its way when the user aborted is dropped too: after Abort the user
// sees no more errors.
void TTerminalDispatcher::DoError() {
  if (Closing()) return;
  if (auto handler = OnError) handler(this, FErrorText);
}

void TTerminalDispatcher::DoStatus() {
  if (auto handler = OnStatus) handler(this, FStatusText);
}
