#include "support/Rfc2217Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

using namespace Telnet;

namespace {

constexpr uint8_t SetControl = 5, NotifyModemState = 7, FlowSuspend = 8, FlowResume = 9,
                  SetModemStateMask = 11, ServerOffset = 100;

bool Takes(uint8_t Option) {
  return Option == Binary || Option == SuppressGoAhead || Option == ComPortOption;
}

// The change bits of a modem state report: CTS, DSR and CD changed, RI's trailing edge.
uint8_t Changes(uint8_t Before, uint8_t After) {
  const uint8_t changed = Before ^ After;
  return static_cast<uint8_t>(((changed & TRfc2217Server::Cts) ? 0x01 : 0) |
                              ((changed & TRfc2217Server::Dsr) ? 0x02 : 0) |
                              ((Before & ~After & TRfc2217Server::Ri) ? 0x04 : 0) |
                              ((changed & TRfc2217Server::Cd) ? 0x08 : 0));
}

}  // namespace

TRfc2217Server::TRfc2217Server(uint8_t Lines, int ReportAfterMs)
    : FLines(Lines), FReportAfter(ReportAfterMs) {
  FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  if (bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(FListen, 4) != 0 ||
      getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &size) != 0)
    throw std::runtime_error("the test's terminal server cannot listen");
  FPort = ntohs(a.sin_port);
  FThread = std::thread([this] { Run(); });
}

TRfc2217Server::~TRfc2217Server() {
  FStop = true;
  FThread.join();
  close(FListen);
}

std::string TRfc2217Server::Url() const {
  return "rfc2217://127.0.0.1:" + std::to_string(FPort);
}

void TRfc2217Server::Run() {
  while (!FStop) {
    pollfd p{FListen, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const int connection = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0) Serve(connection);
  }
}

void TRfc2217Server::Serve(int Connection) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FConnection = Connection;
    FLinesAsked = false;
    FReportDue = std::chrono::steady_clock::time_point::max();
  }
  TTelnetDecoder decoder;
  char buffer[4096];
  while (!FStop) {
    pollfd p{Connection, POLLIN, 0};
    const bool readable = poll(&p, 1, 5) > 0;
    if (FDrop.load() != TDrop::None) break;
    {
      std::lock_guard<std::mutex> guard(FLock);
      if (std::chrono::steady_clock::now() >= FReportDue) {
        FReportDue = std::chrono::steady_clock::time_point::max();
        FLinesAsked = true;
        ReportLocked(FLines);
      }
    }
    if (!readable) continue;
    if (FHoldReading) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    const ssize_t n = recv(Connection, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    std::lock_guard<std::mutex> guard(FLock);
    std::vector<TTelnetCommand> commands;
    decoder.Feed(buffer, static_cast<int32_t>(n), FData, commands);
    for (const TTelnetCommand& command : commands) Handle(command);
  }
  std::lock_guard<std::mutex> guard(FLock);
  if (FDrop.exchange(TDrop::None) == TDrop::Reset) {
    const linger abort{1, 0};
    setsockopt(Connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  close(Connection);
  FConnection = -1;
}

void TRfc2217Server::Handle(const TTelnetCommand& Command) {
  switch (Command.Verb) {
    case WILL:
      SendLocked(TelnetCommand(Takes(Command.Option) ? DO : DONT, Command.Option));
      break;
    case DO:
      SendLocked(TelnetCommand(Takes(Command.Option) ? WILL : WONT, Command.Option));
      break;
    case SB:
      if (Command.Option == ComPortOption && !Command.Data.empty()) ComPort(Command.Data);
      break;
    default:
      break;
  }
}

// Every setting is confirmed with its own value; the lines are reported once asked for.
void TRfc2217Server::ComPort(const std::string& Request) {
  const auto command = static_cast<uint8_t>(Request[0]);
  const std::string value = Request.substr(1);
  if (command == SetControl && !value.empty() && static_cast<uint8_t>(value[0]) > 3)
    FControls.push_back(static_cast<uint8_t>(value[0]));
  SendLocked(
      TelnetSubnegotiation(ComPortOption, std::string(1, char(command + ServerOffset)) + value));
  if (command == SetModemStateMask) FReportDue = std::chrono::steady_clock::now() + FReportAfter;
}

void TRfc2217Server::SetLines(uint8_t Lines) {
  std::lock_guard<std::mutex> guard(FLock);
  const uint8_t state = Lines | Changes(FLines, Lines);
  FLines = Lines;
  if (FLinesAsked) ReportLocked(state);
}

void TRfc2217Server::ReportLocked(uint8_t State) {
  SendLocked(TelnetSubnegotiation(
      ComPortOption, {char(NotifyModemState + ServerOffset), static_cast<char>(State)}));
}

void TRfc2217Server::Pause(bool Suspend) {
  std::lock_guard<std::mutex> guard(FLock);
  SendLocked(TelnetSubnegotiation(
      ComPortOption, std::string(1, char((Suspend ? FlowSuspend : FlowResume) + ServerOffset))));
}

// The serving thread closes the socket: closed here, its number could be reused while that
// thread still polls it.
void TRfc2217Server::Drop(bool Reset) {
  if (!Connected()) return;
  FDrop = Reset ? TDrop::Reset : TDrop::Close;
  WaitFor([this] { return !Connected(); });
}

std::string TRfc2217Server::Data() {
  std::lock_guard<std::mutex> guard(FLock);
  return FData;
}

std::vector<uint8_t> TRfc2217Server::Controls() {
  std::lock_guard<std::mutex> guard(FLock);
  return FControls;
}

bool TRfc2217Server::Connected() {
  std::lock_guard<std::mutex> guard(FLock);
  return FConnection >= 0;
}

bool TRfc2217Server::WaitFor(const std::function<bool()>& Done, int TimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void TRfc2217Server::SendLocked(const std::string& Bytes) {
  size_t sent = 0;
  while (FConnection >= 0 && sent < Bytes.size()) {
    const ssize_t n = send(FConnection, Bytes.data() + sent, Bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}
