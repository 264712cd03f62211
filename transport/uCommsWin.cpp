// The serial port on Windows: the COM device opened for overlapped input and output, set up
// with a DCB, polled with ClearCommError and read with immediate-return time-outs.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>

#include "transport/uComms.h"

namespace {

constexpr uint32_t LineErrors =
    TCommPort::ErrRxOver | TCommPort::ErrOverrun | TCommPort::ErrRxParity | TCommPort::ErrFrame;
// A device that cannot report its modem lines has them all on, as on other systems.
constexpr uint32_t AllLinesOn =
    TCommPort::CtsOn | TCommPort::DsrOn | TCommPort::RingOn | TCommPort::RlsdOn;
constexpr DWORD QueueSize = 16384;

// The DCB's flag bits are one word after its length and speed, in the order Windows declares
// them; the port sets them all at once.
static_assert(offsetof(DCB, BaudRate) == 4 && offsetof(DCB, wReserved) == 12);
void SetDcbFlags(DCB& Dcb, uint32_t Flags) {
  std::memcpy(reinterpret_cast<char*>(&Dcb) + 8, &Flags, sizeof Flags);
}

HANDLE AsHandle(intptr_t Handle) {
  return reinterpret_cast<HANDLE>(Handle);
}

// Reads the device's state, changes it and writes it back; false when either call failed.
bool ChangeDcb(intptr_t Handle, const std::function<void(DCB&)>& Change) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(AsHandle(Handle), &dcb)) return false;
  Change(dcb);
  return SetCommState(AsHandle(Handle), &dcb);
}

// A manual-reset event named "TCommPort<nn>_<Kind>", the first index from From on whose name
// is free; an unnamed one if all are taken. Index receives the number used.
HANDLE CreatePortEvent(const char* Kind, int From, int& Index) {
  for (Index = From; Index < 256; ++Index) {
    char name[64];
    std::snprintf(name, sizeof name, "TCommPort%.2x_%s", Index, Kind);
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name);
    if (event && GetLastError() != ERROR_ALREADY_EXISTS) return event;
    if (event) CloseHandle(event);
  }
  return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

}  // namespace

struct TCommPort::TOverlappedIo {
  HANDLE SendEvent = nullptr;
  HANDLE ReadEvent = nullptr;
  OVERLAPPED Write{};
  OVERLAPPED Read{};
  TOverlappedIo() {
    int index = 0;
    SendEvent = CreatePortEvent("SendEvent", 0, index);
    ReadEvent = CreatePortEvent("ReadEvent", index, index);
    Write.hEvent = SendEvent;
    Read.hEvent = ReadEvent;
  }
  ~TOverlappedIo() {
    if (SendEvent) CloseHandle(SendEvent);
    if (ReadEvent) CloseHandle(ReadEvent);
  }
};

TCommPort::TCommPort() : FIo(std::make_unique<TOverlappedIo>()) {}

TCommPort::~TCommPort() {
  Close();
}

// The setters change the one item in the device's current state; their failures are ignored.
void TCommPort::SetBaudRate(uint32_t Value) {
  FBaudRate = Value;
  if (IsOpen() && ChangeDcb(FHandle, [&](DCB& Dcb) { Dcb.BaudRate = Value; }))
    FState.BaudRate = Value;
}

void TCommPort::SetDSRFlow(bool Value) {
  FDSRFlow = Value;
  if (IsOpen() && ChangeDcb(FHandle, [&](DCB& Dcb) { Dcb.fOutxDsrFlow = Value; }))
    FState.Flags = Value ? FState.Flags | FlagOutxDsrFlow : FState.Flags & ~FlagOutxDsrFlow;
}

void TCommPort::SetCTSFlow(bool Value) {
  FCTSFlow = Value;
  if (IsOpen() && ChangeDcb(FHandle, [&](DCB& Dcb) { Dcb.fOutxCtsFlow = Value; }))
    FState.Flags = Value ? FState.Flags | FlagOutxCtsFlow : FState.Flags & ~FlagOutxCtsFlow;
}

// COM<n> is COM<n>: the device namespace name also reaches ports numbered above 9.
std::string TCommPort::DevicePath() const {
  if (!FDevicePath.empty()) return FDevicePath;
  return "\\\\.\\COM" + std::to_string(FPort);
}

bool TCommPort::Open() {
  Close();
  if (FDeviceName.empty()) throw ECommPort("No port assigned");
  FOpenError = 0;
  const HANDLE handle = CreateFileA(DevicePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    FOpenError = static_cast<int>(GetLastError());
    return false;
  }
  FHandle = reinterpret_cast<intptr_t>(handle);
  if (!SetupComm(handle, QueueSize, QueueSize)) {
    Close();
    throw ECommPort("SetupComm error");
  }
  // Reads return at once with what the driver holds; writes have no time limit.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!SetCommTimeouts(handle, &timeouts) || !GetCommState(handle, &dcb)) {
    Close();
    throw ECommPort("SetCommTimeouts error");
  }
  const TCommState state = BuildState();
  SetDcbFlags(dcb, state.Flags);
  ApplyModemLines(true);
  dcb.BaudRate = state.BaudRate;
  dcb.Parity = state.Parity;
  dcb.StopBits = state.StopBits;
  dcb.ByteSize = state.ByteSize;
  dcb.ErrorChar = state.ErrorChar;
  if (!SetCommState(handle, &dcb)) {
    Close();
    throw ECommPort("SetCommState error");
  }
  FState = state;
  return true;
}

