#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/uKeepAlive.h"
#include "dispatch/uTerminalDispatcher.h"
#include "support/DispatcherOwner.h"
#include "support/HangingLookup.h"
#include "support/LoopbackPeer.h"
#include "transport/uTcpClient.h"

namespace {

class TProbeDispatcher : public TTCPDispatcher {
 public:
  using TTCPDispatcher::TTCPDispatcher;
  ~TProbeDispatcher() override { ++Destroyed; }
  int Socket() { return FClient->SocketHandle(); }
  void SetResolver(THostResolver Resolver) { FClient->Resolver = std::move(Resolver); }
  static inline std::atomic<int> Destroyed{0};
};

std::string Pattern(size_t Size, unsigned Seed) {
  std::string s(Size, '\0');
  for (size_t i = 0; i < Size; ++i) s[i] = char((i * 131 + Seed) % 251);
  return s;
}

// Starts a dispatcher towards Peer's address and delivers notifications until it opened.
TProbeDispatcher* Open(TOwner& Owner, TLoopbackPeer& Peer, const std::string& Address) {
  auto* d = new TProbeDispatcher(Address);
  Owner.Wire(d);
  d->Resume();
  const bool opened = Owner.Until([&] { return Peer.Accept(0); }) && Owner.UntilOpened();
  EXPECT_TRUE(opened) << Address;
  return opened ? d : nullptr;
}

}  // namespace

TEST(TCPDispatcher, SessionEndedByThePeerDeliversEveryByteAndTheFullSequence) {
  TLoopbackPeer peer("127.0.0.31");
  const int destroyedBefore = TProbeDispatcher::Destroyed;
  TOwner owner;
  ASSERT_TRUE(Open(owner, peer, "127.0.0.31"));
  const std::string last = "PASSWORD:" + Pattern(50000, 11);
  peer.Send(last);
  peer.CloseConnection();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events,
            (std::vector<std::string>{"status:Connecting to 127.0.0.31", "opened",
                                      "status:Closed by remote end", "status:Closing", "closed"}));
  EXPECT_TRUE(owner.Input == last) << "got " << owner.Input.size() << " of " << last.size();
  EXPECT_TRUE(owner.Until([&] { return TProbeDispatcher::Destroyed == destroyedBefore + 1; }));
}

// Nobody listens at the first address; the second name cannot be resolved.
TEST(TCPDispatcher, FailedConnectReportsBothErrorsInOrderAndNeverOpens) {
  for (const std::string host : {"127.0.0.32", "no-such-tallybox.invalid"}) {
    SCOPED_TRACE(host);
    auto* d = new TTCPDispatcher(host);
    TOwner owner;
    owner.Wire(d);
    d->Resume();
    ASSERT_TRUE(owner.UntilClosed());
    ASSERT_EQ(owner.Events.size(), 5u);
    EXPECT_EQ(owner.Events[0], "status:Connecting to " + host);
    EXPECT_EQ(owner.Events[1].rfind("error:Error connecting to " + host + ": ", 0), 0u)
        << owner.Events[1];
    if (host[0] == '1') EXPECT_NE(owner.Events[1].find("refused"), std::string::npos);
    EXPECT_EQ(owner.Events[2], "error:Could not connect to " + host);
    EXPECT_EQ(owner.Events[3], "status:Closing");
    EXPECT_EQ(owner.Events[4], "closed");
  }
}

