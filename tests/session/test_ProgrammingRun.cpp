// What a device we did not write may do where a reply should be, and one programming run
// against every way of echoing and answering: each outcome must be what the device did.
#include "session/uProgrammingRun.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "session/LinkStandIn.h"

using namespace std::string_literals;

namespace {

const std::string Prompt = "\x1b[34;1m<Tallybox 0001>\x1b[0m";
const std::string Banner = "\x1b[34;1mTallybox T2\x1b[0m unit 0001, firmware 3.2.7\r\n";

struct TRig {
  uint32_t Now = 1000;
  bool Serial = false;
  std::string Terminal, Events, Failed;
  TParameterList Params;
  TLink Link;
  TDialogue Dialogue{Params, Host(), [this] { return Now; }};

  TDialogueHost Host() {
    TDialogueHost host;
    host.TerminalWrite = [this](const std::string& T) { Terminal += T; };
    host.AddEvents = [this](const std::string& T) { Events += T; };
    host.RequestFailed = [this](const std::string& Why) { Failed = Why; };
    host.AskPassword = [this] { Dialogue.SendPassword("p"); };
    return host;
  }
  // Logged in and idle; on the debug port Echo says whether it echoed the version requests.
  explicit TRig(bool OnSerial, bool Echo = true) : Serial(OnSerial) {
    Dialogue.Reset(&Link);
    Dialogue.Opened(Serial);
    if (Serial) {
      Now += TDialogue::OpeningQuiet;
      Tick("");
    } else {
      Tick("PASSWORD\r\n");
      Tick(Banner + Prompt);
    }
    for (int i = 0; i < 2; ++i) Answer(Echo ? "i900?\r\n" : "", "i900=1.00\r\n" + Prompt);
    Link.Sent();
    Terminal.clear();
  }
  void Tick(const std::string& Arriving) {
    Link.Receive(Arriving);
    Dialogue.Tick();
  }
  void Answer(const std::string& Echo, const std::string& Reply) {
    Tick(Echo + Reply);
    Now += TDialogue::EchoGrace;
    Tick("");
  }
  // Ticks 100 ms apart until Done or Ms passed.
  void Wait(const std::function<bool()>& Done, uint32_t Ms) {
    for (uint32_t waited = 0; !Done() && waited <= Ms; waited += 100, Now += 100) Tick("");
  }
};

}  // namespace

