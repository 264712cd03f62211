// The serial dispatcher through a terminal server whose far port has modem lines: output
// waits while the server reports CTS or DSR off or asks for a pause, and goes, in order and
// once, when they come back; the owner is told of a wait and of its end; DTR and RTS are
// raised at open and dropped at every end this side makes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "support/DispatcherOwner.h"
#include "support/Rfc2217Server.h"

namespace {

using S = TRfc2217Server;
constexpr uint8_t Both = S::Cts | S::Dsr;
const std::string CtsOff = "The device shows CTS off: nothing is sent until it is on.",
                  DsrOff = "The device shows DSR off: nothing is sent until it is on.",
                  BothOff = "The device shows CTS and DSR off: nothing is sent until they are on.",
                  Paused = "The line holds output back: nothing is sent until it lets go.",
                  GoesOn = "Sending goes on.";

struct TStep {
  enum { Write, SetLines, Suspend, Resume } Kind;
  uint8_t Lines = 0;
  std::string Bytes = {};
  std::string HeldNote = {};  // a write that must not reach the server yet, and what is said
  // Written as soon as the step comes, not once the wait has been told (the dispatcher has
  // seen the lines by then, however slow the run).
  bool AtOnce = false;
};

TStep Write(std::string Bytes) {
  return {TStep::Write, 0, std::move(Bytes)};
}
TStep Held(std::string Bytes, std::string Note, bool AtOnce = false) {
  return {TStep::Write, 0, std::move(Bytes), std::move(Note), AtOnce};
}
TStep Lines(uint8_t Value) {
  return {TStep::SetLines, Value};
}

// AbortMidWrite: the server stops reading, a write fills the connection, and the abort cuts it.
enum class TEnd { Terminate, Abort, EndWhenSent, AbortMidWrite, ServerCloses, ServerResets };

struct TLineCase {
  const char* Name;
  uint8_t AtOpen;
  std::vector<TStep> Steps;
  TEnd End;
  std::vector<std::string> Said = {};  // what the owner is told of the lines, in order
  int ReportAfterMs = 0;               // the server's first report of the lines comes this late
};

void PrintTo(const TLineCase& Case, std::ostream* Out) {
  *Out << Case.Name;
}

// How long a held write is watched for bytes that must not come.
constexpr int HeldWatchMs = 300;

// More than the sockets on both sides hold, with bytes to escape.
const std::string& Flood() {
  static const std::string flood = [] {
    std::string bytes;
    for (int i = 0; i < (8 << 20); ++i) bytes += "a\xff";
    return bytes;
  }();
  return flood;
}

class NetSerialLines : public ::testing::TestWithParam<TLineCase> {
 protected:
  // Runs the case's steps; returns what was written, in order.
  std::string RunSteps(TComPortDispatcher* D, S& Server) {
    std::string written;
    for (const TStep& step : GetParam().Steps) {
      if (step.Kind == TStep::Write) {
        const auto told = [&] { return Owner.Has("status:" + step.HeldNote); };
        if (!step.HeldNote.empty() && !step.AtOnce) EXPECT_TRUE(Owner.Until(told, 3000));
        const std::string before = Server.Data();
        D->WriteOutput(step.Bytes.data(), static_cast<int32_t>(step.Bytes.size()));
        written += step.Bytes;
        if (step.HeldNote.empty()) {
          EXPECT_TRUE(Owner.Until([&] { return Server.Data() == written; }))
              << "not sent: " << step.Bytes << "; the server has " << Server.Data();
          continue;
        }
        Owner.For(HeldWatchMs);
        EXPECT_EQ(Server.Data(), before) << "sent while held: " << step.Bytes;
        EXPECT_TRUE(Owner.Until(told, 3000));
        continue;
      }
      if (step.Kind == TStep::SetLines)
        Server.SetLines(step.Lines);
      else
        Server.Pause(step.Kind == TStep::Suspend);
    }
    return written;
  }

  void End(TComPortDispatcher* D, S& Server) {
    switch (GetParam().End) {
      case TEnd::Terminate:
        return D->Terminate();
      case TEnd::Abort:
        return D->Abort();
      case TEnd::EndWhenSent:
        return D->EndWhenSent();
      case TEnd::AbortMidWrite:
        Server.HoldReading(true);
        D->WriteOutput(Flood().data(), static_cast<int32_t>(Flood().size()));
        Owner.For(HeldWatchMs);
        return D->Abort();
      case TEnd::ServerCloses:
      case TEnd::ServerResets:
        return Server.Drop(GetParam().End == TEnd::ServerResets);
    }
  }

