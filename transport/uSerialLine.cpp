#include "transport/uSerialLine.h"

#include <utility>

#include "rtl/Exceptions.h"
#include "transport/uComms.h"
#include "transport/uSerialAccess.h"

namespace {

class TLocalSerialLine : public TSerialLine {
 public:
  explicit TLocalSerialLine(TCommPort& Port) : FPort(Port) {}

  std::string Name() override {
    return FPort.Port() > 0 ? Format("COM%d", FPort.Port()) : FPort.DeviceName();
  }
  void SetBaudRate(uint32_t Value) override { FPort.SetBaudRate(Value); }
  void SetParity(char Value) override { FPort.SetParity(Value); }
  void SetByteSize(uint8_t Value) override { FPort.SetByteSize(Value); }
  void SetDSRFlow(bool Value) override { FPort.SetDSRFlow(Value); }
  void SetCTSFlow(bool Value) override { FPort.SetCTSFlow(Value); }
  bool DSRFlow() override { return FPort.DSRFlow(); }
  bool CTSFlow() override { return FPort.CTSFlow(); }
  bool Open() override {
    FPort.SetActive(true);
    return FPort.IsOpen();
  }
  std::string OpenProblem() override {
    return SerialOpenProblem(FPort.DevicePath(), FPort.OpenError());
  }
  void Close() override { FPort.SetActive(false); }
  uint32_t InQueue() override { return FPort.InQueue(); }
  int32_t Read(void* Buffer, int32_t Count) override { return FPort.Read(Buffer, Count); }
  bool OutputHeld() override { return FPort.OutputHeld(); }
  bool CTS() override { return FPort.CTS(); }
  bool DSR() override { return FPort.DSR(); }
  void Write(const void* Buffer, int32_t Count) override { FPort.Write(Buffer, Count); }
  bool WaitWriteDone(int32_t TimeoutMs) override { return FPort.WaitWriteDone(TimeoutMs); }
  bool HungUp() override { return FPort.HungUp() && FPort.InQueue() == 0; }

 private:
  TCommPort& FPort;
};

TSerialLineMaker& StandInMaker() {
  static TSerialLineMaker maker;
  return maker;
}

}  // namespace

std::unique_ptr<TSerialLine> LocalSerialLine(TCommPort& Port) {
  return StandInMaker() ? StandInMaker()(Port) : PortSerialLine(Port);
}

std::unique_ptr<TSerialLine> PortSerialLine(TCommPort& Port) {
  return std::make_unique<TLocalSerialLine>(Port);
}

void SetLocalSerialLineMaker(TSerialLineMaker Maker) {
  StandInMaker() = std::move(Maker);
}
