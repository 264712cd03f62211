#include <algorithm>
#include <chrono>
#include <thread>

#include "dispatch/uTerminalDispatcher.h"
#include "rtl/Exceptions.h"
#include "transport/uComms.h"
#include "transport/uNetSerialPort.h"
#include "transport/uSerialLine.h"

TComPortDispatcher::TComPortDispatcher(int32_t PortNumber)
    : FPort(std::make_unique<TCommPort>()), FLine(LocalSerialLine(*FPort)) {
  FPort->SetPort(PortNumber);
  SetLineSettings();
}

TComPortDispatcher::TComPortDispatcher(const std::string& DevicePath) {
  if (IsNetSerialUrl(DevicePath)) {
    TNetSerialAddress address;
    if (!ParseNetSerialUrl(DevicePath, address))
      throw ECommPort("Invalid terminal server address \"" + DevicePath +
                      "\": give tcp://HOST:PORT or rfc2217://HOST:PORT");
    FLine = std::make_unique<TNetSerialPort>(address);
  } else {
    FPort = std::make_unique<TCommPort>();
    FLine = LocalSerialLine(*FPort);
    FPort->SetDevice(DevicePath);
  }
  SetLineSettings();
}

void TComPortDispatcher::SetLineSettings() {
  FLine->ShouldStop = [this] { return Terminated(); };
  FLine->OnProgress = [this](const std::string& Text) { ReportStatus(Text); };
  FLine->SetBaudRate(DebugBaudRate);
  FLine->SetParity('N');
  FLine->SetByteSize(8);
  FLine->SetDSRFlow(true);
  FLine->SetCTSFlow(true);
}

TComPortDispatcher::~TComPortDispatcher() = default;

int32_t TComPortDispatcher::ComPort() {
  return FPort ? FPort->Port() : 0;
}

// A set-up failure of the port (ECommPort) ends the worker quietly: it passes through the
// closing steps and is then kept by the thread base, never reported.
void TComPortDispatcher::Execute() {
  FErrorText.clear();
  RunThenClose([this] { Pump(); }, [this] { FLine->Close(); });
}

std::string TComPortDispatcher::PortName() {
  return FLine->Name();
}

// A port that will not open says why and what to do on a progress line of its own, just
// before the error, whose words callers compare.
void TComPortDispatcher::Pump() {
  ReportStatus("Opening " + PortName());
  if (FLine->Open()) {
    NotifyOpened();
  } else {
    FOpenProblem = FLine->OpenProblem();
    if (!Closing()) ReportStatus(FOpenProblem);  // an abort silences the error and its reason
    ReportError("Could not open " + PortName());
    Terminate();
  }
  while (!Terminated()) {
    const bool received = Receive();
    // A line behind a terminal server can go: the connection ends as a TCP one does.
    if (!received && FLine->Lost()) {
      ReportStatus("Closed by remote end");
      Terminate();
      break;
    }
    Send();
    // Set after the last word was queued: once the queue is empty, that word has left.
    if (FEndWhenSent.load() && OutputEmpty()) {
      Terminate();
      break;
    }
    if (received) continue;  // while bytes flow the next pass follows at once
    // A port that is gone ends the connection as if asked to, once its last bytes were read.
    if (FLine->HungUp()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A full input queue leaves the bytes with the port, whose flow control then holds the device.
bool TComPortDispatcher::Receive() {
  if (InputFull()) return false;
  const uint32_t waiting = FLine->InQueue();
  if (waiting == 0) return false;
  const int32_t count = static_cast<int32_t>(std::min<uint32_t>(waiting, TransferSize));
  const int32_t n = FLine->Read(FBuffer, count);
  if (n > 0) AppendInput(FBuffer, n);
  return n > 0;
}

// Why output may not go now: the line holds it, or the device shows a line off that the flow
// control waits for.
TOutputWait::TWhy TComPortDispatcher::WaitingFor() {
  using TWhy = TOutputWait::TWhy;
  const bool held = FLine->OutputHeld();
  const bool dsr = !FLine->DSR() && FLine->DSRFlow(), cts = !FLine->CTS() && FLine->CTSFlow();
  if (cts || dsr) return cts && dsr ? TWhy::CtsAndDsr : cts ? TWhy::Cts : TWhy::Dsr;
  return held ? TWhy::Held : TWhy::None;
}

void TComPortDispatcher::Send() {
  const TOutputWait::TWhy why = WaitingFor();
  const std::string note = FOutputWait.Update(why, TOutputWait::TClock::now());
  if (!note.empty()) ReportStatus(note);
  if (why != TOutputWait::TWhy::None) return;
  const int32_t m = TakeOutput(true);
  if (m <= 0) return;
  FLine->Write(FBuffer, m);
  WaitForWrite();
}

// Receiving pauses while a write is in progress; the line's own input queue holds what
// arrives meanwhile. A termination request ends the wait: the port's close then drops what
// had not left yet, as it drops every byte still queued when a connection ends.
void TComPortDispatcher::WaitForWrite() {
  while (!FLine->WaitWriteDone(WriteWaitSliceMs))
    if (Terminated()) return;
}