  // What the dispatcher said of the lines, in order.
  std::vector<std::string> Notes() const {
    std::vector<std::string> notes;
    for (const std::string& event : Owner.Events)
      for (const std::string& note : {CtsOff, DsrOff, BothOff, Paused, GoesOn})
        if (event == "status:" + note) notes.push_back(note);
    return notes;
  }

  TOwner Owner;
};

TEST_P(NetSerialLines, OutputFollowsTheLinesTheServerReports) {
  const TLineCase& c = GetParam();
  S server(c.AtOpen, c.ReportAfterMs);
  auto* d = new TComPortDispatcher(server.Url());
  Owner.Wire(d);
  // The server reads again as the line closes, in time to take its last word.
  d->OnStatus = [&, record = d->OnStatus](TTerminalDispatcher* Sender, const std::string& Text) {
    if (Text == "Closing") server.HoldReading(false);
    record(Sender, Text);
  };
  d->FreeOnTerminate = true;
  d->Resume();
  ASSERT_TRUE(Owner.UntilOpened()) << ::testing::PrintToString(Owner.Events);
  const std::string written = RunSteps(d, server);
  // Whatever waited has gone once the lines allow it: all of it, in order, once.
  EXPECT_TRUE(Owner.Until([&] { return server.Data() == written; }))
      << "the server has " << server.Data();
  Owner.Until([&] { return Notes().size() >= c.Said.size(); });
  EXPECT_EQ(Notes(), c.Said);

  End(d, server);
  ASSERT_TRUE(Owner.UntilClosed());
  if (c.End == TEnd::AbortMidWrite) {
    // What left before the cut arrives whole and unchanged, the last word after it.
    server.WaitFor([&] { return !server.Connected(); });
    const std::string data = server.Data();
    EXPECT_GT(data.size(), written.size());
    EXPECT_LT(data.size(), written.size() + Flood().size());
    EXPECT_TRUE(data.starts_with(written) &&
                Flood().compare(0, data.size() - written.size(), data, written.size()) == 0);
  }
  const std::vector<uint8_t> raised{S::RtsOn, S::DtrOn},
      dropped{S::RtsOn, S::DtrOn, S::DtrOff, S::RtsOff};
  if (c.End == TEnd::ServerCloses || c.End == TEnd::ServerResets) {
    EXPECT_EQ(server.Controls(), raised);
    EXPECT_TRUE(Owner.Has("status:Closed by remote end"));
  } else {
    EXPECT_TRUE(server.WaitFor([&] { return server.Controls().size() >= dropped.size(); }));
    EXPECT_EQ(server.Controls(), dropped);
  }
}

const TLineCase Cases[] = {
    {"LinesOn",
     Both,
     {Write("a\xff"
            "b")},
     TEnd::Terminate},
    {"CtsOffAtOpen",
     S::Dsr | S::Cd,
     {Held("held", CtsOff, true), Lines(Both | S::Cd)},
     TEnd::Abort,
     {CtsOff, GoesOn}},
    {"DsrOffAtOpen",
     S::Cts,
     {Held("held", DsrOff), Lines(Both)},
     TEnd::EndWhenSent,
     {DsrOff, GoesOn}},
    {"CtsOffReportedLate",
     S::Dsr,
     {Held("held", CtsOff, true), Lines(Both)},
     TEnd::Terminate,
     {CtsOff, GoesOn},
     150},
    {"CtsDropsAndComesBack",
     Both,
     {Write("one"), Lines(S::Dsr), Held("two", CtsOff), Held("three", CtsOff), Lines(Both)},
     TEnd::ServerCloses,
     {CtsOff, GoesOn}},
    {"BothDropThenReturn",
     Both,
     {Lines(S::Cts), Held("x", DsrOff), Lines(0), Held("y", BothOff), Lines(Both), Write("z")},
     TEnd::ServerResets,
     {DsrOff, BothOff, GoesOn}},
    {"PortWithoutLines", 0, {Write("goes")}, TEnd::Terminate},
    {"ServerStopsReading", Both, {Write("first")}, TEnd::AbortMidWrite},
    {"ServerPauses",
     Both,
     {{TStep::Suspend}, Held("held", Paused), {TStep::Resume}, Write("more")},
     TEnd::Abort,
     {Paused, GoesOn}},
};

INSTANTIATE_TEST_SUITE_P(Events, NetSerialLines, ::testing::ValuesIn(Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
