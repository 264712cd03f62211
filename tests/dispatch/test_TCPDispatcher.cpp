#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/uKeepAlive.h"
#include "dispatch/uTerminalDispatcher.h"
#include "support/DispatcherOwner.h"
#include "support/LoopbackPeer.h"
#include "transport/uTcpClient.h"

namespace {

class TProbeDispatcher : public TTCPDispatcher {
 public:
  using TTCPDispatcher::TTCPDispatcher;
  ~TProbeDispatcher() override { ++Destroyed; }
  int Socket() { return FClient->SocketHandle(); }
  static inline std::atomic<int> Destroyed{0};
};

std::string Pattern(size_t Size, unsigned Seed) {
  std::string s(Size, '\0');
  for (size_t i = 0; i < Size; ++i) s[i] = char((i * 131 + Seed) % 251);
  return s;
}

}  // namespace

TEST(TCPDispatcher, SessionEndedByThePeerGivesTheFullSequence) {
  TLoopbackPeer peer("127.0.0.31");
  const int destroyedBefore = TProbeDispatcher::Destroyed;
  auto* d = new TProbeDispatcher("127.0.0.31");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
  peer.Send("PASSWORD:");
  peer.CloseConnection();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events,
            (std::vector<std::string>{"status:Connecting to 127.0.0.31", "opened",
                                      "status:Closed by remote end", "status:Closing", "closed"}));
  EXPECT_EQ(owner.Input, "PASSWORD:");
  EXPECT_TRUE(owner.Until([&] { return TProbeDispatcher::Destroyed == destroyedBefore + 1; }));
}

TEST(TCPDispatcher, RefusedConnectionReportsBothErrorsAndNeverOpens) {
  auto* d = new TTCPDispatcher("127.0.0.32");  // nobody listens there
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  ASSERT_EQ(owner.Events.size(), 5u);
  EXPECT_EQ(owner.Events[0], "status:Connecting to 127.0.0.32");
  EXPECT_EQ(owner.Events[1].rfind("error:Error connecting to 127.0.0.32: ", 0), 0u)
      << owner.Events[1];
  EXPECT_NE(owner.Events[1].find("refused"), std::string::npos) << owner.Events[1];
  EXPECT_EQ(owner.Events[2], "error:Could not connect to 127.0.0.32");
  EXPECT_EQ(owner.Events[3], "status:Closing");
  EXPECT_EQ(owner.Events[4], "closed");
}

TEST(TCPDispatcher, UnresolvableHostReportsBothErrors) {
  auto* d = new TTCPDispatcher("no-such-tallybox.invalid");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  ASSERT_EQ(owner.Events.size(), 5u);
  EXPECT_EQ(owner.Events[1].rfind("error:Error connecting to no-such-tallybox.invalid: ", 0), 0u);
  EXPECT_EQ(owner.Events[2], "error:Could not connect to no-such-tallybox.invalid");
  EXPECT_FALSE(owner.Has("opened"));
}

TEST(TCPDispatcher, AbortDuringTheConnectSuppressesErrorsButStillCloses) {
  // A listener whose accept queue is full leaves new connects hanging in the handshake.
  TLoopbackPeer peer("127.0.0.33", 0);
  std::vector<TTcpClient> fillers(3);
  for (auto& f : fillers) {
    f.Host = "127.0.0.33";
    f.Port = 6024;
    try {
      f.Connect(300);
    } catch (const ETcpError&) {
      // the queue is full already: exactly what this test needs
    }
  }
  auto* d = new TTCPDispatcher("127.0.0.33");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return owner.Has("status:Connecting to 127.0.0.33"); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  d->Abort();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"status:Connecting to 127.0.0.33",
                                                    "status:Closing", "closed"}));
}

TEST(TCPDispatcher, AbortBeforeStartSilencesTheRefusal) {
  auto* d = new TTCPDispatcher("127.0.0.34");
  TOwner owner;
  owner.Wire(d);
  d->Abort();
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"status:Connecting to 127.0.0.34",
                                                    "status:Closing", "closed"}));
}

TEST(TCPDispatcher, TerminateFromTheOwnerClosesTheConnection) {
  TLoopbackPeer peer("127.0.0.35");
  auto* d = new TTCPDispatcher("127.0.0.35");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
  d->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"status:Connecting to 127.0.0.35", "opened",
                                                    "status:Closing", "closed"}));
  EXPECT_TRUE(peer.SeesClose());
}

