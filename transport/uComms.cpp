#include "transport/uComms.h"

#include "transport/uComPortMap.h"
#include "transport/uCommAttributes.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

constexpr uint32_t LineErrors =
    TCommPort::ErrRxOver | TCommPort::ErrOverrun | TCommPort::ErrRxParity | TCommPort::ErrFrame;
// A device that cannot report its modem lines (a pseudo-terminal) has them all on.
constexpr uint32_t AllLinesOn =
    TCommPort::CtsOn | TCommPort::DsrOn | TCommPort::RingOn | TCommPort::RlsdOn;

uint32_t Grew(uint32_t Now, uint32_t& Before) {
  const bool grew = Now != Before;
  Before = Now;
  return grew;
}

}  // namespace

TCommPort::TCommPort() = default;

TCommPort::~TCommPort() {
  Close();
}

void TCommPort::SetBaudRate(uint32_t Value) {
  FBaudRate = Value;
  if (!IsOpen()) return;
  termios attributes;
  if (tcgetattr(FHandle, &attributes) == 0 && CommSetSpeed(attributes, Value) &&
      tcsetattr(FHandle, TCSANOW, &attributes) == 0)
    FState.BaudRate = Value;
}

void TCommPort::SetDSRFlow(bool Value) {
  FDSRFlow = Value;
  // Output waiting for DSR has no terminal flag: the port itself holds writes back.
  if (IsOpen())
    FState.Flags = Value ? FState.Flags | FlagOutxDsrFlow : FState.Flags & ~FlagOutxDsrFlow;
}

void TCommPort::SetCTSFlow(bool Value) {
  FCTSFlow = Value;
  if (!IsOpen()) return;
  termios attributes;
  if (tcgetattr(FHandle, &attributes) != 0) return;
  attributes.c_cflag = Value ? attributes.c_cflag | CRTSCTS : attributes.c_cflag & ~CRTSCTS;
  if (tcsetattr(FHandle, TCSANOW, &attributes) == 0)
    FState.Flags = Value ? FState.Flags | FlagOutxCtsFlow : FState.Flags & ~FlagOutxCtsFlow;
}

std::string TCommPort::DevicePath() const {
  if (!FDevicePath.empty()) return FDevicePath;
  return ComDevicePath(FPort, TSerialFolders::FromEnvironment().Dev);
}

bool TCommPort::Open() {
  Close();
  if (FDeviceName.empty()) throw ECommPort("No port assigned");
  const std::string path = DevicePath();
  FOpenError = 0;
  FHandle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (FHandle < 0) {
    FOpenError = errno;
    FHandle = InvalidHandle;
    return false;
  }
  // A port is one program's at a time: a second opener finds it in use.
  if (flock(FHandle, LOCK_EX | LOCK_NB) != 0) {
    FOpenError = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(FHandle);
    FHandle = InvalidHandle;
    return false;
  }
  // The driver keeps queues of its own size; what has to hold is that this is a serial line.
  if (!isatty(FHandle)) {
    Close();
    throw ECommPort("SetupComm error");
  }
  termios attributes;
  if (tcgetattr(FHandle, &attributes) != 0) {
    Close();
    throw ECommPort("SetCommTimeouts error");
  }
  const TCommState state = BuildState();
  ApplyModemLines(true);
  if (!CommAttributes(state, attributes) || tcsetattr(FHandle, TCSANOW, &attributes) != 0) {
    Close();
    throw ECommPort("SetCommState error");
  }
  FState = state;
  ReadErrorCounts(FErrorCounts);
  return true;
}

bool TCommPort::Close() {
  if (!IsOpen()) {
    FHandle = InvalidHandle;
    return true;
  }
  // Only what has not left is dropped: on a pseudo-terminal a flush would also take back
  // what has left but the far end has not read yet (a last "bye").
  if (FWriteBuffer || KernelOutQueue() > 0) PurgeOutput();
  PurgeInput();
  ApplyModemLines(false);
  const bool closed = ::close(FHandle) == 0;
  FHandle = InvalidHandle;
  return closed;
}

// RTS first, then DTR, both when raising and when dropping. A device without modem lines
// refuses; that is of no consequence.
void TCommPort::ApplyModemLines(bool Raise) {
  const unsigned long request = Raise ? TIOCMBIS : TIOCMBIC;
  int rts = TIOCM_RTS;
  int dtr = TIOCM_DTR;
  ioctl(FHandle, request, &rts);
  ioctl(FHandle, request, &dtr);
}

bool TCommPort::ReadErrorCounts(TErrorCounts& Counts) const {
  serial_icounter_struct counters{};
  if (ioctl(FHandle, TIOCGICOUNT, &counters) != 0) return false;
  Counts.Overrun = counters.overrun;
  Counts.BufOverrun = counters.buf_overrun;
  Counts.Parity = counters.parity;
  Counts.Frame = counters.frame;
  Counts.Break = counters.brk;
  return true;
}

// The driver counts line errors; an error happened since the last poll when its count moved.
uint32_t TCommPort::PollLineErrors() {
  uint32_t errors = 0;
  TErrorCounts now;
  if (ReadErrorCounts(now)) {
    if (Grew(now.BufOverrun, FErrorCounts.BufOverrun)) errors |= ErrRxOver;
    if (Grew(now.Overrun, FErrorCounts.Overrun)) errors |= ErrOverrun;
    if (Grew(now.Parity, FErrorCounts.Parity)) errors |= ErrRxParity;
    if (Grew(now.Frame, FErrorCounts.Frame)) errors |= ErrFrame;
    if (Grew(now.Break, FErrorCounts.Break)) errors |= ErrBreak;
  }
  if (FLineSeam) errors |= FLineSeam->PendingErrors.exchange(0);
  return errors;
}

