#include "sim/uSimLoop.h"

#include "sim/uSimTcp.h"
#include "sim/uSimText.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// While nobody holds the serial terminal open, look for a client this often.
constexpr int kSerialWatchMs = 50;

}  // namespace

TSimLoop::TSimLoop(const TSimOptions& Options, TSimDevice& Device, std::ostream& Out)
    : FOptions(Options), FDevice(Device), FOut(Out) {}

TSimLoop::~TSimLoop() {
  for (auto& client : FClients) close(client.Fd);
  if (FListener >= 0) close(FListener);
  if (FLog) std::fclose(FLog);
}

uint64_t TSimLoop::NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool TSimLoop::Open(std::string& Error) {
  if (!FOptions.LogFile.empty()) {
    FLog = std::fopen(FOptions.LogFile.c_str(), "w");
    if (!FLog) {
      Error = "cannot create log " + FOptions.LogFile + ": " + std::strerror(errno);
      return false;
    }
  }
  if (FOptions.Tcp) {
    FListener = SimListen(FOptions.Address, kSimPort, Error);
    if (FListener < 0) return false;
    FOut << "tallybox-sim: listening on " << FOptions.Address << ":" << kSimPort << std::endl;
    FOut << "tallybox-sim: password: " << FOptions.Session.Password << std::endl;
  }
  if (FOptions.Serial) {
    FPty = std::make_unique<TSimPty>();
    if (!FPty->Open(FOptions.Link, Error)) return false;
    ReportSerial();
  }
  FOut << "tallybox-sim: page version " << FDevice.PageVersion() << ", unit " << FDevice.Unit()
       << std::endl;
  FOut << "tallybox-sim: ready (Ctrl+C stops)" << std::endl;
  return true;
}

void TSimLoop::ReportSerial() {
  FOut << "tallybox-sim: serial debug terminal: " << FPty->Path() << std::endl;
  if (!FOptions.Link.empty())
    FOut << "tallybox-sim: link: " << FOptions.Link << " -> " << FPty->Path() << std::endl;
}

std::unique_ptr<TSimSession> TSimLoop::NewSession(TSimRoute Route, uint64_t NowMs) {
  auto config = FOptions.Session;
  config.Route = Route;
  auto session = std::make_unique<TSimSession>(FDevice, config,
                                               [this](const std::string& Line) { LogLine(Line); });
  session->Start(NowMs);
  return session;
}

void TSimLoop::LogLine(const std::string& Line) {
  if (!FLog) return;
  std::fprintf(FLog, "%s\n", simtext::Printable(Line).c_str());
  std::fflush(FLog);
}

bool TSimLoop::Flush(TLink& Link, uint64_t NowMs) {
  auto& output = Link.Session->Output();
  for (auto piece = output.Peek(NowMs); !piece.empty(); piece = output.Peek(NowMs)) {
    // SIGPIPE is ignored by the program, so a vanished peer shows here as an error.
    const ssize_t sent = write(Link.Fd, piece.data(), piece.size());
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) break;
      return false;
    }
    output.Consume(static_cast<std::size_t>(sent), NowMs);
  }
  return !Link.Session->MustDrop();
}

