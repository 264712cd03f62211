// The connection wizard and the progress window as the user meets them.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>

#include "dialogs/ufmConnectProgress.h"
#include "dialogs/ufmConnectWizard.h"
#include "dispatch/uTerminalDispatcher.h"
#include "support/FakeSerialTree.h"
#include "support/GuiHelpers.h"
#include "support/PtyPeer.h"
#include "support/TempConfig.h"

namespace {

struct TShowing {
  int Result = -1;
  std::string Heading, NextCaption;
  bool BackEnabled = true;
  QString CheckedRoute;
};

// Shows the wizard with the given values, lets Play act as the user, and returns what the
// wizard held when Play started and how it ended.
TShowing Show(TfmConnectWizard& Wizard, const std::function<void(QDialog*)>& Play) {
  TShowing showing;
  TModal::SetNextExec([&](QDialog* dialog) {
    showing.Heading = Find<QLabel>(dialog, "lblHeading")->text().toStdString();
    showing.NextCaption = Find<QPushButton>(dialog, "btnNext")->text().toStdString();
    showing.BackEnabled = Find<QPushButton>(dialog, "btnBack")->isEnabled();
    for (const char* route : {"rbDialUp", "rbSerial", "rbTCP"})
      if (Find<QRadioButton>(dialog, route)->isChecked()) showing.CheckedRoute = route;
    Play(dialog);
  });
  showing.Result = TModal::Exec(&Wizard);
  return showing;
}

class ConnectWizard : public ::testing::Test {
 protected:
  void SetUp() override {
    Wizard.Route.Kind = TRouteKind::DialUp;
    Wizard.Route.DialEntry = "Office";
    Wizard.Route.ComPort = 4;
    Wizard.Route.Host = "old.host";
  }
  void TearDown() override { delete Wizard.Dispatcher; }
  QString Page(QDialog* Dialog) {
    return Find<QStackedWidget>(Dialog, "pcPages")->currentWidget()->objectName();
  }

  TTempConfig Config;
  TfmConnectWizard Wizard;
};

}  // namespace

TEST_F(ConnectWizard, StartPageShowsTheSavedRoute) {
  const TShowing first = Show(Wizard, [](QDialog*) {});
  EXPECT_EQ(first.Heading, "Connection Type");
  EXPECT_EQ(first.NextCaption, "&Next >");
  EXPECT_FALSE(first.BackEnabled);
  EXPECT_EQ(first.CheckedRoute, "rbDialUp");
  EXPECT_EQ(first.Result, QDialog::Rejected);

  Wizard.Route.Kind = TRouteKind::None;
  QString page;
  const TShowing none = Show(Wizard, [&](QDialog* dialog) {
    Click(dialog, "btnNext");  // no route: refused silently
    page = Page(dialog);
  });
  EXPECT_EQ(none.CheckedRoute, "");
  EXPECT_EQ(page, "tsStart");
}

TEST_F(ConnectWizard, TcpRouteHandsOverTheHostAsTyped) {
  QString heading;
  const TShowing tcp = Show(Wizard, [&](QDialog* dialog) {
    Find<QRadioButton>(dialog, "rbTCP")->setChecked(true);
    Click(dialog, "btnNext");
    heading = Find<QLabel>(dialog, "lblHeading")->text();
    EXPECT_EQ(Find<QPushButton>(dialog, "btnNext")->text(), "Co&nnect");
    auto* host = Find<QLineEdit>(dialog, "edHost");
    EXPECT_EQ(host->text(), "old.host");
    host->clear();
    Click(dialog, "btnNext");  // empty host: refused silently
    EXPECT_EQ(Page(dialog), "tsTCP");
    host->setText(QString::fromUtf8("h\u2713st"));  // no byte for it: refused where typed
    TModal::SetNextAnswer(QMessageBox::Ok);
    Click(dialog, "btnNext");
    EXPECT_EQ(Page(dialog), "tsTCP");
    host->clear();
    QTest::keyClicks(host, "   ");
    Click(dialog, "btnNext");
  });
  EXPECT_EQ(heading, "TCP/IP");
  EXPECT_EQ(tcp.Result, QDialog::Accepted);
  ASSERT_NE(Wizard.Dispatcher, nullptr);
  auto* dispatcher = dynamic_cast<TTCPDispatcher*>(Wizard.Dispatcher);
  ASSERT_NE(dispatcher, nullptr);
  EXPECT_EQ(dispatcher->GetHost(), "   ");
  EXPECT_EQ(Wizard.Route.Kind, TRouteKind::Tcp);
  EXPECT_EQ(Wizard.Route.Host, "   ");
  EXPECT_EQ(Wizard.Route.DialEntry, "Office");
  EXPECT_EQ(Wizard.Route.ComPort, 4);
}

