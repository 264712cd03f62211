#include <algorithm>
#include <chrono>
#include <thread>

#include "dispatch/uTerminalDispatcher.h"
#include "rtl/Exceptions.h"
#include "transport/uComms.h"
#include "transport/uSerialAccess.h"

TComPortDispatcher::TComPortDispatcher(int32_t PortNumber) : FPort(std::make_unique<TCommPort>()) {
  FPort->SetPort(PortNumber);
  SetLineSettings();
}

TComPortDispatcher::TComPortDispatcher(const std::string& DevicePath)
    : FPort(std::make_unique<TCommPort>()) {
  FPort->SetDevice(DevicePath);
  SetLineSettings();
}

void TComPortDispatcher::SetLineSettings() {
  FPort->SetBaudRate(DebugBaudRate);
  FPort->SetParity('N');
  FPort->SetByteSize(8);
  FPort->SetDSRFlow(true);
  FPort->SetCTSFlow(true);
}

TComPortDispatcher::~TComPortDispatcher() = default;

int32_t TComPortDispatcher::ComPort() {
  return FPort->Port();
}

// A set-up failure of the port (ECommPort) ends the worker quietly: it passes through the
// closing steps and is then kept by the thread base, never reported.
void TComPortDispatcher::Execute() {
  FErrorText.clear();
  RunThenClose([this] { Pump(); }, [this] { FPort->SetActive(false); });
}

std::string TComPortDispatcher::PortName() {
  return FPort->Port() > 0 ? Format("COM%d", FPort->Port()) : FPort->DeviceName();
}

// A port that will not open says why and what to do on a progress line of its own, just
// before the error, whose words callers compare.
void TComPortDispatcher::Pump() {
  ReportStatus("Opening " + PortName());
  FPort->SetActive(true);
  if (FPort->IsOpen()) {
    NotifyOpened();
  } else {
    FOpenProblem = SerialOpenProblem(FPort->DevicePath(), FPort->OpenError());
    if (!Closing()) ReportStatus(FOpenProblem);  // an abort silences the error and its reason
    ReportError("Could not open " + PortName());
    Terminate();
  }
  while (!Terminated()) {
    const bool received = Receive();
    Send();
    if (received) continue;  // while bytes flow the next pass follows at once
    // A port that is gone ends the connection as if asked to, once its last bytes were read.
    if (FPort->HungUp() && FPort->InQueue() == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A full input queue leaves the bytes with the port, whose flow control then holds the device.
bool TComPortDispatcher::Receive() {
  if (InputFull()) return false;
  const uint32_t waiting = FPort->InQueue();
  if (waiting == 0) return false;
  const int32_t count = static_cast<int32_t>(std::min<uint32_t>(waiting, TransferSize));
  const int32_t n = FPort->Read(FBuffer, count);
  if (n > 0) AppendInput(FBuffer, n);
  return n > 0;
}

bool TComPortDispatcher::MayNotSend() {
  return FPort->OutputHeld() || (!FPort->DSR() && FPort->DSRFlow()) ||
         (!FPort->CTS() && FPort->CTSFlow());
}

void TComPortDispatcher::Send() {
  if (MayNotSend()) return;
  const int32_t m = TakeOutput(true);
  if (m <= 0) return;
  FPort->Write(FBuffer, m);
  WaitForWrite();
}

// Receiving pauses while a write is in progress; the line's own input queue holds what
// arrives meanwhile. A termination request ends the wait: the port's close then drops what
// had not left yet, as it drops every byte still queued when a connection ends.
void TComPortDispatcher::WaitForWrite() {
  while (!FPort->WaitWriteDone(WriteWaitSliceMs))
    if (Terminated()) return;
}
