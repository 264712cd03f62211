// The network serial line: its addresses, then the real ser2net in front of
// the simulator's pseudo-terminal, over raw TCP and telnet with RFC 2217.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/SimHarness.h"
#include "support/Ser2net.h"
#include "transport/uNetSerialPort.h"

namespace {

TEST(NetSerialUrl, TakesTcpAndRfc2217Only) {
  struct {
    const char* Url;
    bool Good, Rfc2217;
    const char* Host;
    uint16_t Port;
  } cases[] = {
      {"tcp://10.0.0.5:4001", true, false, "10.0.0.5", 4001},
      {"rfc2217://ts.example:2000", true, true, "ts.example", 2000},
      {"rfc2217://[::1]:7", true, true, "::1", 7},
      {"tcp://host", false},
      {"tcp://host:0", false},
      {"tcp://host:65536", false},
      {"tcp://:80", false},
      {"udp://host:80", false},
      {"tcp://a b:80", false},
      {"tcp://::1:80", false},
      {"/dev/ttyUSB0", false},
  };
  for (const auto& c : cases) {
    TNetSerialAddress a;
    EXPECT_EQ(ParseNetSerialUrl(c.Url, a), c.Good) << c.Url;
    if (!c.Good) continue;
    EXPECT_EQ(a.Rfc2217, c.Rfc2217) << c.Url;
    EXPECT_EQ(a.Host, c.Host) << c.Url;
    EXPECT_EQ(a.Port, c.Port) << c.Url;
    EXPECT_EQ(NetSerialUrl(a), c.Url);
  }
  EXPECT_TRUE(IsNetSerialUrl("udp://host:80"));
  EXPECT_FALSE(IsNetSerialUrl("/dev/serial/by-id/usb-x"));
}

class NetSerialPort : public ::testing::Test {
 protected:
  void SetUp() override {
    FSim = std::make_unique<TSimProcess>(
        std::vector<std::string>{"--serial", "--events", "0", "--text", "0", "--modem", "0"});
    const auto pty = FSim->WaitForLine("tallybox-sim: serial debug terminal: ");
    ASSERT_TRUE(pty);
    FServer = std::make_unique<TSer2net>("127.0.132.1", *pty);
    ASSERT_TRUE(FServer->Ready()) << FServer->Log();
  }

  std::unique_ptr<TSimProcess> FSim;
  std::unique_ptr<TSer2net> FServer;
};

TEST_F(NetSerialPort, Rfc2217SetsTheLineAndTheServerConfirmsIt) {
  TNetSerialAddress address;
  ASSERT_TRUE(ParseNetSerialUrl(FServer->Rfc2217Url(), address));
  TNetSerialPort port(address);
  port.SetBaudRate(115200);
  port.SetParity('N');
  port.SetByteSize(8);
  port.SetCTSFlow(true);
  port.SetDSRFlow(true);
  ASSERT_TRUE(port.Open()) << port.OpenProblem();
  const TRemoteLine line = port.Confirmed();
  EXPECT_EQ(line.BaudRate, 115200u);
  EXPECT_EQ(line.DataSize, 8);
  EXPECT_EQ(line.Parity, 1);    // none
  EXPECT_EQ(line.StopSize, 1);  // one
  EXPECT_EQ(line.Control, 3);   // hardware flow control
  // The pseudo-terminal has no modem lines: ser2net reports none, and sending goes on.
  EXPECT_TRUE(port.CTS());
  EXPECT_TRUE(port.DSR());
}

TEST_F(NetSerialPort, AServerWithoutTheOptionSaysSoInsteadOfHanging) {
  struct {
    std::string Url, Problem;
  } cases[] = {
      {FServer->PlainTelnetUrl(), "refused RFC 2217 (COM-PORT-OPTION)"},
      {"rfc2217://" + FServer->RawUrl().substr(6),
       "did not answer the RFC 2217 request within 3 s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Url);
    TNetSerialAddress address;
    ASSERT_TRUE(ParseNetSerialUrl(c.Url, address));
    TNetSerialPort port(address);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.Open());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(port.OpenProblem().find(c.Problem), std::string::npos) << port.OpenProblem();
    std::this_thread::sleep_for(300ms);
  }
}

}  // namespace
