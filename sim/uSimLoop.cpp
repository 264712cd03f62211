#include "sim/uSimLoop.h"

#include "sim/uSimTcp.h"
#include "sim/uSimText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// Out of descriptors: try to accept again after this long.
constexpr int kAcceptPauseMs = 100;

}  // namespace

TSimLoop::TSimLoop(const TSimOptions& Options, TSimDevice& Device, std::ostream& Out)
    : FOptions(Options), FDevice(Device), FOut(Out) {}

TSimLoop::~TSimLoop() {
  for (auto& client : FClients) SimClose(client.Fd);
  if (FListener >= 0) SimClose(FListener);
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
    GreetSerial();
  }
  FOut << "tallybox-sim: page version " << FDevice.PageVersion() << ", unit " << FDevice.Unit()
       << std::endl;
  FOut << "tallybox-sim: ready (Ctrl+C stops)" << std::endl;
  return true;
}

// A device put into debug mode writes its banner and prompt at once, whether or not anyone
// holds the port open; the terminal keeps them for the next client.
void TSimLoop::GreetSerial() {
  if (!FOptions.Session.BannerOnOpen) return;
  const std::string greeting = TSimSession::DebugGreeting(FDevice, FOptions.Session);
  if (SimWrite(FPty->Fd(), greeting.data(), greeting.size()) < 0)
    FOut << "tallybox-sim: cannot write the banner: " << std::strerror(errno) << std::endl;
}

void TSimLoop::ReportSerial() {
  FOut << "tallybox-sim: serial debug terminal: " << FPty->Path() << std::endl;
  if (!FOptions.Link.empty())
    FOut << "tallybox-sim: link: " << FOptions.Link << " -> " << FPty->Path() << std::endl;
}

std::unique_ptr<TSimSession> TSimLoop::NewSession(TSimRoute Route, uint64_t NowMs) {
  auto config = FOptions.Session;
  config.Route = Route;
  config.SessionNumber = FSessions++;
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
    const long sent = SimWrite(Link.Fd, piece.data(), piece.size());
    if (sent < 0) {
      if (SimTryLater()) break;
      return false;
    }
    output.Consume(static_cast<std::size_t>(sent), NowMs);
  }
  return !Link.Session->MustDrop();
}

bool TSimLoop::Receive(TLink& Link, uint64_t NowMs) {
  char buffer[4096];
  const long received = SimRead(Link.Fd, buffer, sizeof buffer);
  if (received == 0) return false;
  if (received < 0) return SimTryLater();
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
  if (SimOutOfDescriptors()) FAcceptPausedUntil = NowMs + kAcceptPauseMs;
}

void TSimLoop::DropSerial() {
  // Closing the controlling end hangs the client up; a fresh terminal waits for the next one.
  FSerial = TLink{};
  FOut << "tallybox-sim: serial debug session ended" << std::endl;
  std::string error;
  if (FPty->Open(FOptions.Link, error)) {
    ReportSerial();
    GreetSerial();
  } else {
    FOut << "tallybox-sim: " << error << std::endl;
  }
}

void TSimLoop::ServeSerial(short Events, uint64_t NowMs) {
  const auto turns = FPty->TakeTurns();
  if (FSerial.Session && (turns.Departed || turns.Arrivals > 0)) {
    if (turns.Arrivals == 0) DrainSerial(NowMs);
    EndSerial();
  } else if (FSerial.Session && (Events & POLLIN) && !Receive(FSerial, NowMs)) {
    EndSerial();  // it left after the watch was read: the next look tells of it
    return;
  }
  // A client that came and went between two looks leaves a session nobody would read.
  if (!FSerial.Session && turns.Present) StartSerial(NowMs);
}

void TSimLoop::StartSerial(uint64_t NowMs) {
  FSerial.Fd = FPty->Fd();
  FSerial.Session = NewSession(TSimRoute::Serial, NowMs);
  FOut << "tallybox-sim: serial debug session started" << std::endl;
}

void TSimLoop::DrainSerial(uint64_t NowMs) {
  char buffer[4096];
  for (int reads = 0; reads < 64; ++reads) {
    const long received = SimRead(FSerial.Fd, buffer, sizeof buffer);
    if (received <= 0) break;
    FSerial.Session->Receive(std::string_view(buffer, static_cast<std::size_t>(received)), NowMs);
  }
  SpreadEvents(NowMs);
}

