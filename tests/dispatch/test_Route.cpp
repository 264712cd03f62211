// A route: when it is complete, what it is called, and the worker it makes.
#include <gtest/gtest.h>

#include <memory>

#include "dispatch/uModemDispatcher.h"
#include "dispatch/uRoute.h"
#include "dispatch/uTerminalDispatcher.h"

namespace {

TRoute Serial(int32_t Port, const std::string& Path = "", const std::string& Server = "") {
  TRoute route;
  route.Kind = TRouteKind::Serial;
  route.ComPort = Port;
  route.DevicePath = Path;
  route.TerminalServer = Server;
  route.ThroughServer = !Server.empty();
  return route;
}

}  // namespace

TEST(Route, IsCompleteWhenItsKindHasWhatItNeedsAndIsNamedByIt) {
  TRoute dial;
  dial.DialEntry = "Office";
  TRoute tcp;
  tcp.Kind = TRouteKind::Tcp;
  tcp.Host = "10.0.0.9";
  tcp.DialEntry = "Office";
  TRoute none = tcp;
  none.Kind = TRouteKind::None;
  const struct {
    TRoute Route;
    bool Complete;
    std::string Name;
  } cases[] = {
      {dial, true, "Office"},
      {TRoute(), false, ""},
      {tcp, true, "10.0.0.9"},
      {Serial(3), true, "COM3"},
      {Serial(-1), false, "COM-1"},
      {Serial(-1, "/dev/ttyUSB0"), true, "/dev/ttyUSB0"},
      {Serial(3, "", "tcp://ts:7001"), true, "tcp://ts:7001"},
      {none, false, "10.0.0.9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Route.Complete(), c.Complete);
    EXPECT_EQ(c.Route.Name(), c.Name);
  }
  TRoute server = Serial(3, "", "tcp://ts:7001");
  server.TerminalServer.clear();
  EXPECT_FALSE(server.Complete());  // the COM port is not taken instead
}

TEST(Route, MakesTheWorkerOfItsKind) {
  TRoute tcp;
  tcp.Kind = TRouteKind::Tcp;
  tcp.Host = "127.0.0.1";
  std::unique_ptr<TTerminalDispatcher> made(MakeDispatcher(tcp));
  auto* asTcp = dynamic_cast<TTCPDispatcher*>(made.get());
  ASSERT_NE(asTcp, nullptr);
  EXPECT_EQ(dynamic_cast<TModemDispatcher*>(made.get()), nullptr);
  EXPECT_EQ(asTcp->GetHost(), "127.0.0.1");

  made.reset(MakeDispatcher(Serial(4)));
  ASSERT_NE(dynamic_cast<TComPortDispatcher*>(made.get()), nullptr);
  EXPECT_EQ(static_cast<TComPortDispatcher*>(made.get())->ComPort(), 4);
  made.reset(MakeDispatcher(Serial(4, "/dev/ttyUSB7")));
  EXPECT_EQ(static_cast<TComPortDispatcher*>(made.get())->PortName(), "/dev/ttyUSB7");
  made.reset(MakeDispatcher(Serial(4, "/dev/ttyUSB7", "rfc2217://ts:7001")));
  EXPECT_EQ(static_cast<TComPortDispatcher*>(made.get())->PortName(), "rfc2217://ts:7001");

  TRoute dial;
  dial.DialEntry = "Office";
  made.reset(MakeDispatcher(dial));
  EXPECT_NE(dynamic_cast<TModemDispatcher*>(made.get()), nullptr);
}
