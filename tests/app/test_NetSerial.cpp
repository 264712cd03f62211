// The serial debug route through a terminal server: the real ser2net in front of the
// simulator's terminal (a debug port that does not echo), chosen on the wizard's serial page,
// the serial dialogue over it, the server going away mid-session, and the choice remembered
// for the next run.
#include <QCheckBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QRadioButton>

#include "app/MainWindowFixture.h"
#include "app/TMemoView.h"
#include "support/Ser2net.h"

namespace {

TEST_F(MainWindowTest, SerialRouteThroughATerminalServer) {
  Sim = std::make_unique<TSimProcess>(std::vector<std::string>{
      "--serial", "--no-echo", "--log", Log(), "--events", "150", "--modem", "150", "--text", "0"});
  const auto pty = Sim->WaitForLine("tallybox-sim: serial debug terminal: ");
  ASSERT_TRUE(pty);
  TSer2net server("127.0.132.3", *pty);
  ASSERT_TRUE(server.Ready()) << server.Log();
  const std::string url = server.Rfc2217Url();

  StartProgram();
  TModal::SetNextExec([&](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbSerial")->setChecked(true);
    Click(wizard, "btnNext");
    Find<QCheckBox>(wizard, "chkTerminalServer")->setChecked(true);
    QTest::keyClicks(Find<QLineEdit>(wizard, "edTerminalServer"), QString::fromStdString(url));
    Click(wizard, "btnNext");
  });
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Connected " + url; })) << Status();
  // The serial dialogue: no password asked, the version read at once.
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); }));
  EXPECT_FALSE(ProgressHas("PASSWORD"));
  const auto js = [this](const char* Script) {
    return Main().hvMain()->RunScriptForTest(Script).toString().toStdString();
  };
  EXPECT_TRUE(WaitUntil([&] {
    return PageIs("home.htm") && js("document.querySelector('.version').textContent") == "1.00";
  }));
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return PageIs("regs.htm"); }));
  EXPECT_NE(DeviceLog().find("r?"), std::string::npos);
  // The register fields there, the first and one of the last with the device's values.
  const char* fields = "Array.from(document.querySelectorAll('[name^=r]:not([type=hidden])'))";
  ASSERT_TRUE(WaitUntil([&] {
    return std::atoi(js((std::string("String(") + fields + ".length)").c_str()).c_str()) >= 20;
  }));
  EXPECT_EQ(js("document.querySelector('[name=r403]').value"), "ATE0V1");
  EXPECT_EQ(js("document.querySelector('[name=r100]').value"), "42");
  Trigger(&Main(), "actAdvanced");
  EXPECT_TRUE(AdvancedViewOnScreen(true));  // the modem and events panels, as on a COM port
  auto* events = Find<TMemoView>(&Main(), "memEvents");
  EXPECT_TRUE(WaitUntil([&] { return !events->toPlainText().isEmpty(); }));

  // The server goes away: the window comes back to a usable, unconnected state.
  server.Stop();
  ASSERT_TRUE(WaitUntil([&] { return Action("actConnect")->isEnabled(); },
                        std::chrono::milliseconds(5000)));
  EXPECT_TRUE(ShowsDropped()) << Status();
  EXPECT_FALSE(Action("actStatus")->isEnabled());

  // Back on the same route, without the wizard.
  ASSERT_TRUE(server.Start());
  Trigger(&Main(), "actReconnect");
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); }));
  EXPECT_EQ(Status(), "Connected " + url);
  Trigger(&Main(), "actDisconnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  EXPECT_NE(DeviceLog().rfind("bye"), std::string::npos);

  // The next run offers the same route and server.
  Program.reset();
  StartProgram();
  bool through = false;
  std::string offered;
  TModal::SetNextExec([&](QDialog* wizard) {
    EXPECT_TRUE(Find<QRadioButton>(wizard, "rbSerial")->isChecked());
    Click(wizard, "btnNext");
    through = Find<QCheckBox>(wizard, "chkTerminalServer")->isChecked();
    offered = Find<QLineEdit>(wizard, "edTerminalServer")->text().toStdString();
    Click(wizard, "btnCancel");
  });
  Trigger(&Main(), "actConnect");
  EXPECT_TRUE(through);
  EXPECT_EQ(offered, url);
}

}  // namespace