void TSimLoop::EndSerial() {
  // Whatever the client did not read is lost, as on a real line.
  FSerial = TLink{};
  FPty->FlushOutput();
  FOut << "tallybox-sim: serial debug session ended" << std::endl;
  GreetSerial();
}

int TSimLoop::PollTimeout(uint64_t NowMs) const {
  uint64_t wake = TSimOutput::kNever;
  // Output that is due has asked for POLLOUT: the link's readiness wakes the loop, since a
  // peer that stops reading would otherwise have it retry failing writes without a pause.
  for (const auto& client : FClients) wake = std::min(wake, client.Session->NextWakeMs(NowMs));
  if (FSerial.Session) wake = std::min(wake, FSerial.Session->NextWakeMs(NowMs));
  int timeout = 1000;
  if (wake != TSimOutput::kNever)
    timeout = wake <= NowMs ? 0 : static_cast<int>(std::min<uint64_t>(wake - NowMs, 1000));
  if (FAcceptPausedUntil > NowMs)
    timeout = std::min(timeout, static_cast<int>(FAcceptPausedUntil - NowMs));
  return timeout;
}

pollfd TSimLoop::PollEntry(const TLink& Link, uint64_t NowMs) {
  const bool due = !Link.Session->Output().Peek(NowMs).empty();
  const bool wanted = Link.Session->WantsInput();
  return SimPollEntry(Link.Fd, static_cast<short>((wanted ? POLLIN : 0) | (due ? POLLOUT : 0)));
}

void TSimLoop::Advance(uint64_t NowMs) {
  for (auto& client : FClients) client.Session->Tick(NowMs);
  if (FSerial.Session) FSerial.Session->Tick(NowMs);
  SpreadEvents(NowMs);
  for (auto& client : FClients) client.Gone = !Flush(client, NowMs);
  RemoveGoneClients();
  if (FSerial.Session && !Flush(FSerial, NowMs)) DropSerial();
}

std::vector<pollfd> TSimLoop::PollSet(int StopFd, uint64_t NowMs) const {
  // poll() skips negative descriptors: no listener without TCP, no terminal without a client.
  const int listener = FAcceptPausedUntil > NowMs ? -1 : FListener;
  const int watch = FPty ? FPty->WatchFd() : -1;
  std::vector<pollfd> fds{SimPollEntry(StopFd, POLLIN), SimPollEntry(listener, POLLIN),
                          SimPollEntry(watch, POLLIN)};
  for (const auto& client : FClients) fds.push_back(PollEntry(client, NowMs));
  fds.push_back(FSerial.Session ? PollEntry(FSerial, NowMs) : SimPollEntry(-1, 0));
  return fds;
}

void TSimLoop::Dispatch(const std::vector<pollfd>& Fds, uint64_t NowMs) {
  // Fds holds the stop pipe, the listener, the terminal's watch, the clients as they were when
  // polled, the terminal.
  for (std::size_t i = 0; i + 4 < Fds.size(); ++i) {
    const short events = Fds[3 + i].revents;
    if (events & POLLIN)
      FClients[i].Gone = !Receive(FClients[i], NowMs);
    else if (events & (POLLHUP | POLLERR))
      FClients[i].Gone = true;
  }
  RemoveGoneClients();
  if (Fds[1].revents & POLLIN) AcceptAll(NowMs);
  if (FPty) ServeSerial(Fds.back().revents, NowMs);
}

void TSimLoop::RemoveGoneClients() {
  std::erase_if(FClients, [](const TLink& Client) {
    if (Client.Gone) SimClose(Client.Fd);
    return Client.Gone;
  });
}

void TSimLoop::Run(int StopFd) {
  for (;;) {
    Advance(NowMs());
    // One clock reading for both: output that falls due between two readings would get
    // neither POLLOUT nor a wake-up time.
    const uint64_t now = NowMs();
    auto fds = PollSet(StopFd, now);
    if (SimPoll(fds.data(), fds.size(), PollTimeout(now)) < 0) break;
    if (fds[0].revents != 0) break;
    Dispatch(fds, NowMs());
  }
}
