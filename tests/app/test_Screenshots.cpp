// Draws the README's screenshots: the main window on the registers page, the connection
// wizard on its TCP/IP page and the progress window on its password page. Not part of the
// suite (disabled); scripts/screenshots runs it under a virtual display.
#include <QDir>
#include <QPixmap>

#include "app/MainWindowFixture.h"

TEST_F(MainWindowTest, DISABLED_Screenshots) {
  const char* out = std::getenv("TALLYBOX_SCREENSHOTS");
  ASSERT_NE(out, nullptr) << "set TALLYBOX_SCREENSHOTS to the output folder";
  QDir().mkpath(out);
  auto save = [out](QWidget* Window, const char* Name) {
    EXPECT_TRUE(Window->grab().save(QString("%1/%2.png").arg(out, Name)));
  };
  StartTcpSim("127.0.31.30", {"--page-version", "1.10"});
  StartProgram();
  TModal::SetNextExec([&](QDialog* wizard) {
    Find<QRadioButton>(wizard, "rbTCP")->setChecked(true);
    Click(wizard, "btnNext");
    QTest::keyClicks(Find<QLineEdit>(wizard, "edHost"), "127.0.31.30");
    save(wizard, "wizard");
    Click(wizard, "btnNext");
  });
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] {
    auto* page = Program->Progress.findChild<QWidget*>("tsPassword");
    return page && page->isVisible();
  }));
  QTest::keyClicks(Find<QLineEdit>(&Program->Progress, "edPassword"), "sesame");
  save(&Program->Progress, "progress");
  Click(&Program->Progress, "btnSend");
  ASSERT_TRUE(WaitUntil([&] { return Action("actRegisters")->isEnabled(); }));
  const int loads = LoadsFinished;
  Trigger(&Main(), "actRegisters");
  ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > loads && PageIs("regs.htm"); }));
  Pump(std::chrono::milliseconds(500));  // let the engine paint
  save(&Main(), "main-window");
}
