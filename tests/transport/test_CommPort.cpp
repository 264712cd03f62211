#include "transport/uComms.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "support/ErrorText.h"
#include "support/PtyPeer.h"
#include "transport/uCommAttributes.h"

namespace {

constexpr int ComNumber = 3;

// Polls until Done holds or two seconds have passed.
bool Eventually(const std::function<bool()>& Done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool WaitWritten(TCommPort& Port) {
  return Eventually([&] { return Port.WaitWriteDone(1); });
}

// A port set up as the serial dispatcher sets it up, pointed at a pseudo-terminal as COM3.
class CommPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    Config.Link(ComNumber, Peer.SlavePath());
    Port.SetPort(ComNumber);
    Port.SetBaudRate(115200);
    Port.SetParity('N');
    Port.SetByteSize(8);
    Port.SetDSRFlow(true);
    Port.SetCTSFlow(true);
  }
  // Sends Bytes from the device and waits until the port has them waiting.
  void Arrive(const std::string& Bytes) {
    Peer.Send(Bytes);
    ASSERT_TRUE(Eventually([&] { return Port.InQueue() == Bytes.size(); }));
  }

  TTempConfig Config;
  TPtyPeer Peer;
  TCommPort Port;
};

}  // namespace

TEST(CommPort, PortNumberNamesTheDeviceAndBadNumbersAreRefused) {
  TCommPort port;
  EXPECT_EQ(ErrorOf<ECommPort>([&] { port.Open(); }), "No port assigned");
  EXPECT_EQ(ErrorOf<ECommPort>([&] { port.SetActive(true); }), "No port assigned");
  port.SetPort(12);
  EXPECT_EQ(port.DeviceName(), "COM12:");
  for (const int32_t bad : {0, -1, -100}) {
    EXPECT_EQ(ErrorOf<ECommPort>([&] { port.SetPort(bad); }), "Invalid Port Number") << bad;
    EXPECT_EQ(port.DeviceName(), "COM12:") << bad;
  }
  EXPECT_FALSE(port.IsOpen());
}

TEST(CommPort, ClosedPortReadsAsLinesOnAndErrorPending) {
  TCommPort port;
  port.SetPort(3);
  char buffer[16];
  EXPECT_TRUE(port.CTS() && port.DSR());
  EXPECT_EQ(port.ModemStatus(), 0xFFFFFFFFu);
  EXPECT_TRUE(port.CheckErrors());
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(port.InQueue(), 0u);
  EXPECT_FALSE(port.OutputHeld());
  port.Write("x", 1);
  EXPECT_TRUE(port.WriteDone());
  EXPECT_TRUE(port.Close());
}

TEST(CommPort, ComNumberResolvesThroughTheUserLinkElseTheBuiltInPort) {
  TTempConfig config;
  TCommPort port;
  port.SetPort(3);
  EXPECT_EQ(port.DevicePath(), "/dev/ttyS2");
  config.Link(3, "/dev/ttyUSB0");
  EXPECT_EQ(port.DevicePath(), config.LinkPath(3));
  port.SetPort(1);
  EXPECT_EQ(port.DevicePath(), "/dev/ttyS0");

  // Without XDG_CONFIG_HOME the folder is ~/.config.
  const std::string home = (config.Root() / "home").string();
  const std::string link = home + "/.config/Orvane/TallyboxUtility/com1";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
  std::filesystem::create_directories(std::filesystem::path(link).parent_path());
  std::filesystem::create_symlink("/dev/null", link);
  EXPECT_EQ(port.DevicePath(), link);
  if (oldHome) setenv("HOME", savedHome.c_str(), 1);
}