TEST(TCPDispatcher, LargeTransfersArriveWholeAndInOrderBothWays) {
  TLoopbackPeer peer("127.0.0.36");
  auto* d = new TTCPDispatcher("127.0.0.36");
  TOwner owner;
  TTerminalDispatcher* live = d;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));

  const std::string fromDevice = Pattern(200000, 7);
  std::thread sender([&] { peer.Send(fromDevice); });
  ASSERT_TRUE(owner.Until([&] {
    owner.Drain(live);
    return owner.Input.size() >= fromDevice.size();
  }));
  sender.join();
  EXPECT_TRUE(owner.Input == fromDevice);

  const std::string toDevice = Pattern(100000, 3);
  live->WriteOutput(toDevice.data(), int32_t(toDevice.size() / 2));
  live->WriteOutput(toDevice.data() + toDevice.size() / 2,
                    int32_t(toDevice.size() - toDevice.size() / 2));
  const std::string received = peer.Receive(toDevice.size());
  EXPECT_TRUE(received == toDevice) << "received " << received.size() << " bytes";
  live->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
}

TEST(TCPDispatcher, BytesSentBeforeThePeerClosesAreAllDelivered) {
  TLoopbackPeer peer("127.0.0.37");
  auto* d = new TTCPDispatcher("127.0.0.37");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
  const std::string last = Pattern(50000, 11);
  peer.Send(last);
  peer.CloseConnection();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_TRUE(owner.Input == last) << "got " << owner.Input.size() << " of " << last.size();
}

TEST(TCPDispatcher, OutputQueuedWhileTheLastBytesAreStillDeliveredLosesNeitherThemNorTheClose) {
  // The device ends its stream with more bytes than one pass moves while the owner still has
  // plenty queued for it: every received byte arrives and the close is reported as such.
  TLoopbackPeer peer("127.0.0.42");
  auto* d = new TTCPDispatcher("127.0.0.42");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
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

TEST(TCPDispatcher, NoNotificationReachesTheOwnerAfterDetach) {
  TLoopbackPeer peer("127.0.0.38");
  const int destroyedBefore = TProbeDispatcher::Destroyed;
  auto* d = new TProbeDispatcher("127.0.0.38");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
  const size_t seen = owner.Events.size();
  d->DetachNotifications();
  peer.CloseConnection();  // the worker now reports the close, to nobody
  ASSERT_TRUE(owner.Until([&] { return TProbeDispatcher::Destroyed == destroyedBefore + 1; }));
  EXPECT_EQ(owner.Events.size(), seen);
}

TEST(TCPDispatcher, ShutdownWhileTheWorkerWaitsOnANotificationDoesNotDeadlock) {
  TLoopbackPeer peer("127.0.0.39");
  auto* d = new TTCPDispatcher("127.0.0.39");
  TOwner owner;
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
  // The peer closes and the worker blocks delivering "Closed by remote end", because this
  // thread does not run the event loop now.
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

TEST(TCPDispatcher, KeepAliveIsOnBeforeOpenedWithTheDeviceTimings) {
  TLoopbackPeer peer("127.0.0.40");
  auto* d = new TProbeDispatcher("127.0.0.40");
  TOwner owner;
  int keepAlive = -1, idle = -1, interval = -1;
  owner.WhenOpened = [&](TTerminalDispatcher*) {
    socklen_t len = sizeof(int);
    getsockopt(d->Socket(), SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &len);
    getsockopt(d->Socket(), IPPROTO_TCP, TCP_KEEPIDLE, &idle, &len);
    getsockopt(d->Socket(), IPPROTO_TCP, TCP_KEEPINTVL, &interval, &len);
  };
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.Until([&] { return peer.Accept(0); }));
  ASSERT_TRUE(owner.Until([&] { return owner.Has("opened"); }));
  EXPECT_EQ(keepAlive, 1);
  EXPECT_EQ(idle, 60);
  EXPECT_EQ(interval, 10);
  d->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
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

TEST(TCPDispatcher, HostTextIsKeptExactly) {
  auto* d = new TTCPDispatcher("Device.Local");
  EXPECT_EQ(d->GetHost(), "Device.Local");
  d->SetHost("127.0.0.41");
  EXPECT_EQ(d->GetHost(), "127.0.0.41");
  d->FreeOnTerminate = false;
  delete d;  // never started
}