bool TCommPort::Close() {
  if (!IsOpen()) {
    FHandle = InvalidHandle;
    return true;
  }
  PurgeOutput();
  PurgeInput();
  ApplyModemLines(false);
  // A write the purge aborted has completed; its control block is free again.
  if (FWriting) WaitForSingleObject(FIo->SendEvent, 1000);
  FWriting = false;
  const bool closed = CloseHandle(AsHandle(FHandle));
  FHandle = InvalidHandle;
  return closed;
}

// RTS first, then DTR, both when raising and when dropping.
void TCommPort::ApplyModemLines(bool Raise) {
  EscapeCommFunction(AsHandle(FHandle), Raise ? SETRTS : CLRRTS);
  EscapeCommFunction(AsHandle(FHandle), Raise ? SETDTR : CLRDTR);
}

uint32_t TCommPort::PollLineErrors() {
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(AsHandle(FHandle), &errors, &status)) return 0;
  FStatus.cbInQue = status.cbInQue;
  FStatus.cbOutQue = status.cbOutQue;
  FStatus.Flags = (status.fCtsHold ? HoldCts : 0) | (status.fDsrHold ? HoldDsr : 0);
  if (FLineSeam) {
    errors |= FLineSeam->PendingErrors.exchange(0);
    FStatus.Flags |= FLineSeam->HoldFlags.load();
  }
  return errors;
}

bool TCommPort::CheckErrors() {
  if (!IsOpen()) return true;
  return (PollLineErrors() & LineErrors) != 0;
}

// An unplugged adapter leaves a handle on which every call fails; that is how Windows says
// the port is gone.
bool TCommPort::HungUp() const {
  if (!IsOpen() || FLineSeam) return false;
  DWORD errors = 0;
  COMSTAT status{};
  if (ClearCommError(AsHandle(FHandle), &errors, &status)) return false;
  const DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
         error == ERROR_DEVICE_REMOVED || error == ERROR_INVALID_HANDLE;
}

uint32_t TCommPort::ModemStatus() {
  if (!IsOpen()) return AllLinesClosed;
  if (FLineSeam) return FLineSeam->ModemStatus.load();
  DWORD lines = 0;
  if (!GetCommModemStatus(AsHandle(FHandle), &lines)) return AllLinesOn;
  return lines;
}

int32_t TCommPort::Read(void* Buffer, int32_t Count) {
  FBytesRead = 0;
  if (!IsOpen() || CheckErrors() || Count <= 0) return 0;
  ResetEvent(FIo->ReadEvent);
  DWORD n = 0;
  if (!ReadFile(AsHandle(FHandle), Buffer, static_cast<DWORD>(Count), &n, &FIo->Read)) {
    if (GetLastError() != ERROR_IO_PENDING ||
        !GetOverlappedResult(AsHandle(FHandle), &FIo->Read, &n, TRUE))
      n = 0;
  }
  FBytesRead = n;
  return static_cast<int32_t>(n);
}

// A line error belongs to the receiving side: the poll clears it, and the bytes handed over
// still go out, since the caller has already let go of them.
void TCommPort::Write(const void* Buffer, int32_t Count) {
  FWriting = false;
  if (!IsOpen() || Count <= 0) return;
  CheckErrors();
  ResetEvent(FIo->SendEvent);
  DWORD n = 0;
  if (WriteFile(AsHandle(FHandle), Buffer, static_cast<DWORD>(Count), &n, &FIo->Write)) {
    FBytesWritten = n;
    return;
  }
  // A write that fails to start counts as complete.
  FWriting = GetLastError() == ERROR_IO_PENDING;
}

bool TCommPort::WriteDone() {
  return WaitWriteDone(0);
}

bool TCommPort::WaitWriteDone(int32_t TimeoutMs) {
  if (!FWriting) return true;
  if (WaitForSingleObject(FIo->SendEvent, static_cast<DWORD>(TimeoutMs)) != WAIT_OBJECT_0)
    return false;
  DWORD n = 0;
  if (GetOverlappedResult(AsHandle(FHandle), &FIo->Write, &n, FALSE)) FBytesWritten = n;
  FWriting = false;
  return true;
}

void TCommPort::PurgeOutput() {
  if (IsOpen()) PurgeComm(AsHandle(FHandle), PURGE_TXABORT | PURGE_TXCLEAR);
}

void TCommPort::PurgeInput() {
  if (IsOpen()) PurgeComm(AsHandle(FHandle), PURGE_RXABORT | PURGE_RXCLEAR);
}
