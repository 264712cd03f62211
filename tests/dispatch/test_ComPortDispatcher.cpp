#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "support/DispatcherOwner.h"
#include "support/ErrorText.h"
#include "support/PtyPeer.h"
#include "transport/uComms.h"

namespace {

constexpr int ComNumber = 3;

// Sizes of every append to the input queue and every take from the output queue, kept
// beyond the dispatcher, which frees itself.
struct TTransfers {
  std::mutex Lock;
  std::vector<int32_t> Appended;
  std::vector<int32_t> Taken;

  std::vector<int32_t> AppendedSoFar() {
    std::lock_guard<std::mutex> guard(Lock);
    return Appended;
  }
  std::vector<int32_t> TakenSoFar() {
    std::lock_guard<std::mutex> guard(Lock);
    return Taken;
  }
};

// A dispatcher queue that notes the size of each transfer. Only the worker writes the input
// queue and reads the output queue, so those are the directions recorded.
class TRecordingQueue : public TLockableFIFOStream {
 public:
  TRecordingQueue(std::shared_ptr<TTransfers> Transfers, bool IsInput)
      : TLockableFIFOStream(TTerminalDispatcher::TransferSize, 0),
        FTransfers(std::move(Transfers)),
        FIsInput(IsInput) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    if (FIsInput && !IsMainThread()) Note(FTransfers->Appended, Count);
    return TLockableFIFOStream::Write(Buffer, Count);
  }
  int32_t Read(void* Buffer, int32_t Count) override {
    const int32_t n = TLockableFIFOStream::Read(Buffer, Count);
    if (!FIsInput && n > 0) Note(FTransfers->Taken, n);
    return n;
  }

 private:
  void Note(std::vector<int32_t>& Sizes, int32_t Count) {
    std::lock_guard<std::mutex> guard(FTransfers->Lock);
    Sizes.push_back(Count);
  }
  std::shared_ptr<TTransfers> FTransfers;
  bool FIsInput;
};

// The serial dispatcher with the line seam wired in (a pseudo-terminal has no modem lines)
// and queues that record each transfer.
class TProbeDispatcher : public TComPortDispatcher {
 public:
  TProbeDispatcher(int32_t PortNumber, TCommLineSeam* Lines,
                   std::shared_ptr<TTransfers> Transfers = nullptr)
      : TComPortDispatcher(PortNumber) {
    FPort->SetLineSeam(Lines);
    if (Transfers) {
      FInput = std::make_unique<TRecordingQueue>(Transfers, true);
      FOutput = std::make_unique<TRecordingQueue>(Transfers, false);
    }
  }
  TCommPort& Port() { return *FPort; }
};

std::string Pattern(size_t Count, uint32_t Seed) {
  std::mt19937 random(Seed);
  std::string bytes(Count, '\0');
  for (auto& b : bytes) b = static_cast<char>(random());
  return bytes;
}

int64_t Sum(const std::vector<int32_t>& Sizes) {
  int64_t total = 0;
  for (const int32_t n : Sizes) total += n;
  return total;
}

const std::vector<std::string> NormalSession = {"status:Opening COM3", "opened", "status:Closing",
                                                "closed"};

class ComPortDispatcherOnPty : public ::testing::Test {
 protected:
  void SetUp() override { Config.Link(ComNumber, Peer.SlavePath()); }

  // Starts a dispatcher on COM3 and waits until it has opened the line.
  TProbeDispatcher* Start(std::shared_ptr<TTransfers> Transfers = nullptr) {
    auto* d = new TProbeDispatcher(ComNumber, &Lines, std::move(Transfers));
    Owner.Wire(d);
    d->Resume();
    EXPECT_TRUE(Owner.UntilOpened());
    return d;
  }

  TTempConfig Config;
  TPtyPeer Peer;
  TCommLineSeam Lines;
  TOwner Owner;
};

}  // namespace

TEST(ComPortDispatcher, PortNumberBelowOneIsRefusedByTheConstructor) {
  EXPECT_EQ(ErrorOf<ECommPort>([] { delete new TComPortDispatcher(0); }), "Invalid Port Number");
  EXPECT_EQ(ErrorOf<ECommPort>([] { delete new TComPortDispatcher(-2); }), "Invalid Port Number");
}

TEST(ComPortDispatcher, ConstructorFixesTheDebugPortSettings) {
  TProbeDispatcher d(7, nullptr);
  EXPECT_EQ(d.ComPort(), 7);
  TCommPort& port = d.Port();
  EXPECT_EQ(port.DeviceName(), "COM7:");
  EXPECT_EQ(port.BaudRate(), 115200u);
  EXPECT_EQ(port.Parity(), 'N');
  EXPECT_EQ(port.ByteSize(), 8);
  EXPECT_EQ(port.StopBits(), 1.0);
  EXPECT_TRUE(port.DSRFlow());
  EXPECT_TRUE(port.CTSFlow());
  EXPECT_FALSE(port.IsOpen());
}

