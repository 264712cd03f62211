// The serial device list and the COM map against a made-up /dev, by-id folder and sysfs in
// which pseudo-terminals stand in for adapters, with the COM links under a temporary home.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/FakeSerialTree.h"
#include "support/PtyPeer.h"
#include "transport/uComPortMap.h"
#include "transport/uComms.h"
#include "transport/uSerialDevices.h"

namespace fs = std::filesystem;

namespace {

const std::string FtdiId = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

std::vector<std::string> Lines(const TSerialFolders& Folders) {
  std::vector<std::string> lines;
  for (const TComPortEntry& e : ListComPorts(ListSerialDevices(Folders), Folders))
    lines.push_back(ComPortLine(e));
  return lines;
}

}  // namespace

// Plug in, list, assign over a planted link, talk through the assignment, unplug, plug in again
// under another node name: the COM number follows the adapter by its stable name.
TEST(SerialDevices, ComNumbersShowWhatTheyReachAndFollowAnAssignedAdapter) {
  TTempConfig config;
  TFakeSerialTree tree;
  TPtyPeer adapter, modem, builtIn;
  const std::string dev = tree.Dev();
  const std::string stable =
      tree.AddUsb("ttyUSB0", adapter.SlavePath(), "FTDI", "FT232R USB UART", FtdiId);
  // A device names itself: escape sequences in its words never reach the screen.
  tree.AddUsb("ttyACM0", modem.SlavePath(), "Acme\x1b[2J", "Modem\x9b", "");
  tree.AddBuiltIn("ttyS0", builtIn.SlavePath(), 4);
  tree.AddBuiltIn("ttyS1", "/dev/null", 0);  // no UART answered
  const TSerialFolders folders = TSerialFolders::FromEnvironment();

  const std::vector<TSerialDevice> devices = ListSerialDevices(folders);
  ASSERT_EQ(devices.size(), 3u);  // ttyACM0, ttyS0, ttyUSB0: ttyS1 has no UART
  EXPECT_EQ(devices[2].StablePath, stable);

  const std::string victim = config.Folder + "/victim";
  WriteFileBytes(victim, "keep me\n");
  config.Link(3, victim);  // planted: assigning must replace it, never write through it
  config.Link(4, tree.ById() + "/usb-gone-if00-port0");
  config.Link(6, modem.SlavePath());  // another path to a listed device
  std::vector<std::string> lines = Lines(folders);
  EXPECT_EQ(lines[0], "COM1 \u2014 " + dev + "/ttyS0");
  EXPECT_EQ(lines[1], "COM2 \u2014 nothing");
  EXPECT_EQ(lines[2], "COM3 \u2014 " + victim);
  EXPECT_EQ(lines[3], "COM4 \u2014 nothing (" + tree.ById() + "/usb-gone-if00-port0 is not there)");
  EXPECT_EQ(lines[5], "COM6 \u2014 " + dev + "/ttyACM0 (Acme?[2J Modem?)");

  AssignComPort(3, devices[2]);
  AssignComPort(5, devices[0]);  // no stable name: the node it is
  EXPECT_EQ(fs::read_symlink(ComLinkPath(3)), stable);
  EXPECT_EQ(fs::read_symlink(ComLinkPath(5)), dev + "/ttyACM0");
  EXPECT_EQ(ReadFileBytes(victim), "keep me\n");
  EXPECT_EQ(Lines(folders)[2], "COM3 \u2014 " + dev + "/ttyUSB0 (FTDI FT232R USB UART)");

  TCommPort port;
  port.SetPort(3);
  port.SetBaudRate(115200);
  ASSERT_TRUE(port.Open());
  port.Write("hello", 5);
  EXPECT_TRUE(port.WaitWriteDone(2000));
  EXPECT_EQ(adapter.Receive(5), "hello");

  tree.Unplug("ttyUSB0", FtdiId);
  EXPECT_EQ(Lines(folders)[2], "COM3 \u2014 nothing (" + stable + " is not there)");
  tree.AddUsb("ttyUSB1", adapter.SlavePath(), "FTDI", "FT232R USB UART", FtdiId);
  EXPECT_EQ(Lines(folders)[2], "COM3 \u2014 " + dev + "/ttyUSB1 (FTDI FT232R USB UART)");
}

TEST(SerialDevices, PrintableTextKeepsCharactersAndShowsControlsAndBrokenBytesAsMarks) {
  EXPECT_EQ(PrintableText("M\xc3\xbcller \xe2\x82\xac"), "M\xc3\xbcller \xe2\x82\xac");
  EXPECT_EQ(PrintableText("\x1b]0;x\x07 a\xc2\x9b"
                          "2J"),
            "?]0;x? a??2J");  // C1 CSI too
  EXPECT_EQ(PrintableText("\xc0\xaf\xff\xed\xa0\x80 \xe2\x82"), "?????? ??");
}
