#include <algorithm>
#include <chrono>
#include <thread>

#include "dispatch/uKeepAlive.h"
#include "dispatch/uTerminalDispatcher.h"
#include "transport/uTcpClient.h"

namespace {
constexpr int32_t KeepAliveTimeMs = 60000;
constexpr int32_t KeepAliveIntervalMs = 10000;
}  // namespace

TTCPDispatcher::TTCPDispatcher(const std::string& Host) : FClient(std::make_unique<TTcpClient>()) {
  FClient->Port = DevicePort;
  FClient->LocalPort = 0;
  FClient->Host = Host;
  FClient->ShouldStop = [this] { return Terminated(); };
}

TTCPDispatcher::~TTCPDispatcher() = default;

std::string TTCPDispatcher::GetHost() {
  return FClient->Host;
}

void TTCPDispatcher::SetHost(const std::string& Host) {
  FClient->Host = Host;
}

void TTCPDispatcher::Execute() {
  FErrorText.clear();
  RunThenClose([this] { ConnectAndPump(); }, [this] { FClient->Disconnect(); });
}

void TTCPDispatcher::ConnectAndPump() {
  if (Connect()) Pump();
}

bool TTCPDispatcher::Connect() {
  const std::string host = FClient->Host;
  ReportStatus("Connecting to " + host);
  try {
    FClient->Connect(ConnectTimeoutMs);
  } catch (const std::exception& e) {
    // A connect given up because the owner asked the worker to stop is no failure to report.
    if (!Terminated()) ReportError("Error connecting to " + host + ": " + e.what());
  }
  if (!FClient->Connected()) {
    if (!Terminated()) ReportError("Could not connect to " + host);
    Terminate();
    return false;
  }
  SetConnectionKeepAlive(*FClient, KeepAliveTimeMs, KeepAliveIntervalMs);
  NotifyOpened();
  return true;
}

void TTCPDispatcher::Pump() {
  while (!Terminated()) {
    // A full input queue leaves the bytes in the socket, whose window then holds the device.
    int32_t n = 0;
    if (!InputFull()) {
      FClient->PollReceive();
      n = std::min(FClient->Available(), TransferSize);
    }
    if (n > 0) {
      FClient->Take(FBuffer, n);
      AppendInput(FBuffer, n);
    }
    // Until everything that has arrived is handed on, nothing is sent: bytes sent into a
    // device that is closing its end make it reset the connection, and the reset throws away
    // what it had not yet delivered. Once the device's end is seen, nothing is sent at all.
    int32_t m = 0;
    if (FClient->Available() == 0) {
      if (!FClient->Connected()) {
        ReportStatus("Closed by remote end");
        Terminate();
      } else if (m = TakeOutput(false); m > 0) {
        FClient->Send(FBuffer, m);
      }
    }
    // The pause is for a quiet line; while bytes flow the next pass follows at once.
    if (n == 0 && m == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    FPassCount.fetch_add(1, std::memory_order_relaxed);
  }
}
