// tallybox-cli against terminal servers that misbehave on purpose: one that floods telnet
// negotiation and never reads, one that floods a raw port with bytes, one that breaks off a
// subnegotiation with another command. The tool must end with an error, never abort, keep its
// memory bounded and leave no stray byte in the device's text.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "CliRunner.h"
#include "support/LoopbackPeer.h"
#include "support/TempConfig.h"
#include "support/TempFolder.h"

using namespace std::chrono_literals;

namespace {

const std::string Cli = TALLYBOX_CLI_PATH;
const std::string NoPassword = "TALLYBOX_PASSWORD";
const std::string Iac = "\xff", Do = "\xfd", Will = "\xfb", Sb = "\xfa", Se = "\xf0";
const std::string ComPort = ",";  // option 44
const std::string Prompt = "\x1b[34;1m<Tallybox TB-1>\x1b[0m";

// Sends Bytes over and over to the peer's connection until Stop, without ever reading.
class TFlood {
 public:
  TFlood(int Connection, std::string Bytes) : FConnection(Connection), FBytes(std::move(Bytes)) {
    FThread = std::thread([this] { Run(); });
  }
  ~TFlood() {
    FStop = true;
    FThread.join();
  }

 private:
  void Run() {
    while (!FStop) {
      pollfd p{FConnection, POLLOUT, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      if (send(FConnection, FBytes.data(), FBytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
          errno != EAGAIN)
        return;  // the tool has gone
    }
  }
  int FConnection;
  std::string FBytes;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

std::vector<std::string> Command(std::initializer_list<std::string> Args) {
  std::vector<std::string> command = CliCommand(Cli);
  command.insert(command.end(), Args);
  return command;
}

// The most the tool may hold at its peak: PlainKiB, or far more under a sanitizer, whose shadow
// memory comes on top.
long PeakLimitKiB(long PlainKiB) {
#ifdef TALLYBOX_SANITIZED
  return std::max(PlainKiB, 512L << 10);
#else
  return PlainKiB;
#endif
}

std::string Repeat(const std::string& Bytes, int Times) {
  std::string out;
  for (int i = 0; i < Times; ++i) out += Bytes;
  return out;
}

// A server that takes the COM-PORT-OPTION, then asks for option 5 without end and reads
// nothing: the tool refuses once, goes on waiting for the device's reply and ends when that
// does not come.
TEST(CliHostileServers, NegotiationFloodEndsWithAnErrorNotAnAbort) {
  TLoopbackPeer server("127.0.138.1");
  TCliChild child(Command({"--timeout", "8000", "--port", "rfc2217://127.0.138.1:6024", "version"}),
                  {NoPassword});
  ASSERT_TRUE(server.Accept());
  server.Send(Iac + Do + ComPort);
  const TCliResult r = [&] {
    TFlood flood(server.Connection(), Repeat(Iac + Do + "\x05", 4096));
    return child.Finish(20000ms);
  }();
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_LT(r.Elapsed, 10000ms);
  EXPECT_EQ(r.Err.find("terminate called"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("No reply to \"i900?\""), std::string::npos) << r.Err;
}

// A raw port that sends without end and never a prompt: the tool's memory stays bounded
// while it waits for the login to time out.
TEST(CliHostileServers, RawFloodKeepsMemoryBounded) {
  TLoopbackPeer server("127.0.138.2");
  TCliChild child(Command({"--timeout", "5000", "--port", "tcp://127.0.138.2:6024", "version"}),
                  {NoPassword});
  ASSERT_TRUE(server.Accept());
  const TCliResult r = [&] {
    TFlood flood(server.Connection(), std::string(64 << 10, 'x'));
    return child.Finish(20000ms);
  }();
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_GT(r.PeakKiB, 0);
  EXPECT_LT(r.PeakKiB, PeakLimitKiB(64 << 10)) << "peak resident KiB";
  RecordProperty("PeakKiB", std::to_string(r.PeakKiB));
}

// A subnegotiation that another command breaks off: the command is taken as a command, and
// none of its bytes reaches the device's text.
TEST(CliHostileServers, BrokenSubnegotiationLeavesNoStrayByte) {
  TTempFolder folder("tbx-hostile");
  TLoopbackPeer server("127.0.138.3");
  TCliChild child(Command({"--log", folder.Path("session.log"), "--port",
                           "rfc2217://127.0.138.3:6024", "version"}),
                  {NoPassword});
  ASSERT_TRUE(server.Accept());
  server.Send(Iac + Do + ComPort);
  server.Send(Iac + Sb + ComPort + "\x6b\x30" + Iac + Will + "1" + "Ready\r\n" + Prompt);
  std::string heard;
  for (int i = 0; i < 100 && heard.find("i900?\r\n") == std::string::npos; ++i)
    heard += server.Receive(4096, 50);
  ASSERT_NE(heard.find("i900?\r\n"), std::string::npos);
  EXPECT_EQ(heard.find("i900?\r\n"), heard.rfind("i900?\r\n"));
  server.Send("i900=1.00\r\n" + Prompt);
  heard = server.Receive(7, 2000);  // the poll that follows the login
  server.Send("i900=1.00\r\n" + Prompt);
  const TCliResult r = child.Finish(10000ms);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "1.00\n");
  const std::string log = ReadFileBytes(folder.Path("session.log"));
  EXPECT_NE(log.find("< Ready"), std::string::npos) << log;
  EXPECT_EQ(log.find("1Ready"), std::string::npos) << log;
}

}  // namespace

// A server that offers an option without end, or reports the modem lines without end, and
// never reads: the tool decodes in small pieces, so its memory stays near its idle size, and it
// refuses the option once, not once for every offer.
TEST(CliHostileServers, OfferAndModemStateFloodsKeepMemoryBoundedAndARefusalIsSentOnce) {
  const struct {
    const char* Name;
    std::string Address, Flood;
  } floods[] = {
      {"offers", "127.0.138.4", Iac + Will + "\x05"},
      {"modem states", "127.0.138.5", Iac + Sb + ComPort + "\x6b\x30" + Iac + Se},
  };
  for (const auto& f : floods) {
    SCOPED_TRACE(f.Name);
    TLoopbackPeer server(f.Address);
    TCliChild child(
        Command({"--timeout", "3000", "--port", "rfc2217://" + f.Address + ":6024", "version"}),
        {NoPassword});
    ASSERT_TRUE(server.Accept());
    server.Send(Iac + Do + ComPort + Iac + Will + "\x05");
    const TCliResult r = [&] {
      TFlood flood(server.Connection(), Repeat(f.Flood, 16384));
      return child.Finish(20000ms);
    }();
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_LT(r.PeakKiB, PeakLimitKiB(24 << 10)) << "peak resident KiB";
    RecordProperty(std::string("PeakKiB ") + f.Name, std::to_string(r.PeakKiB));
    std::string heard;
    for (std::string part; !(part = server.Receive(1 << 16, 200)).empty();) heard += part;
    size_t refusals = 0;
    for (size_t at = 0; (at = heard.find(Iac + "\xfe\x05", at)) != std::string::npos; ++at)
      ++refusals;
    EXPECT_EQ(refusals, 1u);
  }
}