// A connect given up because the owner asked the worker to stop is no error, whether the
// handshake or the host lookup hangs, and whether the owner disconnects (Terminate) or aborts.
TEST(TCPDispatcher, StopRequestedDuringOrBeforeTheConnectEndsItWithoutErrors) {
  enum TStop { Terminate, Abort };
  enum THang { Handshake, Lookup, NotStarted };
  const struct {
    std::string Host;
    THang Hang;
    TStop Stop;
  } cases[] = {{"127.0.0.33", Handshake, Abort},
               {"127.0.0.46", Handshake, Terminate},
               {"tallybox.example", Lookup, Abort},
               {"tallybox.example", Lookup, Terminate},
               {"127.0.0.34", NotStarted, Abort}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Host + (c.Stop == Abort ? " abort" : " terminate"));
    // A listener whose accept queue is full leaves new connects hanging in the handshake.
    std::unique_ptr<TLoopbackPeer> peer;
    std::vector<TTcpClient> fillers(c.Hang == Handshake ? 3 : 0);
    if (c.Hang == Handshake) peer = std::make_unique<TLoopbackPeer>(c.Host, 0);
    for (auto& f : fillers) {
      f.Host = c.Host;
      f.Port = 6024;
      try {
        f.Connect(300);
      } catch (const ETcpError&) {  // the queue is full already: exactly what is needed
      }
    }
    THangingLookup lookup;
    auto* d = new TProbeDispatcher(c.Host);
    if (c.Hang == Lookup) d->SetResolver(lookup.Resolver());
    TOwner owner;
    owner.Wire(d);
    const auto stop = [&] { c.Stop == Abort ? d->Abort() : d->Terminate(); };
    if (c.Hang == NotStarted) stop();
    d->Resume();
    if (c.Hang != NotStarted) {
      ASSERT_TRUE(owner.Until([&] { return owner.Has("status:Connecting to " + c.Host); }));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (c.Hang == Lookup) EXPECT_TRUE(lookup.Entered());
      stop();
    }
    ASSERT_TRUE(owner.UntilClosed(3000));
    EXPECT_EQ(owner.Events, (std::vector<std::string>{"status:Connecting to " + c.Host,
                                                      "status:Closing", "closed"}));
    EXPECT_FALSE(lookup.Returned());
  }
}

TEST(TCPDispatcher, LargeTransfersArriveWholeAndInOrderBothWays) {
  TLoopbackPeer peer("127.0.0.36");
  TOwner owner;
  TTerminalDispatcher* d = Open(owner, peer, "127.0.0.36");
  ASSERT_TRUE(d);
  const std::string fromDevice = Pattern(200000, 7);
  std::thread sender([&] { peer.Send(fromDevice); });
  ASSERT_TRUE(owner.Until([&] {
    owner.Drain(d);
    return owner.Input.size() >= fromDevice.size();
  }));
  sender.join();
  EXPECT_TRUE(owner.Input == fromDevice);

  const std::string toDevice = Pattern(100000, 3);
  const size_t half = toDevice.size() / 2;
  d->WriteOutput(toDevice.data(), int32_t(half));
  d->WriteOutput(toDevice.data() + half, int32_t(toDevice.size() - half));
  const std::string received = peer.Receive(toDevice.size());
  EXPECT_TRUE(received == toDevice) << "received " << received.size() << " bytes";
  d->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
}

// The device ends its stream with more bytes than one pass moves while the owner still has
// plenty queued for it: every received byte arrives and the close is reported as such.
TEST(TCPDispatcher, OutputQueuedWhileTheLastBytesAreStillDeliveredLosesNeitherThemNorTheClose) {
  TLoopbackPeer peer("127.0.0.42");
  TOwner owner;
  TProbeDispatcher* d = Open(owner, peer, "127.0.0.42");
  ASSERT_TRUE(d);
  const std::string toDevice = Pattern(1 << 20, 5);
  d->WriteOutput(toDevice.data(), int32_t(toDevice.size()));
  const std::string last = Pattern(200000, 13);
  std::thread device([&] {
    peer.Receive(TTerminalDispatcher::TransferSize);  // the pump is sending
    peer.Send(last);
    peer.EndSending();
    peer.Receive(toDevice.size());
  });
  const bool closed = owner.UntilClosed();
  device.join();
  ASSERT_TRUE(closed);
  EXPECT_TRUE(owner.Input == last) << "got " << owner.Input.size() << " of " << last.size();
  EXPECT_EQ(std::vector<std::string>(owner.Events.end() - 3, owner.Events.end()),
            (std::vector<std::string>{"status:Closed by remote end", "status:Closing", "closed"}));
}

