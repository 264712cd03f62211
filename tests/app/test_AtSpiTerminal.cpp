// The window as an accessibility client meets it over the desktop's AT-SPI bus: it finds the
// terminal by its role, reads what the device wrote there, and hears of the next reply as it
// comes. The client is a separate process, as a screen reader is.
#include <unistd.h>
#include <QProcess>
#include <iostream>

#include "app/MainWindowFixture.h"

namespace {

// Lines of Output that start with Prefix, without it.
QStringList LinesStarting(const QString& Output, const QString& Prefix) {
  QStringList found;
  for (const QString& line : Output.split('\n'))
    if (line.startsWith(Prefix)) found << line.mid(Prefix.size());
  return found;
}

}  // namespace

TEST_F(MainWindowTest, AccessibilityClientFindsTheTerminalAndReadsTheDevicesText) {
  StartTcpSim("127.0.49.1");
  StartProgram();
  LogInAndWait("127.0.49.1");
  Trigger(&Main(), "actAdvanced");
  TTerminalView* terminal = Main().reTerminal();
  terminal->setFocus();
  QTest::keyClicks(terminal, "i900?");
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return terminal->toPlainText().contains("i900=1.00"); }));

  // The client runs beside the window, whose event loop answers its questions meanwhile.
  QProcess client;
  client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  client.start("/usr/bin/python3",
               {TALLYBOX_ATSPI_CLIENT, QString::number(::getpid()), "Tallybox T2", "60"});
  ASSERT_TRUE(client.waitForStarted());
  QString output;
  ASSERT_TRUE(WaitUntil(
      [&] {
        output += QString::fromUtf8(client.readAllStandardOutput());
        return output.contains("listening\n") || client.state() == QProcess::NotRunning;
      },
      std::chrono::seconds(60)))
      << output.toStdString();
  EXPECT_EQ(LinesStarting(output, "name: "), QStringList{"Terminal"}) << output.toStdString();
  const QStringList text = LinesStarting(output, "text: ");
  ASSERT_EQ(text.size(), 1) << output.toStdString();
  EXPECT_TRUE(text[0].contains("i900?|i900=1.00|")) << text[0].toStdString();
  ASSERT_TRUE(output.contains("listening\n")) << output.toStdString();

  // The next reply reaches the client as inserted text.
  QTest::keyClicks(terminal, "i?");
  QTest::keyClick(terminal, Qt::Key_Return);
  ASSERT_TRUE(
      WaitUntil([&] { return client.state() == QProcess::NotRunning; }, std::chrono::seconds(60)));
  output += QString::fromUtf8(client.readAllStandardOutput());
  EXPECT_EQ(client.exitCode(), 0) << output.toStdString();
  const QStringList inserted = LinesStarting(output, "inserted: ");
  ASSERT_EQ(inserted.size(), 1) << output.toStdString();
  EXPECT_TRUE(inserted[0].contains("i101=\"Tallybox T2\"")) << inserted[0].toStdString();
}

// File > Exit with no connection: the program is gone well under a second after the choice,
// as a person sees it (the process ends, the web engine's helpers with it). The bound is five
// times what it takes here, so a busy machine passes and a wait of seconds does not.
TEST_F(MainWindowTest, ExitWithoutAConnectionEndsTheProgramAtOnce) {
  QProcess program;
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(QString(TALLYBOX_PROGRAM_DIR) + "tallybox-utility", {});
  ASSERT_TRUE(program.waitForStarted());
  QProcess client;
  client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  client.start("/usr/bin/python3",
               {TALLYBOX_ATSPI_EXIT, QString::number(program.processId()), "60"});
  ASSERT_TRUE(
      WaitUntil([&] { return client.state() == QProcess::NotRunning; }, std::chrono::seconds(90)));
  const QString output = QString::fromUtf8(client.readAllStandardOutput());
  const QStringList took = LinesStarting(output, "exit took ");
  ASSERT_EQ(took.size(), 1) << output.toStdString();
  std::cout << "Exit without a connection took " << took[0].toStdString() << " s\n";
  EXPECT_LT(took[0].toDouble(), 1.0);
  ASSERT_TRUE(WaitUntil([&] { return program.state() == QProcess::NotRunning; }));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}