// A device that will not open gives false; one that opens but is no serial line fails set-up.
TEST(CommPort, DevicesThatCannotServeAsTheLineStayClosed) {
  TTempConfig config;
  const struct {
    std::string Target, Error;
  } cases[] = {{(config.Root() / "no-such-device").string(), "no error"},
               {"/dev/null", "SetupComm error"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Target);
    config.Link(ComNumber, c.Target);
    TCommPort port;
    port.SetPort(ComNumber);
    bool opened = true;
    EXPECT_EQ(ErrorOf<ECommPort>([&] { opened = port.Open(); }), c.Error);
    EXPECT_FALSE(opened && c.Error == "no error");
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST_F(CommPortOnPty, OpensAndClosesAnyNumberOfTimesButOnlyOnceAtATime) {
  EXPECT_TRUE(Port.SetActive(true));
  EXPECT_TRUE(Port.IsOpen());
  // A pseudo-terminal has no modem lines: they read as all on.
  EXPECT_EQ(Port.ModemStatus(), 0xF0u);
  EXPECT_TRUE(Port.CTS() && Port.DSR());
  EXPECT_FALSE(Port.OutputHeld());
  EXPECT_FALSE(Port.CheckErrors());
  TCommPort second;
  second.SetPort(ComNumber);
  second.SetBaudRate(115200);
  EXPECT_FALSE(second.Open());
  EXPECT_TRUE(Port.Close());
  EXPECT_FALSE(Port.IsOpen());
  EXPECT_TRUE(Port.Close());
  EXPECT_TRUE(second.Open());
  second.Close();
  EXPECT_TRUE(Port.Open());
  EXPECT_TRUE(Port.Open());
  EXPECT_TRUE(Port.SetActive(false));
}

TEST_F(CommPortOnPty, SettingsTheTerminalCannotTakeFailSetUp) {
  const struct {
    uint8_t ByteSize;
    uint32_t Baud;
  } cases[] = {{9, 115200}, {8, 12345}};
  for (const auto& c : cases) {
    Port.SetByteSize(c.ByteSize);
    Port.SetBaudRate(c.Baud);
    EXPECT_EQ(ErrorOf<ECommPort>([&] { Port.Open(); }), "SetCommState error") << c.Baud;
    EXPECT_FALSE(Port.IsOpen());
  }
  Port.SetByteSize(8);
  Port.SetBaudRate(115200);
  EXPECT_TRUE(Port.Open());
}

// A pseudo-terminal keeps the speed, the stop bits, the parity kind and the flow control it is
// given, but always reports eight data bits and no parity; those two are checked on the
// attributes the port asks for. The first row is the debug port's own setting.
TEST_F(CommPortOnPty, LineSettingsReachTheTerminal) {
  struct Row {
    char Parity;
    uint8_t ByteSize;
    double StopBits;
    bool Cts, Dsr;
    uint32_t Baud;
    speed_t Speed;
    uint8_t ParityCode, StopCode;
    uint32_t Flags;
    tcflag_t Size, ParityBits;
  };
  const Row rows[] = {
      {'N', 8, 1.0, true, true, 115200, B115200, 0, 0, 0x101F, CS8, 0},
      {'O', 7, 2.0, false, false, 9600, B9600, 1, 2, 0x1013, CS7, PARENB | PARODD},
      {'E', 7, 1.0, true, false, 19200, B19200, 2, 0, 0x1017, CS7, PARENB},
      {'M', 6, 1.5, false, true, 57600, B57600, 3, 1, 0x101B, CS6, PARENB | PARODD | CMSPAR},
      {'S', 5, 1.5, false, false, 38400, B38400, 4, 1, 0x1013, CS5, PARENB | CMSPAR},
      {'e', 8, 0.5, false, false, 1200, B1200, 0, 0, 0x1013, CS8, 0},
      {'x', 8, 3.0, false, false, 230400, B230400, 0, 2, 0x1013, CS8, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("parity ") + row.Parity + " bits " + std::to_string(row.ByteSize) +
                 " stop " + std::to_string(row.StopBits));
    Port.SetParity(row.Parity);
    Port.SetByteSize(row.ByteSize);
    Port.SetStopBits(row.StopBits);
    Port.SetCTSFlow(row.Cts);
    Port.SetDSRFlow(row.Dsr);
    Port.SetBaudRate(row.Baud);
    ASSERT_TRUE(Port.Open());
    const TCommState state = Port.CommState();
    EXPECT_EQ(state.Parity, row.ParityCode);
    EXPECT_EQ(state.StopBits, row.StopCode);
    EXPECT_EQ(state.ByteSize, row.ByteSize);
    EXPECT_EQ(state.Flags, row.Flags);
    EXPECT_EQ(state.BaudRate, row.Baud);
    EXPECT_EQ(state.ErrorChar, 0x7F);

    const termios line = Peer.Attributes();
    EXPECT_EQ(cfgetospeed(&line), row.Speed);
    EXPECT_EQ(cfgetispeed(&line), row.Speed);
    EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), row.ParityBits & (PARODD | CMSPAR));
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, row.StopCode != TCommPort::OneStopBit);
    EXPECT_EQ((line.c_cflag & CRTSCTS) != 0, row.Cts);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    // Raw and immediate: no echo, no line editing, no translation, no XON/XOFF.
    EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);

    termios asked = line;
    ASSERT_TRUE(CommAttributes(state, asked));
    EXPECT_EQ(asked.c_cflag & CSIZE, row.Size);
    EXPECT_EQ(asked.c_cflag & (PARENB | PARODD | CMSPAR), row.ParityBits);
    Port.Close();
  }
}

