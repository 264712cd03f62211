#include "transport/uComms.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
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

std::string ReadAll(TCommPort& Port, size_t Count) {
  std::string got;
  char buffer[8192];
  Eventually([&] {
    const uint32_t waiting = Port.InQueue();
    if (waiting > 0) {
      const int32_t n = Port.Read(buffer, static_cast<int32_t>(std::min<uint32_t>(waiting, 8192)));
      got.append(buffer, static_cast<size_t>(n));
    }
    return got.size() >= Count;
  });
  return got;
}

bool WaitWritten(TCommPort& Port) {
  return Eventually([&] { return Port.WaitWriteDone(1); });
}

std::string Pattern(size_t Count, uint32_t Seed) {
  std::mt19937 random(Seed);
  std::string bytes(Count, '\0');
  for (auto& b : bytes) b = static_cast<char>(random());
  return bytes;
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

  TTempConfig Config;
  TPtyPeer Peer;
  TCommPort Port;
};

}  // namespace

TEST(CommPort, OpenWithoutAPortRaisesNoPortAssigned) {
  TCommPort port;
  EXPECT_EQ(ErrorOf<ECommPort>([&] { port.Open(); }), "No port assigned");
  EXPECT_EQ(ErrorOf<ECommPort>([&] { port.SetActive(true); }), "No port assigned");
  EXPECT_FALSE(port.IsOpen());
}

TEST(CommPort, PortNumberNamesTheDevice) {
  TCommPort port;
  EXPECT_EQ(port.Port(), 0);
  EXPECT_EQ(port.DeviceName(), "");
  port.SetPort(3);
  EXPECT_EQ(port.DeviceName(), "COM3:");
  port.SetPort(12);
  EXPECT_EQ(port.DeviceName(), "COM12:");
}

TEST(CommPort, PortNumberBelowOneIsRefusedAndKeepsTheOldName) {
  for (const int32_t bad : {0, -1, -100}) {
    TCommPort port;
    port.SetPort(5);
    EXPECT_EQ(ErrorOf<ECommPort>([&] { port.SetPort(bad); }), "Invalid Port Number") << bad;
    EXPECT_EQ(port.DeviceName(), "COM5:") << bad;
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST(CommPort, DefaultsBeforeAnySetting) {
  TCommPort port;
  EXPECT_EQ(port.BaudRate(), 0u);
  EXPECT_FALSE(port.DSRFlow());
  EXPECT_FALSE(port.CTSFlow());
  EXPECT_EQ(port.Parity(), 'N');
  EXPECT_EQ(port.ByteSize(), 8);
  EXPECT_EQ(port.StopBits(), 1.0);
}

TEST(CommPort, ClosedPortReadsAsLinesOnAndErrorPending) {
  TCommPort port;
  port.SetPort(3);
  char buffer[16];
  EXPECT_TRUE(port.CTS());
  EXPECT_TRUE(port.DSR());
  EXPECT_EQ(port.ModemStatus(), 0xFFFFFFFFu);
  EXPECT_TRUE(port.CheckErrors());
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(port.InQueue(), 0u);
  EXPECT_FALSE(port.OutputHeld());
  port.Write("x", 1);
  EXPECT_TRUE(port.WriteDone());
  EXPECT_TRUE(port.Close());
  EXPECT_TRUE(port.SetActive(false));
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
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", home.c_str(), 1);
  std::filesystem::create_directories(home + "/.config/Orvane/TallyboxUtility");
  std::filesystem::create_symlink("/dev/null", home + "/.config/Orvane/TallyboxUtility/com1");
  EXPECT_EQ(port.DevicePath(), home + "/.config/Orvane/TallyboxUtility/com1");
  if (oldHome) setenv("HOME", savedHome.c_str(), 1);
}

TEST(CommPort, DeviceThatCannotBeOpenedGivesFalseWithoutException) {
  TTempConfig config;
  config.Link(ComNumber, (config.Root() / "no-such-device").string());
  TCommPort port;
  port.SetPort(ComNumber);
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.SetActive(true));
}

TEST(CommPort, DeviceThatIsNotASerialLineFailsSetUpAndStaysClosed) {
  TTempConfig config;
  config.Link(ComNumber, "/dev/null");
  TCommPort port;
  port.SetPort(ComNumber);
  EXPECT_EQ(ErrorOf<ECommPort>([&] { port.Open(); }), "SetupComm error");
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(CommPortOnPty, OpensTheLinkedTerminalAndClosesIt) {
  EXPECT_TRUE(Port.SetActive(true));
  EXPECT_TRUE(Port.IsOpen());
  EXPECT_TRUE(Port.Close());
  EXPECT_FALSE(Port.IsOpen());
  EXPECT_TRUE(Port.Close());
  // Open and close any number of times.
  EXPECT_TRUE(Port.Open());
  EXPECT_TRUE(Port.Open());
  EXPECT_TRUE(Port.SetActive(false));
}

TEST_F(CommPortOnPty, PortInUseCannotBeOpenedAgain) {
  ASSERT_TRUE(Port.Open());
  TCommPort second;
  second.SetPort(ComNumber);
  second.SetBaudRate(115200);
  EXPECT_FALSE(second.Open());
  Port.Close();
  EXPECT_TRUE(second.Open());
}

TEST_F(CommPortOnPty, SettingsTheTerminalCannotTakeFailSetUp) {
  Port.SetByteSize(9);
  EXPECT_EQ(ErrorOf<ECommPort>([&] { Port.Open(); }), "SetCommState error");
  EXPECT_FALSE(Port.IsOpen());
  Port.SetByteSize(8);
  Port.SetBaudRate(12345);
  EXPECT_EQ(ErrorOf<ECommPort>([&] { Port.Open(); }), "SetCommState error");
  EXPECT_FALSE(Port.IsOpen());
  Port.SetBaudRate(115200);
  EXPECT_TRUE(Port.Open());
}

TEST_F(CommPortOnPty, DebugPortSettingsReachTheTerminal) {
  ASSERT_TRUE(Port.Open());
  const TCommState state = Port.CommState();
  EXPECT_EQ(state.BaudRate, 115200u);
  EXPECT_EQ(state.Flags, 0x101Fu);
  EXPECT_EQ(state.Parity, TCommPort::NoParity);
  EXPECT_EQ(state.ByteSize, 8);
  EXPECT_EQ(state.StopBits, TCommPort::OneStopBit);
  EXPECT_EQ(state.ErrorChar, 0x7F);

  const termios line = Peer.Attributes();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B115200));
  EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B115200));
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | PARODD | CMSPAR), 0u);
  EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
  EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(line.c_cflag & CLOCAL, 0u);
  EXPECT_NE(line.c_cflag & CREAD, 0u);
  // Raw and immediate: no echo, no line editing, no translation, no XON/XOFF.
  EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);
}

