// Reconnecting by itself: a dropped line is tried again until it is back, and the window goes
// back to the page that was in sight, with the password the user gave kept in memory only; a
// refused password, Esc and Disconnect stop the tries. On the serial route a port that went
// is tried the moment it is back.
#include <QElapsedTimer>

#include "app/MainWindowFixture.h"
#include "rtl/FileBytes.h"

namespace {

const char* const kDropped = "Line dropped \u2014 Reconnect (Ctrl+R)";

class RetriesTest : public MainWindowTest {
 protected:
  RetriesTest() { ReconnectByItself = true; }

  bool Counting() { return Hint().find("reconnecting in") != std::string::npos; }
  bool LoggedIn() { return Action("actStatus")->isEnabled(); }
  size_t Count(const std::string& Line) {
    const std::string log = "\n" + DeviceLog();
    size_t n = 0;
    for (size_t at = 0; (at = log.find("\n" + Line + "\n", at)) != std::string::npos; ++at) ++n;
    return n;
  }
  void PressEsc() {
    QApplication::setActiveWindow(&Main());
    QTest::keyClick(Main().windowHandle(), Qt::Key_Escape);
  }
};

// Through the registers reply the device sends 915 bytes in all (its greeting, the login,
// two version replies); the line drops 200 bytes into the next reply.
constexpr const char* kDropAfter = "1115";

TEST_F(RetriesTest, ADroppedLineComesBackOnTheRegistersPageUntilEscOrARefusedPasswordStopsIt) {
  const std::string address = "127.0.91.1";
  StartTcpSim(address, {"--events", "0", "--text", "0", "--drop-after", kDropAfter});
  StartProgram();
  EXPECT_TRUE(Action("actReconnectByItself")->isChecked());  // on unless turned off
  LogInAndWait(address);
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return PageIs("regs.htm") && LoadsFinished > 0; }));
  TModal::ClearShownMessages();

  // The drop: the window says so as it always did, then counts down where the hint stood.
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return Counting(); })) << Status() << " / " << Hint();
  EXPECT_EQ(Status(), "Not connected");
  EXPECT_EQ(Hint(), "Line dropped \u2014 reconnecting in 1 s (Esc to stop)");
  EXPECT_TRUE(Action("actDisconnect")->isEnabled());
  // Back, logged in with the kept password, on the registers page read afresh.
  ASSERT_TRUE(WaitUntil([&] { return LoggedIn() && PageIs("regs.htm"); })) << Hint();
  EXPECT_EQ(Status(), "Connected " + address);
  EXPECT_EQ(Hint(), "");
  EXPECT_EQ(Count(kTestPassword), 2u);
  EXPECT_EQ(Count("r?"), 3u);
  EXPECT_EQ(DeviceLog().find('='), std::string::npos) << "something was programmed";
  EXPECT_TRUE(TModal::ShownMessages().empty());
  EXPECT_FALSE(Program->Progress.isVisible());

  // Dropped again, Esc stops the countdown: nothing more is tried.
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return Counting(); })) << Hint();
  PressEsc();
  EXPECT_EQ(Hint(), kDropped);
  EXPECT_FALSE(Action("actDisconnect")->isEnabled());
  EXPECT_TRUE(Action("actReconnect")->isEnabled());
  Pump(std::chrono::milliseconds(2500));
  EXPECT_EQ(Status(), "Not connected");
  EXPECT_EQ(Count(kTestPassword), 2u);

  // Reconnect by hand; then the device comes back with another password: the kept one is
  // refused once, the tries end and the user is told as after any refused login.
  Trigger(&Main(), "actReconnect");
  AnswerPassword();
  ASSERT_TRUE(WaitUntil([&] { return LoggedIn(); }));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Sim.reset();
  ASSERT_TRUE(WaitUntil([&] { return Counting(); })) << Hint();
  StartSim({"--address", address, "--password", "changed", "--events", "0", "--text", "0"});
  ASSERT_TRUE(WaitUntil([&] { return !TModal::ShownMessages().empty(); }, 60s)) << Hint();
  EXPECT_EQ(TModal::ShownMessages()[0].Text, "Check the password, and try again");
  EXPECT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(Hint(), kDropped);
  EXPECT_FALSE(Action("actDisconnect")->isEnabled());
  EXPECT_TRUE(Action("actConnect")->isEnabled());

  // The password never reached the settings.
  Program.reset();
  EXPECT_EQ(ReadFileBytes(Config.StoreFile()).find(kTestPassword), std::string::npos);
}

TEST_F(RetriesTest, ASerialPortThatGoesIsTriedTheMomentItIsBackAndDisconnectStopsTheWait) {
  const std::vector<std::string> device = {
      "--serial", "--link", Config.LinkPath(7), "--log", Log(), "--events", "0",
      "--text",   "0",      "--modem",          "0"};
  StartSim(device);
  StartProgram();
  QueueSerialWizard(7);
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return LoggedIn(); })) << Status();
  Trigger(&Main(), "actStatus");
  ASSERT_TRUE(WaitUntil([&] { return PageIs("info.htm"); }));
  TModal::ClearShownMessages();

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Sim.reset();  // the device's end goes, and its link with it
    ASSERT_TRUE(WaitUntil([&] {
      return Hint() == "Line dropped \u2014 waiting for COM7 (Esc to stop)";
    })) << Status()
        << " / " << Hint();
    Pump(std::chrono::milliseconds(1500));  // nothing is tried while the port is gone
    EXPECT_TRUE(TModal::ShownMessages().empty());
    StartSim(device);
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(WaitUntil([&] { return LoggedIn() && PageIs("info.htm"); })) << Hint();
    std::printf("  COM7 back: logged in again after %lld ms, the status page read again\n",
                static_cast<long long>(back.elapsed()));
    EXPECT_EQ(Status(), "Connected COM7");
  }

  // Disconnect while the port is gone stops the wait: its return goes unanswered.
  Sim.reset();
  ASSERT_TRUE(WaitUntil([&] { return Hint().find("waiting for COM7") != std::string::npos; }));
  Trigger(&Main(), "actDisconnect");
  EXPECT_EQ(Hint(), kDropped);
  StartSim(device);
  Pump(std::chrono::milliseconds(1500));
  EXPECT_EQ(Status(), "Not connected");
  EXPECT_TRUE(TModal::ShownMessages().empty());
}

}  // namespace
