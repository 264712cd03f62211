// The socket options of every route that reaches the device over TCP (direct, and a terminal
// server's raw and RFC 2217 ports), read with getsockopt from the socket the worker really
// uses: a request line or a typed key goes out at once, not after the peer's delayed
// acknowledgement.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "dispatch/uRoute.h"
#include "dispatch/uTerminalDispatcher.h"
#include "support/DispatcherOwner.h"
#include "support/LoopbackPeer.h"
#include "support/Rfc2217Server.h"

namespace {

// This process's socket connected to Address:Port (-1 when there is none).
int SocketConnectedTo(const std::string& Address, uint16_t Port) {
  DIR* fds = opendir("/proc/self/fd");
  if (!fds) return -1;
  int found = -1;
  for (dirent* entry; found < 0 && (entry = readdir(fds));) {
    const int fd = std::atoi(entry->d_name);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
        peer.sin_family == AF_INET && ntohs(peer.sin_port) == Port &&
        peer.sin_addr.s_addr == inet_addr(Address.c_str()))
      found = fd;
  }
  closedir(fds);
  return found;
}

int Option(int Socket, int Level, int Name) {
  int value = -1;
  socklen_t length = sizeof value;
  return getsockopt(Socket, Level, Name, &value, &length) == 0 ? value : -1;
}

TRoute Tcp(const std::string& Host) {
  TRoute route;
  route.Kind = TRouteKind::Tcp;
  route.Host = Host;
  return route;
}

TRoute TerminalServer(const std::string& Url) {
  TRoute route;
  route.Kind = TRouteKind::Serial;
  route.ComPort = 1;
  route.TerminalServer = Url;
  route.ThroughServer = true;
  return route;
}

}  // namespace

TEST(TcpRouteOptions, EveryTcpRouteSendsWithoutDelay) {
  TLoopbackPeer device("127.0.0.60"), rawServer("127.0.0.61");
  TRfc2217Server rfc2217(TRfc2217Server::Cts | TRfc2217Server::Dsr);
  const std::string rfc2217Port = rfc2217.Url().substr(rfc2217.Url().rfind(':') + 1);
  const struct {
    TRoute Route;
    std::string Address;
    uint16_t Port;
  } cases[] = {
      {Tcp("127.0.0.60"), "127.0.0.60", 6024},
      {TerminalServer("tcp://127.0.0.61:6024"), "127.0.0.61", 6024},
      {TerminalServer(rfc2217.Url()), "127.0.0.1", uint16_t(std::stoi(rfc2217Port))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Route.Name());
    std::unique_ptr<TTerminalDispatcher> d(MakeDispatcher(c.Route));
    d->FreeOnTerminate = false;
    TOwner owner;
    int noDelay = -1;
    owner.WhenOpened = [&](TTerminalDispatcher*) {
      const int socket = SocketConnectedTo(c.Address, c.Port);
      EXPECT_GE(socket, 0) << "no socket connected to " << c.Address << ":" << c.Port;
      if (socket >= 0) noDelay = Option(socket, IPPROTO_TCP, TCP_NODELAY);
    };
    owner.Wire(d.get());
    d->Resume();
    EXPECT_TRUE(owner.UntilOpened());
    EXPECT_EQ(noDelay, 1);
    d->Terminate();
    d->WaitFor();
  }
}
