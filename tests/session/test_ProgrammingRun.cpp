// What a device we did not write may do where a reply should be, and one programming run
// against every way of echoing and answering: each outcome must be what the device did.
#include "session/uProgrammingRun.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "session/LinkStandIn.h"

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

// Where the reply should be, the banner the device showed at the login, or on a port that
// echoed before a prompt with no echo: the request ends with the restart said, the text shown.
TEST(ProgrammingRun, ARestartWhereTheReplyShouldBeIsSaid) {
  for (const bool serial : {false, true}) {
    SCOPED_TRACE(serial ? "debug port that echoed" : "TCP");
    TRig rig(serial);
    bool done = false;
    ASSERT_TRUE(rig.Dialogue.SendCommand("r?", 2000, [&] { done = true; }));
    rig.Tick((serial ? "\x1b[2J" : "") + Banner + "Self test ok\r\n" + Prompt);
    rig.Wait([&] { return done; }, 200);
    ASSERT_TRUE(done);
    EXPECT_EQ(rig.Dialogue.LastRequestError(), "The device restarted while answering \"r?\"");
    EXPECT_EQ(rig.Failed, rig.Dialogue.LastRequestError());
    EXPECT_NE(rig.Terminal.find("Self test ok"), std::string::npos) << "shown, not lost";
  }
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
  const std::string held = "r1=1\r\nr2=2\r\nr3=99\r\nr4=4\r\n";
  struct TCase {
    const char* Name;
    bool Serial, Echo;
    std::string Arriving, ReadBack;
    TKind Kind;
    std::string Unanswered;
  } cases[] = {
      {"TCP", false, false, answers(4), held + Prompt, TKind::Done, ""},
      {"debug port echoing the whole burst first", true, true, echo(0, 4) + answers(4),
       "r?\r\n" + held + Prompt, TKind::Done, ""},
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
