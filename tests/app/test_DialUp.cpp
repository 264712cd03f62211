// The wizard's dial-up route: without a dial-up service, and through the simulated service
// to the simulated device.
#include <QComboBox>

#include "app/MainWindowFixture.h"
#include "transport/Ras.h"

namespace {

class DialUp : public MainWindowTest {
 protected:
  ~DialUp() override { RasUnload(); }

  // The next wizard showing takes the dial-up route and reports the entries it lists.
  void QueueDialUpWizard(std::vector<QString>& Listed, QString& Selected, bool PressNew = false) {
    TModal::SetNextExec([&, PressNew](QDialog* wizard) {
      Find<QRadioButton>(wizard, "rbDialUp")->setChecked(true);
      Click(wizard, "btnNext");
      auto* entries = Find<QComboBox>(wizard, "cbConnection");
      if (PressNew) Click(wizard, "btnNewConnection");
      for (int i = 0; i < entries->count(); ++i) Listed.push_back(entries->itemText(i));
      Selected = entries->currentText();
      for (const char* field : {"edTelephone", "edUsername", "edPassword"})
        EXPECT_TRUE(Find<QLineEdit>(wizard, field)->text().isEmpty());
      Click(wizard, "btnNext");
    });
  }
};

}  // namespace

TEST_F(DialUp, WithoutAServiceTheListIsEmptyAndDiallingReportsIt) {
  RasUnload();
  StartProgram();
  std::vector<QString> listed;
  QString selected;
  QueueDialUpWizard(listed, selected, /*PressNew=*/true);
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actConnect");
  EXPECT_TRUE(listed.empty());
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Error");
  EXPECT_EQ(TModal::ShownMessages()[0].Text, "Could not locate connection");
  EXPECT_TRUE(ProgressHas("Closed"));
}

TEST_F(DialUp, DialsThroughTheServiceAndLogsInToTheDevice) {
  const std::string book = Data.Path("book.txt");
  WriteFileBytes(book,
                 "Depot Tallybox|0100 6024|engineer|tallybox|127.0.31.9|\n"
                 "Other|0100 1|x|y|127.0.31.10|\n");
  setenv("TALLYBOX_RASSIM_BOOK", book.c_str(), 1);
  ASSERT_TRUE(RasLoadFrom(RASSIM_FULL));
  StartTcpSim("127.0.31.9");
  WriteFileBytes(Config.StoreFile(),
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility]\n"
                 "\"Connection\"=\"depot TALLYBOX\"\n\"Method\"=dword:00000000\n");
  StartProgram();
  std::vector<QString> listed;
  QString selected;
  QueueDialUpWizard(listed, selected);
  Trigger(&Main(), "actConnect");
  EXPECT_EQ(listed, (std::vector<QString>{"Depot Tallybox", "Other"}));
  EXPECT_EQ(selected, "Depot Tallybox");  // the saved name, whatever its letter case
  ASSERT_TRUE(WaitUntil([&] {
    auto* page = Program->Progress.findChild<QWidget*>("tsPassword");
    return page && page->isVisible();
  }));
  EXPECT_TRUE(ProgressHas("Dialling 0100 6024"));
  EXPECT_TRUE(ProgressHas("Connecting to 127.0.31.9"));
  EXPECT_EQ(Status(), "Connected 127.0.31.9");
  QTest::keyClicks(Find<QLineEdit>(&Program->Progress, "edPassword"),
                   QString::fromStdString(kTestPassword));
  Click(&Program->Progress, "btnSend");
  ASSERT_TRUE(WaitUntil([&] { return Action("actRegisters")->isEnabled(); }));

  Trigger(&Main(), "actDisconnect");
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  EXPECT_TRUE(ProgressHas("Hanging up"));
}