// The device sends a long last block and closes its end; as soon as the block begins to arrive
// the owner queues a command, draining the input the whole time as the main window's pump
// does: every byte the device sent arrives and the close is reported as such.
TEST(TCPDispatcher, DeviceClosingAfterALongBlockWhileACommandIsQueuedLosesNothing) {
  TLoopbackPeer peer("127.0.0.47");
  TOwner owner;
  TProbeDispatcher* d = Open(owner, peer, "127.0.0.47");
  ASSERT_TRUE(d);
  const std::string last = Pattern(8000000, 17);
  std::thread device([&] {
    peer.Send(last);
    peer.CloseConnection();
  });
  const auto drainUntilClosed = [&] {
    if (owner.Has("closed")) return true;  // the dispatcher has freed itself
    owner.Drain(d);
    return false;
  };
  owner.Until([&] { return drainUntilClosed() || !owner.Input.empty(); });
  // The worker holds at most 1 MiB unread: the rest of the block cannot have arrived yet.
  const bool queued = !owner.Input.empty() && !owner.Has("closed");
  if (queued) d->WriteOutput("r?\r\n", 4);
  const bool closed = owner.Until(drainUntilClosed);
  device.join();
  ASSERT_TRUE(queued && closed);
  EXPECT_TRUE(owner.Input == last) << "got " << owner.Input.size() << " of " << last.size();
  EXPECT_EQ(owner.Events,
            (std::vector<std::string>{"status:Connecting to 127.0.0.47", "opened",
                                      "status:Closed by remote end", "status:Closing", "closed"}));
}

TEST(TCPDispatcher, NoNotificationReachesTheOwnerAfterDetach) {
  TLoopbackPeer peer("127.0.0.38");
  const int destroyedBefore = TProbeDispatcher::Destroyed;
  TOwner owner;
  TProbeDispatcher* d = Open(owner, peer, "127.0.0.38");
  ASSERT_TRUE(d);
  const size_t seen = owner.Events.size();
  d->DetachNotifications();
  peer.CloseConnection();  // the worker now reports the close, to nobody
  ASSERT_TRUE(owner.Until([&] { return TProbeDispatcher::Destroyed == destroyedBefore + 1; }));
  EXPECT_EQ(owner.Events.size(), seen);
}

TEST(TCPDispatcher, ShutdownWhileTheWorkerWaitsOnANotificationDoesNotDeadlock) {
  TLoopbackPeer peer("127.0.0.39");
  TOwner owner;
  TProbeDispatcher* d = Open(owner, peer, "127.0.0.39");
  ASSERT_TRUE(d);
  // The worker blocks delivering "Closed by remote end": this thread runs no event loop now.
  peer.CloseConnection();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const size_t seen = owner.Events.size();
  d->FreeOnTerminate = false;
  d->DetachNotifications();
  d->Terminate();
  d->WaitFor();
  delete d;
  EXPECT_EQ(owner.Events.size(), seen);
}

// Keep-alive is on with the device's timings by the time the owner hears "opened".
TEST(TCPDispatcher, KeepAliveIsOnBeforeOpenedAndTerminateFromTheOwnerCloses) {
  TLoopbackPeer peer("127.0.0.35");
  TOwner owner;
  int keepAlive = -1, idle = -1, interval = -1;
  owner.WhenOpened = [&](TTerminalDispatcher* s) {
    const int socket = static_cast<TProbeDispatcher*>(s)->Socket();
    socklen_t len = sizeof(int);
    getsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &len);
    getsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &len);
    getsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &len);
  };
  TProbeDispatcher* d = Open(owner, peer, "127.0.0.35");
  ASSERT_TRUE(d);
  EXPECT_EQ(keepAlive, 1);
  EXPECT_EQ(idle, 60);
  EXPECT_EQ(interval, 10);
  d->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"status:Connecting to 127.0.0.35", "opened",
                                                    "status:Closing", "closed"}));
  EXPECT_TRUE(peer.SeesClose());
}

TEST(TCPDispatcher, KeepAliveTimesTooLongForTheSocketAreRefusedNotShortened) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(s, 0);
  const int32_t result = SetKeepAlive(s, INT32_MAX, INT32_MAX);
  int idle = -1, interval = -1;
  socklen_t len = sizeof(int);
  getsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &len);
  getsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &len);
  close(s);
  // Either the socket takes the whole time or the call fails; a one-second probe is wrong.
  if (result == 0) {
    EXPECT_GE(idle, INT32_MAX / 1000);
    EXPECT_GE(interval, INT32_MAX / 1000);
  } else {
    EXPECT_EQ(result, -1);
    EXPECT_NE(idle, 1);
    EXPECT_NE(interval, 1);
  }
}