// Each case sends "r?" to a logged-in device and feeds it what the device sent; the request
// must end at once (no time-out waited for) with the restart said, or with the reply.
TEST(ProgrammingRun, ARestartWhereTheReplyShouldBeIsSaidAtOnce) {
  const std::string event = "\0\t\x1b[31mDoor closed\x1b[0m"s;
  struct TCase {
    const char* Name;
    bool Serial;
    std::string Arriving;
    std::string Reply;  // empty: the restart is said
  } cases[] = {
      {"TCP: a new password request", false, "\r\n" + Banner + "PASSWORD\r\n", ""},
      {"TCP: the banner again before a prompt", false, Banner + "Self test ok\r\n" + Prompt, ""},
      {"debug port that echoed: no echo, banner and prompt", true, "\x1b[2J" + Banner + Prompt, ""},
      {"debug port: the echo, then the reply", true, "r?\r\nr1=5\r\n" + Prompt, "r1=5;"},
      {"event line ended by LF inside the reply", false, "r1=5\n" + event + "\nr2=6\n" + Prompt,
       "r1=5;r2=6;"},
      {"event line ended by CR inside the reply", false, "r1=5\r" + event + "\rr2=6\r" + Prompt,
       "r1=5;r2=6;"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRig rig(c.Serial);
    std::optional<std::string> reply;
    ASSERT_TRUE(rig.Dialogue.SendCommand("r?", 2000, [&] {
      reply = "";
      while (!rig.Dialogue.Splitter().IsEmpty()) *reply += rig.Dialogue.Splitter().NextLine() + ";";
    }));
    rig.Tick(c.Arriving);
    rig.Wait([&] { return reply.has_value(); }, 200);
    ASSERT_TRUE(reply.has_value());
    if (c.Reply.empty()) {
      EXPECT_EQ(rig.Dialogue.LastRequestError(), "The device restarted while answering \"r?\"");
      EXPECT_EQ(rig.Failed, rig.Dialogue.LastRequestError());
      EXPECT_NE(rig.Terminal.find("firmware 3.2.7"), std::string::npos) << "shown, not lost";
    } else {
      EXPECT_EQ(*reply, c.Reply);
      EXPECT_EQ(rig.Dialogue.LastRequestError(), "");
    }
  }
  TRig tcp(false);
  tcp.Tick("\0\t\x1b[31mDoor closed\x1b[0m\n"s + "\0\t\x1b[31mSupply\x1b[0m\r"s + "x");
  EXPECT_EQ(tcp.Events, "\0\t\x1b[31mDoor closed\x1b[0m\n\0\t\x1b[31mSupply\x1b[0m\r"s);
}

// The registers r1..r4 programmed on devices that answer each line in their own way; then the
// read-back. Every variant must end as the device did.
TEST(ProgrammingRun, OneRunGivesWhatTheDeviceDid) {
  using TKind = TProgrammingOutcome::TKind;
  const std::vector<std::string> lines = {"r1=1", "r2=2", "r3=99", "r4=4"};
  const auto echo = [&](size_t From, size_t To) {
    std::string text;
    for (size_t i = From; i < To; ++i) text += lines[i] + "\r\n";
    return text;
  };
  const auto answers = [&](size_t Count) {
    std::string text;
    for (size_t i = 0; i < Count; ++i) text += "ok\r\n" + Prompt;
    return text;
  };
  std::string interleaved;
  for (size_t i = 0; i < 4; ++i) interleaved += echo(i, i + 1) + answers(1);
  const std::string held = "r1=1\r\nr2=2\r\nr3=99\r\nr4=4\r\n";
  struct TCase {
    const char* Name;
    bool Serial, Echo;
    std::string Arriving, ReadBack;
    TKind Kind;
    std::string Unanswered;
  } cases[] = {
      {"TCP", false, false, answers(4), held + Prompt, TKind::Done, ""},
      {"debug port echoing each line", true, true, interleaved, "r?\r\n" + held + Prompt,
       TKind::Done, ""},
      {"debug port echoing the whole burst first", true, true, echo(0, 4) + answers(4),
       "r?\r\n" + held + Prompt, TKind::Done, ""},
      {"debug port without echo", true, false, answers(4), held + Prompt, TKind::Done, ""},
      {"a register that did not take", false, false, answers(4),
       "r1=1\r\nr2=2\r\nr3=3\r\nr4=4\r\n" + Prompt, TKind::Differs, ""},
      {"stops answering at r3", false, false, answers(2), "", TKind::Unconfirmed, "r3=99"},
      {"burst echo, stops answering at r3", true, true, echo(0, 4) + answers(2), "",
       TKind::Unconfirmed, "r3=99"},
      {"restarts instead of the read-back", false, false, answers(4), Banner + "PASSWORD\r\n",
       TKind::Failed, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRig rig(c.Serial, c.Echo);
    TParameterList list;
    for (const std::string& line : lines) list.AddLine(line);
    TProgrammingRun run(rig.Dialogue);
    std::optional<TProgrammingOutcome> outcome;
    ASSERT_TRUE(run.Start(PlanSubmit(list, {}), [&](const auto& O) { outcome = O; }));
    EXPECT_EQ(rig.Link.Sent(), echo(0, 4));
    rig.Tick(c.Arriving);
    rig.Wait([&] { return rig.Link.Sent() == "r?\r\n"; }, kProgrammingTimeoutMs);
    rig.Tick(c.ReadBack);
    rig.Wait([&] { return outcome.has_value(); }, TDialogue::CommandTimeout);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->Kind, c.Kind) << ProgrammingErrorText(*outcome);
    EXPECT_EQ(outcome->Unanswered, c.Unanswered);
    if (c.Kind == TKind::Differs) EXPECT_EQ(outcome->Differences.at(0).Name, "r3");
  }
}