TEST_F(ConnectWizard, BackKeepsTheRouteAndCancelCreatesNothing) {
  const TShowing back = Show(Wizard, [&](QDialog* dialog) {
    Find<QRadioButton>(dialog, "rbSerial")->setChecked(true);
    Click(dialog, "btnNext");
    EXPECT_EQ(Page(dialog), "tsSerial");
    EXPECT_EQ(Find<QComboBox>(dialog, "cbCOMPort")->currentText(), "COM4");
    Find<QComboBox>(dialog, "cbCOMPort")->setCurrentIndex(6);
    Click(dialog, "btnBack");
    EXPECT_EQ(Page(dialog), "tsStart");
    EXPECT_TRUE(Find<QRadioButton>(dialog, "rbSerial")->isChecked());
    Click(dialog, "btnNext");
    EXPECT_EQ(Find<QComboBox>(dialog, "cbCOMPort")->currentText(), "COM7");
    Click(dialog, "btnCancel");
  });
  EXPECT_EQ(back.Result, QDialog::Rejected);
  EXPECT_EQ(Wizard.Dispatcher, nullptr);
  EXPECT_EQ(Wizard.Route.Kind, TRouteKind::DialUp);
}

TEST_F(ConnectWizard, SerialPageNeedsAPort) {
  Wizard.Route.ComPort = -1;
  Wizard.Route.Kind = TRouteKind::Serial;
  const TShowing refused = Show(Wizard, [&](QDialog* dialog) {
    Click(dialog, "btnNext");
    EXPECT_EQ(Find<QComboBox>(dialog, "cbCOMPort")->currentIndex(), -1);
    Click(dialog, "btnNext");  // no port: refused silently
    EXPECT_EQ(Page(dialog), "tsSerial");
    Find<QComboBox>(dialog, "cbCOMPort")->setCurrentIndex(2);
    Click(dialog, "btnNext");
  });
  EXPECT_EQ(refused.Result, QDialog::Accepted);
  auto* serial = dynamic_cast<TComPortDispatcher*>(Wizard.Dispatcher);
  ASSERT_NE(serial, nullptr);
  EXPECT_EQ(serial->ComPort(), 3);
  EXPECT_EQ(Wizard.Route.Kind, TRouteKind::Serial);
  EXPECT_EQ(Wizard.Route.ComPort, 3);
  EXPECT_EQ(Wizard.Route.Host, "old.host");
  EXPECT_EQ(Wizard.Route.DialEntry, "Office");
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

// The progress window's close delay and its password page.
class ConnectProgress : public ::testing::Test {
 protected:
  TfmConnectProgress Progress;
  QStackedWidget* Pages() { return Find<QStackedWidget>(&Progress, "pcMain"); }
};

TEST_F(ConnectProgress, CloseSoonClosesOnce750msAfterTheFirstCall) {
  Progress.CloseSoon();  // hidden: nothing starts
  EXPECT_FALSE(Progress.timerClose()->isActive());

  Progress.Start();
  Progress.AddProgress("Connecting to 127.0.0.1");
  Progress.AddProgress("Opened");
  auto* list = Find<QListWidget>(&Progress, "lbProgress");
  EXPECT_EQ(list->currentRow(), 1);
  Progress.CloseSoon();
  QElapsedTimer since;
  since.start();
  Pump(std::chrono::milliseconds(300));
  Progress.CloseSoon();  // does not restart the timer
  EXPECT_LE(Progress.timerClose()->remainingTime(), 750 - 300);
  ASSERT_TRUE(WaitUntil([&] { return !Progress.isVisible(); }, std::chrono::milliseconds(3000)));
  EXPECT_GE(since.elapsed(), 750);

  Progress.Start();
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(Pages()->currentWidget()->objectName(), "tsProgress");
}

TEST_F(ConnectProgress, AskPasswordKeepsTheWindowUntilTheNextCloseSoon) {
  std::vector<std::string> sent;
  int aborts = 0;
  Progress.Start();
  Click(&Progress, "btnCancel");  // no handlers: nothing
  Click(&Progress, "btnSend");
  Progress.OnAbort = [&](TfmConnectProgress*) { ++aborts; };
  Progress.OnPassword = [&](TfmConnectProgress*, const std::string& p) { sent.push_back(p); };

  Progress.CloseSoon();
  Pump(std::chrono::milliseconds(200));
  Progress.AskPassword();
  EXPECT_EQ(Pages()->currentWidget()->objectName(), "tsPassword");
  Pump(std::chrono::milliseconds(1000));
  EXPECT_TRUE(Progress.isVisible());
  Click(&Progress, "btnSend");  // empty field: sent as it is
  QTest::keyClicks(Find<QLineEdit>(&Progress, "edPassword"), "sesame");
  Click(&Progress, "btnSend");
  EXPECT_EQ(sent, (std::vector<std::string>{"", "sesame"}));
  // A pasted line break would send a second line: refused, nothing sent.
  Find<QLineEdit>(&Progress, "edPassword")->setText("ses\r\name");
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  Click(&Progress, "btnSend");
  EXPECT_EQ(sent.size(), 2u);
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Error");
  // The device's code page holds the euro sign; a check mark is refused, not sent as "?".
  Find<QLineEdit>(&Progress, "edPassword")->setText(QString::fromUtf8("s\u20ACsame"));
  Click(&Progress, "btnSend");
  EXPECT_EQ(sent.back(), "s\x80same");
  Find<QLineEdit>(&Progress, "edPassword")->setText(QString::fromUtf8("s\u2713same"));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Click(&Progress, "btnSend");
  EXPECT_EQ(sent.size(), 3u);
  ASSERT_EQ(TModal::ShownMessages().size(), 2u);
  EXPECT_TRUE(TModal::ShownMessages()[1].Text.contains(QString::fromUtf8("\u2713")));
  Click(&Progress, "btnCancel");
  EXPECT_EQ(aborts, 1);
  EXPECT_TRUE(Progress.isVisible());  // Abort leaves closing to the main window

  Progress.AskPassword();  // a second request empties the field
  EXPECT_EQ(Find<QLineEdit>(&Progress, "edPassword")->text(), "");
  Progress.CloseSoon();
  EXPECT_TRUE(WaitUntil([&] { return !Progress.isVisible(); }, std::chrono::milliseconds(3000)));
  Progress.AskPassword();  // reopens a closed window on the password page
  EXPECT_TRUE(Progress.isVisible());
}

// A pseudo-terminal stands in for a USB adapter in a made-up /dev: plugged in while the page
// is shown, it appears behind the COM number linked to its stable name; Assign links another.
TEST_F(ConnectWizard, SerialPageListsWhatEachComReachesAndAssignsAnAdapter) {
  TFakeSerialTree tree;
  TPtyPeer builtIn, adapter;
  tree.AddBuiltIn("ttyS0", builtIn.SlavePath(), 4);
  const std::string stable = tree.ById() + "/usb-FTDI_FT232R_USB_UART_A5-if00-port0";
  Config.Link(2, stable);
  const QString dev = QString::fromStdString(tree.Dev());
  const QString dash = QString::fromUtf8(" \u2014 ");
  Wizard.Route.Kind = TRouteKind::Serial;
  const TShowing serial = Show(Wizard, [&](QDialog* dialog) {
    Click(dialog, "btnNext");
    auto* list = Find<QListWidget>(dialog, "lbComPorts");
    EXPECT_TRUE(list->isVisible() && list->width() > 0 && list->height() > 0);
    EXPECT_EQ(list->item(0)->text(), "COM1" + dash + dev + "/ttyS0");
    EXPECT_EQ(list->currentRow(), 3);  // the saved COM4

    tree.AddUsb("ttyUSB0", adapter.SlavePath(), "FTDI", "FT232R USB UART",
                stable.substr(tree.ById().size() + 1));
    const QString plugged = dev + "/ttyUSB0 (FTDI FT232R USB UART)";
    EXPECT_TRUE(WaitUntil([&] { return list->item(1)->text() == "COM2" + dash + plugged; }));

    list->setCurrentRow(4);
    EXPECT_EQ(Find<QComboBox>(dialog, "cbCOMPort")->currentText(), "COM5");
    QStringList offered;
    TModal::SetNextExec([&](QDialog* choose) {
      auto* input = qobject_cast<QInputDialog*>(choose);
      ASSERT_NE(input, nullptr);
      offered = input->comboBoxItems();
      input->setTextValue(plugged);
      input->accept();
    });
    Click(dialog, "btnAssign");
    EXPECT_EQ(offered, QStringList({dev + "/ttyS0", plugged}));
    EXPECT_EQ(list->item(4)->text(), "COM5" + dash + plugged);
    Click(dialog, "btnNext");
  });
  EXPECT_EQ(serial.Result, QDialog::Accepted);
  EXPECT_EQ(Wizard.Route.ComPort, 5);
  EXPECT_EQ(std::filesystem::read_symlink(Config.LinkPath(5)).string(), stable);
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

// A COM link made while the page is shown (as the simulator makes one, in a folder that did
// not exist when the page opened) appears at once, and goes when the link goes.
TEST_F(ConnectWizard, SerialPageFollowsLinksMadeAndRemovedWhileShown) {
  TFakeSerialTree tree;
  TPtyPeer device;
  const QString dash = QString::fromUtf8(" \u2014 ");
  std::filesystem::remove_all(Config.StoreFolder());
  Wizard.Route.Kind = TRouteKind::Serial;
  Show(Wizard, [&](QDialog* dialog) {
    Click(dialog, "btnNext");
    auto* list = Find<QListWidget>(dialog, "lbComPorts");
    EXPECT_EQ(list->item(3)->text(), "COM4" + dash + "nothing");
    Config.Link(4, device.SlavePath());
    EXPECT_TRUE(WaitUntil([&] {
      return list->item(3)->text() == "COM4" + dash + QString::fromStdString(device.SlavePath());
    })) << list->item(3)->text().toStdString();
    std::filesystem::remove(Config.LinkPath(4));
    EXPECT_TRUE(WaitUntil([&] { return list->item(3)->text() == "COM4" + dash + "nothing"; }))
        << list->item(3)->text().toStdString();
    Click(dialog, "btnCancel");
  });
}

// At the wizard's own size the logo is whole in its band and the terminal server field shows
// its whole example.
TEST_F(ConnectWizard, TheLogoIsWholeAndTheServerFieldsExampleIsNotCut) {
  Wizard.Route.Kind = TRouteKind::Serial;
  Show(Wizard, [&](QDialog* dialog) {
    auto* logo = Find<QLabel>(dialog, "Image1");
    auto* band = Find<QWidget>(dialog, "pnlTop");
    EXPECT_TRUE(logo->isVisible());
    const QSize picture = logo->pixmap().deviceIndependentSize().toSize();
    EXPECT_EQ(picture, QSize(64, 64));
    EXPECT_GE(logo->contentsRect().height(), picture.height()) << logo->height();
    EXPECT_GE(logo->contentsRect().width(), picture.width());
    // A busy machine may show the page before its layout has run.
    const auto inBandNow = [&] { return QRect(logo->mapTo(band, QPoint()), logo->size()); };
    WaitUntil([&] { return band->contentsRect().contains(inBandNow()); });
    const QRect inBand = inBandNow();
    EXPECT_TRUE(band->contentsRect().contains(inBand))
        << inBand.y() << "+" << inBand.height() << " in " << band->contentsRect().height();
    EXPECT_EQ(band->height(), 68);

    Click(dialog, "btnNext");
    auto* server = Find<QLineEdit>(dialog, "edTerminalServer");
    EXPECT_TRUE(server->isVisible());
    const int text = server->fontMetrics().horizontalAdvance(server->placeholderText());
    // The line edit's frame and its own margins take a few pixels on each side.
    EXPECT_GE(server->width(), text + 12) << server->width() << " for " << text;
    Click(dialog, "btnCancel");
  });
}

TEST_F(ConnectWizard, SerialPageTabsFromThePortThroughTheTerminalServerToTheButtons) {
  Wizard.Route.Kind = TRouteKind::Serial;
  QStringList visited;
  Show(Wizard, [&](QDialog* dialog) {
    Click(dialog, "btnNext");
    Find<QCheckBox>(dialog, "chkTerminalServer")->setChecked(true);  // its address takes part
    dialog->activateWindow();
    Find<QWidget>(dialog, "cbCOMPort")->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([] { return QApplication::focusWidget() != nullptr; }));
    for (int i = 0; i < 8; ++i) {
      visited << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    Click(dialog, "btnCancel");
  });
  EXPECT_EQ(visited.join(" ").toStdString(),
            "cbCOMPort lbComPorts btnAssign chkTerminalServer edTerminalServer btnBack btnNext "
            "btnCancel");
}