TEST_F(CommPortOnPty, SpeedAndFlowControlChangeAtOnceWhileOpen) {
  ASSERT_TRUE(Port.Open());
  Port.SetBaudRate(9600);
  Port.SetCTSFlow(false);
  Port.SetDSRFlow(false);
  const termios line = Peer.Attributes();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(Port.CommState().Flags, 0x1013u);
  // The others wait for the next open.
  Port.SetByteSize(7);
  Port.SetStopBits(2);
  EXPECT_EQ(Peer.Attributes().c_cflag & CSTOPB, 0u);
  ASSERT_TRUE(Port.Open());
  EXPECT_NE(Peer.Attributes().c_cflag & CSTOPB, 0u);
  EXPECT_EQ(Port.CommState().ByteSize, 7);
}

TEST_F(CommPortOnPty, AssigningThePortWhileOpenMovesToTheNewDevice) {
  TPtyPeer other;
  Config.Link(4, other.SlavePath());
  Port.SetStopBits(2);
  ASSERT_TRUE(Port.Open());
  Port.SetPort(4);
  EXPECT_TRUE(Port.IsOpen());
  EXPECT_EQ(Port.DeviceName(), "COM4:");
  const termios moved = other.Attributes();
  EXPECT_NE(moved.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(cfgetospeed(&moved), static_cast<speed_t>(B115200));
  Port.Write("moved", 5);
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_EQ(other.Receive(5), "moved");
  EXPECT_EQ(Peer.Drain(20), "");
  TCommPort old;  // the old device is free again
  old.SetPort(ComNumber);
  old.SetBaudRate(115200);
  EXPECT_TRUE(old.Open());
}

TEST_F(CommPortOnPty, ReadAndWriteReturnAtOnceAndPassBytesUnchanged) {
  ASSERT_TRUE(Port.Open());
  char buffer[64];
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
  Arrive("hello\r\n");
  EXPECT_EQ(Port.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "hel");
  EXPECT_EQ(Port.InQueue(), 4u);
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "lo\r\n");
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(Peer.Drain(20), "");  // raw line: nothing echoed back to the device

  EXPECT_TRUE(Port.WriteDone());
  Port.Write("i900?\r\n", 7);
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_EQ(Peer.Receive(7), "i900?\r\n");
}

// WriteDone holds only once the driver's queue has been taken by the device.
TEST_F(CommPortOnPty, LargeWriteWaitsForTheDeviceToTakeIt) {
  const uint32_t seed = 2024;
  const std::string bytes = Pattern(200000, seed);
  ASSERT_TRUE(Port.Open());
  Port.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  // The device reads nothing yet, so the terminal fills up and the write stays in progress.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(Port.WriteDone());
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (got.size() < bytes.size() && std::chrono::steady_clock::now() < deadline) {
    Port.WaitWriteDone(1);
    got += Peer.Receive(bytes.size() - got.size(), 5);
  }
  EXPECT_TRUE(WaitWritten(Port));
  EXPECT_TRUE(got == bytes) << "seed " << seed << ", " << got.size() << " bytes came";
}

