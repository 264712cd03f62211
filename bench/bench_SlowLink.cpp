// The figure for a modem-speed link: the main window from Connect to the home page that shows
// the device's page version, against the simulated device paced at 9600 baud (about a byte a
// millisecond), ten times over. The password is typed as soon as the device asks for it. It
// prints the times and checks only that each login really happened, never a time.
// Run with xvfb-run -a (or offscreen).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/MainWindowFixture.h"

namespace {

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point From) {
  return std::chrono::duration<double, std::milli>(TClock::now() - From).count();
}

}  // namespace

TEST_F(MainWindowTest, ConnectToHomePageAtNineThousandSixHundredBaud) {
  const std::string address = "127.0.61.3";
  StartTcpSim(address,
              {"--baud", "9600", "--page-version", "1.10", "--events", "0", "--text", "0"});
  StartProgram();
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > 0; }));
  std::vector<double> asked, home;
  for (int run = 0; run < 10; ++run) {
    const int loadsBefore = LoadsFinished;
    const auto start = TClock::now();
    LogIn(address);
    asked.push_back(MsSince(start));
    // The home page loaded after the login, showing the version the device reported.
    ASSERT_TRUE(WaitUntil([&] {
      return Action("actStatus")->isEnabled() && LoadsFinished > loadsBefore &&
             PageIs("home.htm") && LastLoaded.find("home.htm") != std::string::npos;
    }));
    home.push_back(MsSince(start));
    EXPECT_TRUE(Main()
                    .hvMain()
                    ->RunScriptForTest("document.body.innerText")
                    .toString()
                    .contains("Page version 1.10"));
    Trigger(&Main(), "actDisconnect");
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  }
  const auto print = [](const char* What, std::vector<double> Ms) {
    std::sort(Ms.begin(), Ms.end());
    const double median = (Ms[Ms.size() / 2 - 1] + Ms[Ms.size() / 2]) / 2;
    std::printf("  %-50s median %7.1f ms  best %7.1f  worst %7.1f  (%zu runs)\n", What, median,
                Ms.front(), Ms.back(), Ms.size());
  };
  print("Connect -> password sent (9600 baud)", asked);
  print("Connect -> home page with the version (9600 baud)", home);
}
