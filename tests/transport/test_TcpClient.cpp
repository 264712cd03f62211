#include "transport/uTcpClient.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ErrorText.h"
#include "support/HangingLookup.h"
#include "support/LoopbackPeer.h"

namespace {

// Connects until one attempt fails; a listener with a full accept queue leaves new
// connects hanging in the handshake, so that failure is the time limit or the stop request.
std::string FirstFailure(const std::string& Address, const std::function<bool()>& ShouldStop) {
  std::vector<std::unique_ptr<TTcpClient>> clients;
  for (int i = 0; i < 8; ++i) {
    auto client = std::make_unique<TTcpClient>();
    client->Host = Address;
    client->Port = 6024;
    client->ShouldStop = ShouldStop;
    try {
      client->Connect(300);
    } catch (const ETcpError& e) {
      return e.what();
    }
    clients.push_back(std::move(client));
  }
  return "every connect succeeded";
}

}  // namespace

TEST(TcpClient, ConnectGivesUpAtItsTimeLimit) {
  TLoopbackPeer peer("127.0.0.43", 0);
  EXPECT_EQ(FirstFailure("127.0.0.43", nullptr), "Connection timed out");
}

TEST(TcpClient, AStopRequestEndsAHangingConnect) {
  TLoopbackPeer peer("127.0.0.44", 0);
  // The connects that get through take microseconds; the one that hangs meets the request
  // well before its 300 ms limit.
  const auto stopAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  EXPECT_EQ(FirstFailure("127.0.0.44", [&] { return std::chrono::steady_clock::now() > stopAt; }),
            "Connection cancelled");
}

// The lookup is part of the connect: it counts against the time limit and a stop request ends
// it, while the lookup itself still hangs.
TEST(TcpClient, AHangingLookupGivesWayToTheTimeLimitAndToAStopRequest) {
  const struct {
    const char* Name;
    int32_t TimeoutMs;
    bool Stop;
    std::string Error;
  } cases[] = {{"time limit", 300, false, "Host lookup timed out"},
               {"stop request", 60000, true, "Connection cancelled"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    THangingLookup lookup;
    TTcpClient client;
    client.Host = "tallybox.example";
    client.Port = 6024;
    client.Resolver = lookup.Resolver();
    if (c.Stop) client.ShouldStop = [&] { return lookup.Entered(); };
    EXPECT_EQ(ErrorOf<ETcpError>([&] { client.Connect(c.TimeoutMs); }), c.Error);
    EXPECT_FALSE(lookup.Returned());
    EXPECT_FALSE(client.Connected());
  }
}

// A device that closes with bytes of ours unread resets the connection instead of ending it
// in order; either way what it sent before is kept and the stream simply ends.
TEST(TcpClient, ReceiveAfterThePeerClosedOrResetKeepsWhatArrived) {
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "orderly close");
    TLoopbackPeer peer("127.0.0.45");
    TTcpClient client;
    client.Host = "127.0.0.45";
    client.Port = 6024;
    client.Connect(2000);
    ASSERT_TRUE(peer.Accept());
    if (reset) client.Send("r?\r\n", 4);
    peer.Send("last words");
    usleep(20000);  // the bytes are with the client before the device goes
    peer.CloseConnection();
    for (int i = 0; i < 200 && client.Connected(); ++i) {
      EXPECT_NO_THROW(client.PollReceive());
      if (client.Connected()) usleep(5000);
    }
    EXPECT_FALSE(client.Connected());
    ASSERT_EQ(client.Available(), 10);
    char buffer[10];
    client.Take(buffer, 10);
    EXPECT_EQ(std::string(buffer, 10), "last words");
    EXPECT_THROW(client.Send("x", 1), ETcpError);
  }
}