uint32_t TCommPort::KernelOutQueue() const {
  int queued = 0;
  if (ioctl(FHandle, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<uint32_t>(queued);
}

uint32_t TCommPort::HoldFlags(uint32_t OutQueue) {
  uint32_t flags = FLineSeam ? FLineSeam->HoldFlags.load() : 0;
  if (OutQueue > 0) {
    const uint32_t lines = ModemStatus();
    if (FCTSFlow && !(lines & CtsOn)) flags |= HoldCts;
    if (FDSRFlow && !(lines & DsrOn)) flags |= HoldDsr;
  }
  return flags;
}

bool TCommPort::CheckErrors() {
  if (!IsOpen()) return true;
  const uint32_t errors = PollLineErrors();
  int waiting = 0;
  if (ioctl(FHandle, FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
  FStatus.cbInQue = static_cast<uint32_t>(waiting);
  FStatus.cbOutQue = KernelOutQueue() + (FWriteCount - FBytesWritten);
  FStatus.Flags = HoldFlags(FStatus.cbOutQue);
  return (errors & LineErrors) != 0;
}

uint32_t TCommPort::ModemStatus() {
  if (!IsOpen()) return AllLinesClosed;
  if (FLineSeam) return FLineSeam->ModemStatus.load();
  int lines = 0;
  if (ioctl(FHandle, TIOCMGET, &lines) != 0) return AllLinesOn;
  uint32_t status = 0;
  if (lines & TIOCM_CTS) status |= CtsOn;
  if (lines & TIOCM_DSR) status |= DsrOn;
  if (lines & TIOCM_RNG) status |= RingOn;
  if (lines & TIOCM_CAR) status |= RlsdOn;
  return status;
}

// The bytes stay in the driver after a line error, so nothing is lost: the next read takes them.
int32_t TCommPort::Read(void* Buffer, int32_t Count) {
  FBytesRead = 0;
  if (!IsOpen() || CheckErrors() || Count <= 0) return 0;
  ssize_t n;
  do n = ::read(FHandle, Buffer, static_cast<size_t>(Count));
  while (n < 0 && errno == EINTR);
  if (n > 0) FBytesRead = static_cast<uint32_t>(n);
  return static_cast<int32_t>(FBytesRead);
}

// A line error belongs to the receiving side: the poll clears it, and the bytes handed over
// still go out, since the caller has already let go of them.
void TCommPort::Write(const void* Buffer, int32_t Count) {
  DropPendingWrite();
  if (!IsOpen() || Count <= 0) return;
  CheckErrors();
  FWriteBuffer = static_cast<const char*>(Buffer);
  FWriteCount = static_cast<uint32_t>(Count);
  FBytesWritten = 0;
  PushPendingWrite();
}

bool TCommPort::FlowStopped() {
  if (FLineSeam && FLineSeam->HoldFlags.load() != 0) return true;
  if (!FCTSFlow && !FDSRFlow) return false;
  const uint32_t lines = ModemStatus();
  return (FCTSFlow && !(lines & CtsOn)) || (FDSRFlow && !(lines & DsrOn));
}

// Hands the driver as much of the write in progress as it takes now. A write the driver
// refuses outright ends the write, as a failed write completes.
void TCommPort::PushPendingWrite() {
  if (!FWriteBuffer || FlowStopped()) return;
  while (FBytesWritten < FWriteCount) {
    const ssize_t n = ::write(FHandle, FWriteBuffer + FBytesWritten, FWriteCount - FBytesWritten);
    if (n > 0) {
      FBytesWritten += static_cast<uint32_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      return;
    } else {
      DropPendingWrite();
      return;
    }
  }
}

void TCommPort::DropPendingWrite() {
  FWriteBuffer = nullptr;
  FWriteCount = 0;
  FBytesWritten = 0;
}

// Complete once every byte has left the driver's output queue too: closing purges that queue,
// and a completed write must not be lost there.
bool TCommPort::WriteDone() {
  if (!FWriteBuffer) return true;
  if (!IsOpen()) {
    DropPendingWrite();
    return true;
  }
  PushPendingWrite();
  if (FWriteBuffer && FBytesWritten == FWriteCount && KernelOutQueue() == 0) DropPendingWrite();
  return FWriteBuffer == nullptr;
}

bool TCommPort::WaitWriteDone(int32_t TimeoutMs) {
  if (WriteDone()) return true;
  const bool canTakeMore = FBytesWritten < FWriteCount && !FlowStopped();
  pollfd writable{static_cast<int>(FHandle), POLLOUT, 0};
  // Waiting for room wakes as soon as the driver takes more; otherwise the line is held or
  // draining, and a plain pause serves.
  poll(canTakeMore ? &writable : nullptr, canTakeMore ? 1 : 0, TimeoutMs);
  return WriteDone();
}

bool TCommPort::HungUp() const {
  if (!IsOpen()) return false;
  pollfd line{static_cast<int>(FHandle), POLLIN, 0};
  return poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR)) != 0;
}

void TCommPort::PurgeOutput() {
  DropPendingWrite();
  if (IsOpen()) tcflush(FHandle, TCOFLUSH);
}

void TCommPort::PurgeInput() {
  if (IsOpen()) tcflush(FHandle, TCIFLUSH);
}