// A pseudo-terminal keeps the speed, the stop bits, the parity kind and the flow control it is
// given, but always reports eight data bits and no parity; those two are checked on the
// attributes the port asks for.
TEST_F(CommPortOnPty, LineSettingsTable) {
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

    const termios line = Peer.Attributes();
    EXPECT_EQ(cfgetospeed(&line), row.Speed);
    EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), row.ParityBits & (PARODD | CMSPAR));
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, row.StopCode != TCommPort::OneStopBit);
    EXPECT_EQ((line.c_cflag & CRTSCTS) != 0, row.Cts);

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
  EXPECT_EQ(Port.CommState().BaudRate, 9600u);
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
  EXPECT_NE(other.Attributes().c_cflag & CSTOPB, 0u);
  const termios moved = other.Attributes();
  EXPECT_EQ(cfgetospeed(&moved), static_cast<speed_t>(B115200));
  Port.Write("moved", 5);
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_EQ(other.Receive(5), "moved");
  EXPECT_EQ(Peer.Drain(20), "");
  // The old device is free again.
  TCommPort old;
  old.SetPort(ComNumber);
  old.SetBaudRate(115200);
  EXPECT_TRUE(old.Open());
}

TEST_F(CommPortOnPty, ReadReturnsAtOnceWithWhatHasArrived) {
  ASSERT_TRUE(Port.Open());
  char buffer[64];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

  Peer.Send("hello\r\n");
  ASSERT_TRUE(Eventually([&] { return Port.InQueue() == 7; }));
  EXPECT_EQ(Port.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "hel");
  EXPECT_EQ(Port.InQueue(), 4u);
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "lo\r\n");
  EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
  // Raw line: nothing was echoed back to the device.
  EXPECT_EQ(Peer.Drain(20), "");
}

TEST_F(CommPortOnPty, WriteReturnsAtOnceAndCompletesWhenEverythingHasLeft) {
  ASSERT_TRUE(Port.Open());
  EXPECT_TRUE(Port.WriteDone());
  const std::string line = "i900?\r\n";
  Port.Write(line.data(), static_cast<int32_t>(line.size()));
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_EQ(Peer.Receive(line.size()), line);
}

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