TEST(ComPortDispatcher, PortThatCannotBeOpenedGivesTheErrorAndCloses) {
  TTempConfig config;
  config.Link(ComNumber, (config.Root() / "unplugged").string());
  TOwner owner;
  auto* d = new TComPortDispatcher(ComNumber);
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events,
            (std::vector<std::string>{"status:Opening COM3", "error:Could not open COM3",
                                      "status:Closing", "closed"}));
}

TEST(ComPortDispatcher, AbortSilencesTheOpenError) {
  TTempConfig config;
  config.Link(ComNumber, (config.Root() / "unplugged").string());
  TOwner owner;
  auto* d = new TComPortDispatcher(ComNumber);
  owner.Wire(d);
  d->Abort();
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events,
            (std::vector<std::string>{"status:Opening COM3", "status:Closing", "closed"}));
}

TEST(ComPortDispatcher, PortThatFailsSetUpClosesWithoutAnError) {
  TTempConfig config;
  config.Link(ComNumber, "/dev/null");  // opens, but is no serial line
  TOwner owner;
  auto* d = new TComPortDispatcher(ComNumber);
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events,
            (std::vector<std::string>{"status:Opening COM3", "status:Closing", "closed"}));
}

TEST_F(ComPortDispatcherOnPty, LinkedCom3OpensTalksAndCloses) {
  termios line{};
  int32_t shownPort = 0;
  Owner.WhenOpened = [&](TTerminalDispatcher* S) {
    shownPort = static_cast<TComPortDispatcher*>(S)->ComPort();
    line = Peer.Attributes();
  };
  TProbeDispatcher* d = Start();
  EXPECT_EQ(shownPort, 3);
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B115200));
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_lflag & (ECHO | ICANON), 0u);

  const std::string poll = "i900?\r\n";
  d->WriteOutput(poll.data(), int32_t(poll.size()));
  EXPECT_EQ(Peer.Receive(poll.size()), poll);
  const std::string reply = "i900=1.00\r\n\x1b[34;1m<Tallybox>\x1b[0m";
  Peer.Send(reply);
  ASSERT_TRUE(Owner.Until([&] {
    Owner.Drain(d);
    return Owner.Input.size() >= reply.size();
  }));
  EXPECT_EQ(Owner.Input, reply);

  d->Terminate();
  ASSERT_TRUE(Owner.UntilClosed());
  EXPECT_EQ(Owner.Events, NormalSession);
  // Closed means the line is free for the next connection.
  TCommPort next;
  next.SetPort(ComNumber);
  next.SetBaudRate(115200);
  EXPECT_TRUE(next.Open());
}

TEST_F(ComPortDispatcherOnPty, BlockLargerThanOnePassArrivesInOrderOverSeveralPasses) {
  const uint32_t seed = 11;
  const std::string block = Pattern(40000, seed);
  auto transfers = std::make_shared<TTransfers>();
  TProbeDispatcher* d = Start(transfers);
  Peer.Send(block);
  ASSERT_TRUE(Owner.Until([&] {
    Owner.Drain(d);
    return Owner.Input.size() >= block.size();
  }));
  EXPECT_TRUE(Owner.Input == block) << "seed " << seed;
  const std::vector<int32_t> appended = transfers->AppendedSoFar();
  EXPECT_EQ(Sum(appended), int64_t(block.size()));
  EXPECT_GE(appended.size(), 5u);  // 40000 bytes cannot come in fewer 8192-byte passes
  EXPECT_LE(*std::max_element(appended.begin(), appended.end()), 8192);
  d->Terminate();
  ASSERT_TRUE(Owner.UntilClosed());
}

