// The serial dispatcher on a port behind a terminal server, against a scripted RFC 2217
// server on loopback: the negotiation as it goes over the wire, the modem lines and pauses
// the server reports holding output back, and the server's end closing the link.
#include <gtest/gtest.h>

#include "support/DispatcherOwner.h"
#include "support/LoopbackPeer.h"
#include "transport/uNetSerialPort.h"
#include "transport/uTelnet.h"

namespace {

using namespace Telnet;

std::string Sb(uint8_t Command, const std::string& Value) {
  return TelnetSubnegotiation(ComPortOption, std::string(1, char(Command)) + Value);
}
std::string Byte(int Value) {
  return std::string(1, static_cast<char>(Value));
}

TEST(NetSerialDispatcher, FollowsTheModemLinesAndPausesTheServerReports) {
  TLoopbackPeer server("127.0.132.4");
  auto* dispatcher = new TComPortDispatcher("rfc2217://127.0.132.4:6024");
  EXPECT_EQ(dispatcher->PortName(), "rfc2217://127.0.132.4:6024");
  EXPECT_EQ(dispatcher->ComPort(), 0);
  TOwner owner;
  owner.Wire(dispatcher);
  dispatcher->Resume();
  ASSERT_TRUE(owner.Until([&] { return !owner.Events.empty(); }));  // "Opening ..."
  ASSERT_TRUE(server.Accept());

  const std::string offer = TelnetCommand(WILL, Binary) + TelnetCommand(WILL, SuppressGoAhead) +
                            TelnetCommand(WILL, ComPortOption) + TelnetCommand(DO, Binary);
  EXPECT_EQ(server.Receive(offer.size()), offer);
  server.Send(TelnetCommand(DO, ComPortOption));
  // The lines raised, then the debug port's line, then every modem line asked for.
  const std::string line = Sb(5, Byte(11)) + Sb(5, Byte(8)) +
                           Sb(1, std::string("\0\x01\xc2\0", 4)) + Sb(2, Byte(8)) + Sb(3, Byte(1)) +
                           Sb(4, Byte(1)) + Sb(5, Byte(3)) + Sb(11, Byte(0xFF));
  EXPECT_EQ(server.Receive(line.size()), line);
  // Confirmed; DSR on, CTS off.
  server.Send(Sb(101, std::string("\0\x01\xc2\0", 4)) + Sb(102, Byte(8)) + Sb(103, Byte(1)) +
              Sb(104, Byte(1)) + Sb(105, Byte(3)) + Sb(107, Byte(0x21)));
  ASSERT_TRUE(owner.UntilOpened());

  dispatcher->WriteOutput("held\r\n", 6);
  EXPECT_EQ(server.Receive(6, 400), "");
  server.Send(Sb(107, Byte(0x31)));  // CTS on
  EXPECT_EQ(server.Receive(6), "held\r\n");

  server.Send(Sb(108, ""));  // the server asks for a pause
  owner.For(100);
  dispatcher->WriteOutput("\xffz", 2);
  EXPECT_EQ(server.Receive(3, 400), "");
  server.Send(Sb(109, ""));
  EXPECT_EQ(server.Receive(3), "\xff\xffz");  // 0xFF doubled on the wire

  server.Send(
      "a\xff\xff"
      "b" +
      TelnetCommand(WILL, 1) + "c");
  EXPECT_EQ(server.Receive(3), TelnetCommand(DONT, 1));  // an option it does not want
  ASSERT_TRUE(owner.Until([&] {
    return owner.Drain(dispatcher), owner.Input ==
                                        "a\xff"
                                        "bc";
  }));

  server.CloseConnection();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_TRUE(owner.Has("status:Closed by remote end"));
  EXPECT_EQ(owner.Events.front(), "status:Opening rfc2217://127.0.132.4:6024");
}

}  // namespace