TEST_F(CommPortOnPty, HeldOutputKeepsTheWriteBackUntilReleased) {
  const struct {
    const char* Name;
    uint32_t Lines, Hold;
    bool Flow;  // CTS and DSR flow control
  } rows[] = {
      {"CTS off", TCommPort::DsrOn, 0, true},
      {"DSR off", TCommPort::CtsOn, 0, true},
      {"both off", 0, 0, true},
      {"driver holds for DSR", 0xF0, TCommPort::HoldDsr, true},
      {"flow control off ignores the lines", 0, 0, false},
  };
  TCommLineSeam lines;
  Port.SetLineSeam(&lines);
  ASSERT_TRUE(Port.Open());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    Port.SetCTSFlow(row.Flow);
    Port.SetDSRFlow(row.Flow);
    lines.ModemStatus = row.Lines;
    lines.HoldFlags = row.Hold;
    EXPECT_EQ(Port.ModemStatus(), row.Lines);
    EXPECT_EQ(Port.CTS(), (row.Lines & TCommPort::CtsOn) != 0);
    EXPECT_EQ(Port.DSR(), (row.Lines & TCommPort::DsrOn) != 0);
    EXPECT_EQ(Port.OutputHeld(), row.Hold != 0);  // the lines alone hold nothing yet
    Port.Write("held", 4);
    if (row.Flow) {
      EXPECT_FALSE(Port.WaitWriteDone(20));
      EXPECT_TRUE(Port.OutputHeld());
      EXPECT_EQ(Peer.Drain(20), "");
      lines.ModemStatus = 0xF0;
      lines.HoldFlags = 0;
    }
    ASSERT_TRUE(WaitWritten(Port));
    EXPECT_FALSE(Port.OutputHeld());
    EXPECT_EQ(Peer.Receive(4), "held");
  }
}

TEST_F(CommPortOnPty, LineErrorIsReportedOnceAndLosesNoBytes) {
  TCommLineSeam lines;
  Port.SetLineSeam(&lines);
  ASSERT_TRUE(Port.Open());
  EXPECT_FALSE(Port.CheckErrors());
  for (const uint32_t error :
       {TCommPort::ErrRxOver, TCommPort::ErrOverrun, TCommPort::ErrRxParity, TCommPort::ErrFrame}) {
    lines.PendingErrors = error;
    EXPECT_TRUE(Port.CheckErrors()) << error;
    EXPECT_FALSE(Port.CheckErrors()) << error;
  }
  lines.PendingErrors = TCommPort::ErrBreak;
  EXPECT_FALSE(Port.CheckErrors());

  // A read that meets an error takes nothing; the bytes wait for the next read.
  Arrive("abc");
  lines.PendingErrors = TCommPort::ErrFrame;
  char buffer[8];
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");

  // A write that meets an error still sends what it was given.
  lines.PendingErrors = TCommPort::ErrOverrun;
  Port.Write("xyz", 3);
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_EQ(Peer.Receive(3), "xyz");
  EXPECT_FALSE(Port.CheckErrors());
}

TEST_F(CommPortOnPty, CloseAndPurgeDropWhatIsQueued) {
  TCommLineSeam lines;
  lines.ModemStatus = 0;
  Port.SetLineSeam(&lines);
  ASSERT_TRUE(Port.Open());
  Arrive("stale");
  Port.Write("never", 5);
  EXPECT_FALSE(Port.WriteDone());
  EXPECT_TRUE(Port.Close());
  EXPECT_TRUE(Port.WriteDone());
  lines.ModemStatus = 0xF0;
  ASSERT_TRUE(Port.Open());
  EXPECT_TRUE(Port.WriteDone());
  EXPECT_EQ(Port.InQueue(), 0u);
  EXPECT_EQ(Peer.Drain(30), "");

  Arrive("in");
  Port.PurgeOutput();
  EXPECT_EQ(Port.InQueue(), 2u);
  Port.PurgeInput();
  EXPECT_EQ(Port.InQueue(), 0u);
}