TEST_F(ComPortDispatcherOnPty, HeldSendingKeepsTheQueueWhileReceivingGoesOn) {
  struct Row {
    const char* Name;
    uint32_t Lines;
    uint32_t Hold;
  };
  const Row rows[] = {
      {"CTS off", TCommPort::DsrOn, 0},
      {"DSR off", TCommPort::CtsOn, 0},
      {"both off", 0, 0},
      {"lines on, output held for CTS", 0xF0, TCommPort::HoldCts},
      {"lines on, output held for DSR", 0xF0, TCommPort::HoldDsr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    const uint32_t seed = 5;
    const std::string queued = Pattern(30000, seed);
    auto transfers = std::make_shared<TTransfers>();
    Owner = TOwner();
    Lines.ModemStatus = row.Lines;
    Lines.HoldFlags = row.Hold;
    TProbeDispatcher* d = Start(transfers);
    d->WriteOutput(queued.data(), 10000);
    d->WriteOutput(queued.data() + 10000, 20000);

    Peer.Send("event while held\r\n");
    ASSERT_TRUE(Owner.Until([&] {
      Owner.Drain(d);
      return Owner.Input.size() >= 18;
    }));
    EXPECT_EQ(Owner.Input, "event while held\r\n");
    EXPECT_EQ(Peer.Drain(50), "");
    EXPECT_TRUE(transfers->TakenSoFar().empty());

    Lines.HoldFlags = 0;
    Lines.ModemStatus = 0xF0;
    std::string sent;
    ASSERT_TRUE(Owner.Until([&] {
      sent += Peer.Drain(5);
      return sent.size() >= queued.size();
    }));
    EXPECT_TRUE(sent == queued) << "seed " << seed << ", " << sent.size() << " bytes";
    const std::vector<int32_t> taken = transfers->TakenSoFar();
    EXPECT_EQ(Sum(taken), int64_t(queued.size()));
    EXPECT_GE(taken.size(), 4u);
    EXPECT_LE(*std::max_element(taken.begin(), taken.end()), 8192);
    d->Terminate();
    ASSERT_TRUE(Owner.UntilClosed());
    EXPECT_EQ(Owner.Events, NormalSession);
  }
}

// A write that cannot finish (the device stops reading, or drops its lines in the middle of
// a write) must not keep the worker from ending.
TEST_F(ComPortDispatcherOnPty, StopRequestEndsAWriteThatCannotFinish) {
  struct Row {
    const char* Name;
    bool Abort;
    bool DropLines;
  };
  const Row rows[] = {
      {"terminate, device not reading", false, false},
      {"terminate, lines dropped mid-write", false, true},
      {"abort, lines dropped mid-write", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    Owner = TOwner();
    Lines.ModemStatus = 0xF0;
    auto transfers = std::make_shared<TTransfers>();
    TProbeDispatcher* d = Start(transfers);
    const std::string flood = Pattern(200000, 3);
    d->WriteOutput(flood.data(), int32_t(flood.size()));
    // The terminal holds far less than this, so a write soon stays in progress.
    ASSERT_TRUE(Owner.Until([&] { return transfers->TakenSoFar().size() >= 2; }));
    if (row.DropLines) Lines.ModemStatus = 0;
    Owner.For(50);
    if (row.Abort)
      d->Abort();
    else
      d->Terminate();
    ASSERT_TRUE(Owner.UntilClosed(3000));
    EXPECT_EQ(Owner.Events, NormalSession);
    Peer.Drain(20);
  }
}

TEST_F(ComPortDispatcherOnPty, StopWhileSendingIsHeldEndsNormally) {
  Lines.ModemStatus = 0;
  TProbeDispatcher* d = Start();
  d->WriteOutput("bye\r\n", 5);
  Owner.For(30);
  d->Terminate();
  ASSERT_TRUE(Owner.UntilClosed(3000));
  EXPECT_EQ(Owner.Events, NormalSession);
  EXPECT_EQ(Peer.Drain(20), "");
}

#ifdef TALLYBOX_SIM_PATH
namespace {

// The simulator on its serial debug route, its terminal linked in as COMn; stopped by its
// process id when the test ends.
class TSimulator {
 public:
  TSimulator(const std::string& Link, const std::string& Log) {
    const std::vector<std::string> args = {TALLYBOX_SIM_PATH, "--serial", "--link",   Link,
                                           "--log",           Log,        "--events", "0",
                                           "--text",          "0",        "--modem",  "0"};
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&FPid, TALLYBOX_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
      FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TSimulator() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    int status;
    waitpid(FPid, &status, 0);
  }
  bool Running() const { return FPid > 0; }

 private:
  pid_t FPid = -1;
};

bool Exists(const std::string& Path) {
  struct stat info;
  return lstat(Path.c_str(), &info) == 0;
}

std::string FileText(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ComPortDispatcher, Com3LinkedToTheSimulatorAnswersThePagePoll) {
  TTempConfig config;
  const std::string log = (config.Root() / "sim.log").string();
  TSimulator sim(config.LinkPath(ComNumber), log);
  ASSERT_TRUE(sim.Running());
  TOwner owner;
  ASSERT_TRUE(owner.Until([&] { return Exists(config.LinkPath(ComNumber)); }, 5000));

  auto* d = new TComPortDispatcher(ComNumber);
  owner.Wire(d);
  d->Resume();
  ASSERT_TRUE(owner.UntilOpened());
  const std::string poll = "i900?\r\n";
  d->WriteOutput(poll.data(), int32_t(poll.size()));
  const std::string promptEnd = ">\x1b[0m";
  ASSERT_TRUE(owner.Until([&] {
    owner.Drain(d);
    return owner.Input.find(promptEnd) != std::string::npos;
  }));
  EXPECT_NE(owner.Input.find("i900=1.00\r\n"), std::string::npos) << owner.Input;
  EXPECT_NE(owner.Input.find("\x1b[34;1m<Tallybox"), std::string::npos) << owner.Input;
  EXPECT_LT(owner.Input.find("i900=1.00"), owner.Input.find("\x1b[34;1m<Tallybox"));
  EXPECT_TRUE(owner.Until([&] { return FileText(log).find("i900?") != std::string::npos; }));

  d->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, NormalSession);
}
#endif