bool TSimLoop::Receive(TLink& Link, uint64_t NowMs) {
  char buffer[4096];
  const ssize_t received = read(Link.Fd, buffer, sizeof buffer);
  if (received == 0) return false;
  if (received < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  Link.Session->Receive(std::string_view(buffer, static_cast<std::size_t>(received)), NowMs);
  SpreadEvents(NowMs);
  return true;
}

void TSimLoop::SpreadEvents(uint64_t NowMs) {
  for (const auto& event : FDevice.TakeEvents()) {
    for (auto& client : FClients) client.Session->QueueEvent(event, NowMs);
    if (FSerial.Session) FSerial.Session->QueueEvent(event, NowMs);
  }
}

void TSimLoop::AcceptAll(uint64_t NowMs) {
  for (int fd = SimAccept(FListener); fd >= 0; fd = SimAccept(FListener))
    FClients.push_back({fd, NewSession(TSimRoute::Tcp, NowMs)});
}

void TSimLoop::DropSerial() {
  // Closing the controlling end hangs the client up; a fresh terminal waits for the next one.
  FSerial = TLink{};
  std::string error;
  if (FPty->Open(FOptions.Link, error))
    ReportSerial();
  else
    FOut << "tallybox-sim: " << error << std::endl;
}

void TSimLoop::ServeSerial(short Events, uint64_t NowMs) {
  if (!FSerial.Session) {
    if (!FPty->ClientPresent()) return;
    FSerial.Fd = FPty->Fd();
    FSerial.Session = NewSession(TSimRoute::Serial, NowMs);
    return;
  }
  bool present = true;
  if (Events & POLLIN)
    present = Receive(FSerial, NowMs);
  else if (Events & (POLLHUP | POLLERR))
    present = false;
  if (!present) {
    // The client closed its end: whatever it did not read is lost, as on a real line.
    FSerial = TLink{};
    FPty->Flush();
  }
}

int TSimLoop::PollTimeout(uint64_t NowMs) const {
  uint64_t wake = TSimOutput::kNever;
  for (const auto& client : FClients) wake = std::min(wake, client.Session->NextWakeMs());
  if (FSerial.Session) wake = std::min(wake, FSerial.Session->NextWakeMs());
  int timeout = 1000;
  if (wake != TSimOutput::kNever)
    timeout = wake <= NowMs ? 0 : static_cast<int>(std::min<uint64_t>(wake - NowMs, 1000));
  if (FPty && !FSerial.Session) timeout = std::min(timeout, kSerialWatchMs);
  return timeout;
}

void TSimLoop::Run(int StopFd) {
  for (;;) {
    uint64_t now = NowMs();
    for (auto& client : FClients) client.Session->Tick(now);
    if (FSerial.Session) FSerial.Session->Tick(now);
    SpreadEvents(now);

    std::erase_if(FClients, [&](TLink& client) {
      if (Flush(client, now)) return false;
      close(client.Fd);
      return true;
    });
    if (FSerial.Session && !Flush(FSerial, now)) DropSerial();

    std::vector<pollfd> fds{{StopFd, POLLIN, 0}};
    if (FListener >= 0) fds.push_back({FListener, POLLIN, 0});
    const std::size_t firstClient = fds.size();
    for (const auto& client : FClients) {
      const bool due = !client.Session->Output().Peek(now).empty();
      fds.push_back({client.Fd, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0});
    }
    const bool serialPolled = FSerial.Session != nullptr;
    if (serialPolled) {
      const bool due = !FSerial.Session->Output().Peek(now).empty();
      fds.push_back({FSerial.Fd, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0});
    }

    if (poll(fds.data(), fds.size(), PollTimeout(now)) < 0 && errno != EINTR) break;
    if (fds[0].revents != 0) break;
    now = NowMs();
    if (FListener >= 0 && (fds[1].revents & POLLIN)) AcceptAll(now);

    // Clients accepted just now have no entry in fds yet; they are served next round.
    const std::size_t polledClients = (serialPolled ? fds.size() - 1 : fds.size()) - firstClient;
    std::vector<bool> gone(FClients.size(), false);
    for (std::size_t i = 0; i < polledClients; ++i) {
      const short events = fds[firstClient + i].revents;
      if (events & POLLIN)
        gone[i] = !Receive(FClients[i], now);
      else if (events & (POLLHUP | POLLERR))
        gone[i] = true;
    }
    for (std::size_t i = FClients.size(); i-- > 0;)
      if (gone[i]) {
        close(FClients[i].Fd);
        FClients.erase(FClients.begin() + static_cast<std::ptrdiff_t>(i));
      }
    if (FPty) ServeSerial(serialPolled ? fds.back().revents : 0, now);
  }
}
