#include <termios.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "support/DispatcherOwner.h"
#include "support/ErrorText.h"
#include "support/PtyPeer.h"
#include "support/RunProgram.h"
#include "transport/uComms.h"

namespace {

constexpr int ComNumber = 3;

// Sizes of every append to the input queue and every take from the output queue, kept
// beyond the dispatcher, which frees itself.
struct TTransfers {
  std::mutex Lock;
  std::vector<int32_t> Appended, Taken;

  std::vector<int32_t> SoFar(const std::vector<int32_t>& Sizes) {
    std::lock_guard<std::mutex> guard(Lock);
    return Sizes;
  }
  std::vector<int32_t> AppendedSoFar() { return SoFar(Appended); }
  std::vector<int32_t> TakenSoFar() { return SoFar(Taken); }
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
};

// Total moves in passes of at most one transfer each, so it takes at least MinPasses.
void ExpectPasses(const std::vector<int32_t>& Sizes, size_t Total, size_t MinPasses) {
  EXPECT_EQ(std::accumulate(Sizes.begin(), Sizes.end(), int64_t(0)), int64_t(Total));
  EXPECT_GE(Sizes.size(), MinPasses);
  EXPECT_LE(*std::max_element(Sizes.begin(), Sizes.end()), 8192);
}

const std::vector<std::string> NormalSession = {"status:Opening COM3", "opened", "status:Closing",
                                                "closed"};

// The session's events without what was said of a wait for the lines, which a slow run may
// hold long enough to tell.
std::vector<std::string> WithoutWaitNotes(std::vector<std::string> Events) {
  std::erase_if(Events, [](const std::string& Event) {
    const std::string text = Event.substr(Event.find(':') + 1);
    return TOutputWait::TellsAWait(text) || text == TOutputWait::Sentence(TOutputWait::TWhy::None);
  });
  return Events;
}

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
  for (const int32_t bad : {0, -2})
    EXPECT_EQ(ErrorOf<ECommPort>([&] { delete new TComPortDispatcher(bad); }),
              "Invalid Port Number");
}

// A line that will not open is an error unless the user gave up, with the reason on the status
// line just before it; one that opens but fails set-up just closes again.
TEST(ComPortDispatcher, PortThatCannotServeClosesAgain) {
  const struct {
    std::string Target;
    bool Abort;
    std::vector<std::string> Events;
  } cases[] = {
      {"unplugged",
       false,
       {"status:Opening COM3", "status:{root}/unplugged is not there. Is the adapter plugged in?",
        "error:Could not open COM3", "status:Closing", "closed"}},
      {"unplugged", true, {"status:Opening COM3", "status:Closing", "closed"}},
      {"/dev/null", false, {"status:Opening COM3", "status:Closing", "closed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Target + (c.Abort ? ", aborted" : ""));
    TTempConfig config;
    config.Link(ComNumber, c.Target[0] == '/' ? c.Target : (config.Root() / c.Target).string());
    TOwner owner;
    auto* d = new TComPortDispatcher(ComNumber);
    owner.Wire(d);
    if (c.Abort) d->Abort();
    d->Resume();
    ASSERT_TRUE(owner.UntilClosed());
    std::vector<std::string> events = c.Events;
    for (std::string& e : events)
      if (const size_t at = e.find("{root}"); at != std::string::npos)
        e.replace(at, 6, config.Root().string());
    EXPECT_EQ(owner.Events, events);
  }
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
  EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
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
  ExpectPasses(transfers->AppendedSoFar(), block.size(), 5);
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
    ExpectPasses(transfers->TakenSoFar(), queued.size(), 4);
    d->Terminate();
    ASSERT_TRUE(Owner.UntilClosed());
    EXPECT_EQ(WithoutWaitNotes(Owner.Events), NormalSession);
  }
}

// Neither output held from the start nor a write that cannot finish (the device stops
// reading, or drops its lines in the middle of a write) may keep the worker from ending.
TEST_F(ComPortDispatcherOnPty, StopRequestEndsHeldOrUnfinishedWrites) {
  const struct {
    const char* Name;
    bool Abort, HeldFromStart, DropLines;
  } rows[] = {
      {"terminate, sending held", false, true, false},
      {"abort, sending held", true, true, false},
      {"terminate, device not reading", false, false, false},
      {"terminate, lines dropped mid-write", false, false, true},
      {"abort, lines dropped mid-write", true, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    Owner = TOwner();
    Lines.ModemStatus = row.HeldFromStart ? 0 : 0xF0;
    auto transfers = std::make_shared<TTransfers>();
    TProbeDispatcher* d = Start(transfers);
    const std::string flood = row.HeldFromStart ? "bye\r\n" : Pattern(200000, 3);
    d->WriteOutput(flood.data(), int32_t(flood.size()));
    // The terminal holds far less than the flood, so a write soon stays in progress.
    if (!row.HeldFromStart)
      ASSERT_TRUE(Owner.Until([&] { return transfers->TakenSoFar().size() >= 2; }));
    if (row.DropLines) Lines.ModemStatus = 0;
    Owner.For(50);
    if (row.Abort)
      d->Abort();
    else
      d->Terminate();
    ASSERT_TRUE(Owner.UntilClosed(3000));
    EXPECT_EQ(WithoutWaitNotes(Owner.Events), NormalSession);
    const std::string sent = Peer.Drain(20);
    if (row.HeldFromStart) EXPECT_EQ(sent, "");
  }
}

#ifdef TALLYBOX_SIM_PATH
namespace {

// The simulator on its serial debug route, its terminal linked in as COMn; stopped by its
// process id when the test ends.
struct TSimulator {
  TSimulator(const std::string& Link, const std::string& Log) {
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    Pid = StartProgram({TALLYBOX_SIM_PATH, "--serial", "--link", Link, "--log", Log, "--events",
                        "0", "--text", "0", "--modem", "0"},
                       {}, quiet);
    close(quiet);
  }
  ~TSimulator() {
    if (Pid <= 0) return;
    kill(Pid, SIGTERM);
    WaitProgram(Pid);
  }
  pid_t Pid;
};

}  // namespace

TEST(ComPortDispatcher, Com3LinkedToTheSimulatorAnswersThePagePoll) {
  TTempConfig config;
  const std::string log = (config.Root() / "sim.log").string();
  TSimulator sim(config.LinkPath(ComNumber), log);
  ASSERT_GT(sim.Pid, 0);
  TOwner owner;
  ASSERT_TRUE(
      owner.Until([&] { return std::filesystem::is_symlink(config.LinkPath(ComNumber)); }, 5000));

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
  EXPECT_TRUE(owner.Until([&] { return ReadFileBytes(log).find("i900?") != std::string::npos; }));

  d->Terminate();
  ASSERT_TRUE(owner.UntilClosed());
  EXPECT_EQ(owner.Events, NormalSession);
}
#endif
