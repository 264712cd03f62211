#include "cli/uCliFleetLane.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/TempConfig.h"

namespace {

// A pseudo-terminal's device end, as a serial device by path.
class TPty {
 public:
  TPty() : FFd(::posix_openpt(O_RDWR | O_NOCTTY)) {
    if (FFd >= 0 && ::grantpt(FFd) == 0 && ::unlockpt(FFd) == 0) FPath = ::ptsname(FFd);
  }
  ~TPty() {
    if (FFd >= 0) ::close(FFd);
  }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;
  const std::string& Path() const { return FPath; }

 private:
  int FFd;
  std::string FPath;
};

TRoute Port(const std::string& Path) {
  TRoute route;
  route.Kind = TRouteKind::Serial;
  route.ComPort = 0;
  route.DevicePath = Path;
  return route;
}

TRoute Com(int32_t Number) {
  TRoute route;
  route.Kind = TRouteKind::Serial;
  route.ComPort = Number;
  return route;
}

}  // namespace

// Devices run at once unless they are one device: serial devices by path each have a lane of
// their own, and a COM number, a device path and a link that lead to one node share one, as do
// two addresses of one terminal server's port.
TEST(CliFleetLane, ALaneIsTheDeviceItselfWhateverNamesIt) {
  TTempConfig config;
  const TPty ptys[4];
  std::set<std::string> lanes;
  for (const TPty& pty : ptys) {
    ASSERT_FALSE(pty.Path().empty());
    lanes.insert(FleetLane(Port(pty.Path()), "/dev"));
  }
  EXPECT_EQ(lanes.size(), 4u);
  const std::string link = config.StoreFolder() + "/elsewhere";
  std::filesystem::create_symlink(ptys[0].Path(), config.LinkPath(3));
  std::filesystem::create_symlink(ptys[0].Path(), link);
  const std::string first = FleetLane(Port(ptys[0].Path()), "/dev");
  EXPECT_EQ(FleetLane(Com(3), "/dev"), first);
  EXPECT_EQ(FleetLane(Port(link), "/dev"), first);
  EXPECT_EQ(FleetLane(Com(2), "/nodev"), FleetLane(Port("/nodev/ttyS1"), "/dev"));
  EXPECT_NE(FleetLane(Com(2), "/nodev"), FleetLane(Com(4), "/nodev"));
  EXPECT_EQ(FleetLane(Port("tcp://ts.example:2001"), "/dev"),
            FleetLane(Port("rfc2217://ts.example:2001"), "/dev"));
  EXPECT_NE(FleetLane(Port("tcp://ts.example:2001"), "/dev"),
            FleetLane(Port("tcp://ts.example:2002"), "/dev"));
  TRoute dial, tcp;
  tcp.Kind = TRouteKind::Tcp;
  tcp.Host = "127.0.0.1";
  EXPECT_EQ(FleetLane(dial, "/dev"), "dial");
  EXPECT_EQ(FleetLane(tcp, "/dev"), "");
}
