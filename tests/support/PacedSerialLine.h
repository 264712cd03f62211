// A serial line for tests that sends as slowly as a real port at 9600 baud: a write stays
// pending until it has been waited for, a byte for each millisecond of waiting, and closing
// drops what has not left yet, as a real port's close purges its output. On a
// pseudo-terminal a write lands at once, so a close there has nothing to drop. Everything
// else is the wrapped line's.
#pragma once

#include <memory>
#include <string>

#include "transport/uSerialLine.h"

class TPacedSerialLine : public TSerialLine {
 public:
  explicit TPacedSerialLine(std::unique_ptr<TSerialLine> Line) : FLine(std::move(Line)) {}

  std::string Name() override { return FLine->Name(); }
  void SetBaudRate(uint32_t Value) override { FLine->SetBaudRate(Value); }
  void SetParity(char Value) override { FLine->SetParity(Value); }
  void SetByteSize(uint8_t Value) override { FLine->SetByteSize(Value); }
  void SetDSRFlow(bool Value) override { FLine->SetDSRFlow(Value); }
  void SetCTSFlow(bool Value) override { FLine->SetCTSFlow(Value); }
  bool DSRFlow() override { return FLine->DSRFlow(); }
  bool CTSFlow() override { return FLine->CTSFlow(); }
  bool Open() override { return FLine->Open(); }
  std::string OpenProblem() override { return FLine->OpenProblem(); }
  void Close() override;
  uint32_t InQueue() override { return FLine->InQueue(); }
  int32_t Read(void* Buffer, int32_t Count) override { return FLine->Read(Buffer, Count); }
  bool OutputHeld() override { return FLine->OutputHeld(); }
  bool CTS() override { return FLine->CTS(); }
  bool DSR() override { return FLine->DSR(); }
  void Write(const void* Buffer, int32_t Count) override;
  bool WaitWriteDone(int32_t TimeoutMs) override;
  bool HungUp() override { return FLine->HungUp(); }

 private:
  std::unique_ptr<TSerialLine> FLine;
  std::string FPending;  // written, not yet on the wire
};