TEST_F(CommPortOnPty, HeldLinesKeepTheWriteBackUntilTheyComeOn) {
  struct Row {
    const char* Name;
    uint32_t Lines;
    uint32_t Hold;
  };
  const Row rows[] = {
      {"CTS off", TCommPort::DsrOn, TCommPort::HoldCts},
      {"DSR off", TCommPort::CtsOn, TCommPort::HoldDsr},
      {"both off", 0, TCommPort::HoldCts | TCommPort::HoldDsr},
  };
  TCommLineSeam lines;
  Port.SetLineSeam(&lines);
  ASSERT_TRUE(Port.Open());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    lines.ModemStatus = row.Lines;
    EXPECT_EQ(Port.ModemStatus(), row.Lines);
    EXPECT_EQ(Port.CTS(), (row.Lines & TCommPort::CtsOn) != 0);
    EXPECT_EQ(Port.DSR(), (row.Lines & TCommPort::DsrOn) != 0);
    EXPECT_FALSE(Port.OutputHeld());  // nothing waiting to go out yet
    Port.Write("held", 4);
    EXPECT_FALSE(Port.WaitWriteDone(20));
    EXPECT_TRUE(Port.OutputHeld());
    EXPECT_EQ(Peer.Drain(20), "");
    lines.ModemStatus = 0xF0;
    ASSERT_TRUE(WaitWritten(Port));
    EXPECT_FALSE(Port.OutputHeld());
    EXPECT_EQ(Peer.Receive(4), "held");
  }
}

TEST_F(CommPortOnPty, HoldFlagsFromTheLineHoldOutput) {
  TCommLineSeam lines;
  Port.SetLineSeam(&lines);
  ASSERT_TRUE(Port.Open());
  lines.HoldFlags = TCommPort::HoldDsr;
  EXPECT_TRUE(Port.OutputHeld());
  Port.Write("wait", 4);
  EXPECT_FALSE(Port.WaitWriteDone(20));
  EXPECT_EQ(Peer.Drain(20), "");
  lines.HoldFlags = 0;
  EXPECT_FALSE(Port.OutputHeld());
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_EQ(Peer.Receive(4), "wait");
}

TEST_F(CommPortOnPty, FlowControlOffIgnoresTheLines) {
  TCommLineSeam lines;
  lines.ModemStatus = 0;
  Port.SetLineSeam(&lines);
  Port.SetCTSFlow(false);
  Port.SetDSRFlow(false);
  ASSERT_TRUE(Port.Open());
  Port.Write("free", 4);
  ASSERT_TRUE(WaitWritten(Port));
  EXPECT_FALSE(Port.OutputHeld());
  EXPECT_EQ(Peer.Receive(4), "free");
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
  Peer.Send("abc");
  ASSERT_TRUE(Eventually([&] { return Port.InQueue() == 3; }));
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

TEST_F(CommPortOnPty, CloseDropsAWriteStillInProgress) {
  TCommLineSeam lines;
  lines.ModemStatus = 0;
  Port.SetLineSeam(&lines);
  ASSERT_TRUE(Port.Open());
  Port.Write("never", 5);
  EXPECT_FALSE(Port.WriteDone());
  EXPECT_TRUE(Port.Close());
  EXPECT_TRUE(Port.WriteDone());
  lines.ModemStatus = 0xF0;
  ASSERT_TRUE(Port.Open());
  EXPECT_TRUE(Port.WriteDone());
  EXPECT_EQ(Peer.Drain(30), "");
}

TEST_F(CommPortOnPty, CloseDiscardsUnreadInput) {
  ASSERT_TRUE(Port.Open());
  Peer.Send("stale");
  ASSERT_TRUE(Eventually([&] { return Port.InQueue() == 5; }));
  Port.Close();
  ASSERT_TRUE(Port.Open());
  EXPECT_EQ(Port.InQueue(), 0u);
  Peer.Send("fresh");
  EXPECT_EQ(ReadAll(Port, 5), "fresh");
}

TEST_F(CommPortOnPty, PurgesEmptyEachQueue) {
  ASSERT_TRUE(Port.Open());
  Peer.Send("in");
  ASSERT_TRUE(Eventually([&] { return Port.InQueue() == 2; }));
  Port.PurgeOutput();
  EXPECT_EQ(Port.InQueue(), 2u);
  Port.PurgeInput();
  EXPECT_EQ(Port.InQueue(), 0u);
}

TEST_F(CommPortOnPty, ALineWithoutModemLinesReadsAllOn) {
  ASSERT_TRUE(Port.Open());
  EXPECT_EQ(Port.ModemStatus(), 0xF0u);
  EXPECT_TRUE(Port.CTS());
  EXPECT_TRUE(Port.DSR());
  EXPECT_FALSE(Port.OutputHeld());
  EXPECT_FALSE(Port.CheckErrors());
}
