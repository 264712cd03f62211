#include "session/uDialogue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dispatch/uTerminalDispatcher.h"
#include "session/LinkStandIn.h"

using namespace std::string_literals;

namespace {

const std::string Esc = "\x1b";
const std::string PromptStart = Esc + "[34;1m<Tallybox";
const std::string Prompt = PromptStart + ">" + Esc + "[0m";
const std::string EventLine = "\0\t"s + Esc + "[31mpower on" + Esc + "[0m\r\n";

// Plays the main window: records what reaches the views and the host calls, in order.
struct TRig {
  uint32_t Now = 1000;
  std::vector<std::string> Calls;
  std::string Terminal, Events, Modem;
  int TerminalCalls = 0;
  std::function<void()> OnLoggedIn, OnAskPassword;
  TParameterList Params;
  TLink Link;
  TDialogue Dialogue{Params, Host(), [this] { return Now; }};

  TDialogueHost Host() {
    TDialogueHost host;
    host.TerminalWrite = [this](const std::string& T) {
      Terminal += T;
      ++TerminalCalls;
    };
    host.AddEvents = [this](const std::string& T) { Events += T; };
    host.AddModemTrace = [this](const std::string& T) { Modem += T; };
    host.AskPassword = [this] {
      Calls.push_back("password");
      if (OnAskPassword) OnAskPassword();
    };
    host.CloseSoon = [this] { Calls.push_back("close soon"); };
    host.Dropped = [this](int32_t Segment, int64_t Bytes) {
      Calls.push_back("dropped " + std::to_string(Segment) + " " + std::to_string(Bytes));
    };
    host.RequestFailed = [this](const std::string& Why) { Calls.push_back("failed: " + Why); };
    host.LoggedIn = [this] {
      Calls.push_back("logged in " + Params.GetValue("i900"));
      if (OnLoggedIn) OnLoggedIn();
    };
    return host;
  }
  // One tick with these bytes arriving just before it.
  bool Tick(const std::string& Arriving = "") {
    if (!Arriving.empty()) Link.Receive(Arriving);
    return Dialogue.Tick();
  }
  // A TCP login up to ssIdle, the version and the poll answered.
  void LogIn() {
    Dialogue.Reset(&Link);
    Dialogue.Opened(false);
    Tick("PASSWORD\r\n");
    Dialogue.SendPassword("p");
    Tick("Welcome\r\n" + Prompt);
    Tick("i900=1.00\r\n" + Prompt);
    Tick("i900=1.00\r\n" + Prompt);
    Link.Sent();
    Calls.clear();
  }
  // A completion that records the reply it was handed.
  TCompletion Record(const std::string& Name) {
    return [this, Name] {
      std::string reply;
      while (!Dialogue.Splitter().IsEmpty()) reply += Dialogue.Splitter().NextLine() + ";";
      Calls.push_back(Name + ":" + reply);
    };
  }
};

}  // namespace

// Each case sends "r?" and ticks every 500 ms with the bytes listed; the request times out at
// 2000 ms, on the fifth tick.
TEST(Dialogue, ReplyIsFramedAtThePromptOrItsTimeout) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Ticks;  // bytes arriving before each tick
    size_t CompletesAt;              // tick index at which the completion runs
    std::string Reply;
    std::string TerminalAfter;  // shown on the tick after the completion
  };
  const std::string none;
  const TCase cases[] = {
      {"text after the prompt stays for the terminal",
       {"a=1\r\n" + Prompt + "\x1b[32mfree text"},
       0,
       "a=1;",
       "\x1b[32mfree text"},
      {"event line inside the reply goes to the events",
       {"a=1\r\n" + EventLine + "b=2\r\n" + Prompt},
       0,
       "a=1;b=2;",
       ""},
      {"time-out, nothing of the prompt",
       {"a=1\r\npart", none, none, none, none},
       4,
       "a=1;part;",
       ""},
      {"time-out, a trailing partial prompt start stays",
       {"a=1\r\n" + PromptStart.substr(0, 6), none, none, none, none},
       4,
       "a=1;",
       PromptStart.substr(0, 6)},
      {"time-out, the prompt start without its end stays",
       {"a=1\r\n" + PromptStart + ">", none, none, none, none},
       4,
       "a=1;",
       PromptStart + ">"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRig rig;
    rig.LogIn();
    ASSERT_TRUE(rig.Dialogue.SendCommand("r?", 2000, rig.Record("r?")));
    EXPECT_EQ(rig.Link.Sent(), "r?\r\n");
    for (size_t i = 0; i < c.Ticks.size(); ++i, rig.Now += 500) {
      rig.Tick(c.Ticks[i]);
      EXPECT_EQ(rig.Calls.size(), i >= c.CompletesAt ? 1u : 0u) << "tick " << i;
    }
    ASSERT_EQ(rig.Calls.size(), 1u);
    EXPECT_EQ(rig.Calls[0], "r?:" + c.Reply);
    EXPECT_EQ(rig.Dialogue.LastRequestTimedOut(), std::string(c.Name).starts_with("time-out"));
    EXPECT_EQ(rig.Dialogue.State(), ssIdle);
    EXPECT_FALSE(rig.Dialogue.Busy());
    rig.Tick();
    EXPECT_EQ(rig.Terminal, c.TerminalAfter);
  }
}

TEST(Dialogue, DeadlinesWrapAroundTheTickCounter) {
  TRig rig;
  rig.Dialogue.Reset(&rig.Link);
  rig.Dialogue.Opened(false);
  rig.Now = 0xFFFFFFFFu - 2000u + 1u;  // 2^32 - 2000: the sum wraps to exactly 0
  rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
  EXPECT_EQ(rig.Dialogue.ResponseDeadline(), 1u);
  rig.Now = 0;
  rig.Tick();
  EXPECT_TRUE(rig.Calls.empty());
  rig.Now = 1;
  rig.Tick();
  EXPECT_EQ(rig.Calls.size(), 1u);

  rig.Dialogue.SendCommand("i?", 0, rig.Record("no deadline"));
  EXPECT_EQ(rig.Dialogue.ResponseDeadline(), 0u);
  rig.Now += 0x20000000u;
  rig.Tick();
  EXPECT_EQ(rig.Calls.size(), 1u);

  struct TCase {
    uint32_t Deadline, Now;
    bool Passed;
  };
  const TCase cases[] = {
      {1, 0, false},
      {1, 1, true},
      {1, 0x3FFFFFFFu, true},
      {1, 0x40000000u, false},
      {0xFFFFFF00u, 5, true},
      {5, 0xFFFFFF00u, false},
      // The mask drops the top bit: 2^31 either way reads as just reached.
      {0x80000000u, 0, true},
      {0, 0x80000001u, true},
  };
  for (const auto& c : cases) {
    rig.Now = c.Now;
    EXPECT_EQ(rig.Dialogue.DeadlinePassed(c.Deadline), c.Passed)
        << std::hex << c.Deadline << " at " << c.Now;
  }
}

TEST(Dialogue, LoginAsksForThePasswordThenSendsTheVersionRequestTwice) {
  TRig rig;
  rig.Dialogue.Reset(&rig.Link);
  rig.Now = 0x20000000;  // the idle deadline lies long past
  EXPECT_TRUE(rig.Tick());
  EXPECT_EQ(rig.Link.Sent(), "");  // nothing before the connection has opened
  rig.Dialogue.Opened(false);
  EXPECT_EQ(rig.Dialogue.State(), ssLogin);
  // The request and the prompt in one tick: the password page and the version request both.
  rig.Tick("noise PASSWORD\r\n" + EventLine + "Hello" + Prompt);
  EXPECT_EQ(rig.Calls, (std::vector<std::string>{"password", "close soon"}));
  EXPECT_EQ(rig.Link.Sent(), "i900?\r\n");
  EXPECT_EQ(rig.Dialogue.State(), ssCommand);
  EXPECT_EQ(rig.Terminal, "");  // the login text never reaches the terminal

  rig.Params.AddLine("kept=1");
  rig.Tick("i900=1.10\r\nname=box\r\n" + Prompt);
  EXPECT_EQ(rig.Calls.back(), "logged in 1.10");
  EXPECT_EQ(rig.Params.GetValue("name"), "box");
  EXPECT_EQ(rig.Params.GetValue("kept"), "1");  // not cleared first
  EXPECT_EQ(rig.Link.Sent(), "i900?\r\n");      // the second one, at once
  EXPECT_TRUE(rig.Dialogue.Busy());

  rig.Tick("i900=9.99\r\n" + Prompt);  // consumed without effect
  EXPECT_EQ(rig.Params.GetValue("i900"), "1.10");
  EXPECT_EQ(rig.Calls.size(), 3u);
  EXPECT_FALSE(rig.Dialogue.Busy());
  rig.Tick();
  EXPECT_EQ(rig.Events, EventLine);  // waited in the fork until the dialogue was idle

  TRig serial;
  serial.Dialogue.Reset(&serial.Link);
  serial.Dialogue.Opened(true);
  serial.Tick();
  EXPECT_EQ(serial.Link.Sent(), "");  // the port may still have something to say
  serial.Now += TDialogue::OpeningQuiet;
  serial.Tick();
  EXPECT_EQ(serial.Link.Sent(), "i900?\r\n");
  EXPECT_EQ(serial.Dialogue.State(), ssCommand);
}

TEST(Dialogue, PasswordWithALineBreakIsRefusedAndNothingSent) {
  struct TCase {
    std::string Password;
    bool Sent;
  };
  const TCase cases[] = {{"sesame", true}, {"a\rb", false}, {"a\nb", false}, {"\r\n", false}};
  for (const auto& c : cases) {
    TRig rig;
    rig.Dialogue.Reset(&rig.Link);
    EXPECT_EQ(rig.Dialogue.SendPassword(c.Password), c.Sent);
    EXPECT_EQ(TDialogue::PasswordRefusal(c.Password).empty(), c.Sent);
    EXPECT_EQ(rig.Link.Sent(), c.Sent ? c.Password + "\r\n" : "");
  }
}

// Text the device sent after a prompt, still waiting when the next request goes out from the
// completion, is shown in the terminal first and is no part of that request's reply, whether
// the reply is used, dropped (the idle poll, "bye") or cut short by the time-out.
TEST(Dialogue, TextWaitingWhenARequestGoesOutReachesTheTerminalNotTheReply) {
  const std::string text = "\x1b[36mstatus\x1b[0m ok\r\n";
  struct TCase {
    const char* Name;
    std::function<void(TRig&)> Run;
    std::vector<std::string> Calls;
    std::string Terminal;
  };
  const TCase cases[] = {
      {"the idle poll right after the version",
       [&](TRig& rig) {
         rig.Dialogue.Reset(&rig.Link);
         rig.Dialogue.Opened(false);
         rig.Tick("PASSWORD\r\n");
         rig.Tick("Welcome\r\n" + Prompt + " ");
         rig.Tick("i900=1.00\r\n" + Prompt + text);
         rig.Tick("i900=1.00\r\n" + Prompt);
       },
       {"password", "close soon", "logged in 1.00"},
       text},
      {"the next step of a chain, then its time-out",
       [&](TRig& rig) {
         rig.LogIn();
         rig.Dialogue.SendCommand("r?", 2000, [&rig] {
           rig.Record("r?")();
           rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
         });
         rig.Tick("a=1\r\n" + Prompt + text);
         rig.Tick("i=2\r\n" + Prompt + text);
         rig.Dialogue.SendCommand("diag", 2000, rig.Record("diag"));
         rig.Tick("\x1b[K");
         rig.Now += 2000;
         rig.Tick();
       },
       {"r?:a=1;", "i?:i=2;", "diag:"},
       text + text + "\x1b[K"},
      {"bye behind a request",
       [&](TRig& rig) {
         rig.LogIn();
         rig.Dialogue.SendCommand("r?", 2000, rig.Record("r?"));
         rig.Dialogue.Disconnect(true);
         rig.Tick("a=1\r\n" + Prompt + text);
         rig.Tick("Goodbye\r\n" + Prompt);
         EXPECT_TRUE(rig.Link.Terminated());
       },
       {"r?:a=1;"},
       text},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRig rig;
    c.Run(rig);
    EXPECT_EQ(rig.Calls, c.Calls);
    EXPECT_EQ(rig.Terminal, c.Terminal);
  }
}

TEST(Dialogue, IdlePollAndTheUserRequestsAroundIt) {
  TRig rig;
  rig.LogIn();
  const uint32_t last = rig.Now;
  rig.Now = last + 29999;
  rig.Tick();
  EXPECT_EQ(rig.Link.Sent(), "");
  rig.Now = last + 30000;
  rig.Tick();
  EXPECT_EQ(rig.Link.Sent(), "i900?\r\n");

  // A user request during the poll waits for it; a second one is dropped.
  EXPECT_TRUE(rig.Dialogue.SendCommand("r?", 2000, rig.Record("r?")));
  EXPECT_FALSE(rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?")));
  EXPECT_EQ(rig.Link.Sent(), "");
  rig.Tick("i900=1.00\r\n" + Prompt);
  EXPECT_EQ(rig.Link.Sent(), "r?\r\n");
  EXPECT_TRUE(rig.Calls.empty());
  rig.Tick("reg=5\r\n" + Prompt);
  EXPECT_EQ(rig.Calls, (std::vector<std::string>{"r?:reg=5;"}));

  // A poll that times out still lets the waiting request go.
  rig.Now += 30000;
  rig.Tick();
  EXPECT_EQ(rig.Link.Sent(), "i900?\r\n");
  EXPECT_TRUE(rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?")));
  rig.Now += 2000;
  rig.Tick();
  EXPECT_EQ(rig.Link.Sent(), "i?\r\n");

  // While a user request is outstanding another one is dropped.
  EXPECT_FALSE(rig.Dialogue.SendCommand("diag", 2000, rig.Record("diag")));
  rig.Tick("x=1\r\n" + Prompt);
  EXPECT_EQ(rig.Link.Sent(), "");
  EXPECT_EQ(rig.Calls.back(), "i?:x=1;");
}

TEST(Dialogue, LineWithoutItsEndNoLongerSwallowsThePrompt) {
  TRig rig;
  rig.LogIn();
  rig.Tick("\0\t"s + Esc + "[31mreset mid-li");  // the device restarted inside an event line
  rig.Now += 1500;
  rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
  rig.Now += 600;  // the line has waited 2100 ms, the request 600 ms
  rig.Tick("x=1\r\n" + Prompt + "after");
  EXPECT_EQ(rig.Calls, (std::vector<std::string>{"i?:x=1;"}));
  rig.Tick();
  EXPECT_EQ(rig.Terminal, "after");
  EXPECT_EQ(rig.Events, "\0\t"s + Esc + "[31mreset mid-li");
}

TEST(Dialogue, ClosingShowsWhatTheDeviceSentLast) {
  TRig rig;
  rig.LogIn();
  rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
  rig.Link.Receive("x=1\r\n" + EventLine + "going down\r\n\0"s);
  rig.Dialogue.Closed();
  EXPECT_EQ(rig.Terminal, "x=1\r\ngoing down\r\n\0"s);  // the held NUL too
  EXPECT_EQ(rig.Events, EventLine);
  EXPECT_EQ(rig.Dialogue.Dispatcher(), nullptr);
  EXPECT_FALSE(rig.Dialogue.Busy());
  EXPECT_EQ(rig.Dialogue.State(), ssCommand);  // kept until the next connect
  EXPECT_TRUE(rig.Calls.empty());              // an unanswered request is never completed
  EXPECT_FALSE(rig.Tick());
  EXPECT_FALSE(rig.Dialogue.SendCommand("i?", 2000, rig.Record("late")));
}

// A modal box inside a callback runs a nested event loop, in which the closed notification
// can arrive; the tick must not touch the dispatcher after that.
TEST(Dialogue, ConnectionClosedInsideACallbackEndsTheTick) {
  {
    SCOPED_TRACE("inside the login completion");
    TRig rig;
    rig.OnLoggedIn = [&rig] { rig.Dialogue.Closed(); };
    rig.Dialogue.Reset(&rig.Link);
    rig.Dialogue.Opened(true);
    rig.Now += TDialogue::OpeningQuiet;
    rig.Tick();
    rig.Link.Sent();
    EXPECT_FALSE(rig.Tick("i900?\r\ni900=1.00\r\n" + Prompt));  // the debug port echoes
    EXPECT_EQ(rig.Link.Sent(), "");  // no idle poll to a dispatcher that has gone
    EXPECT_FALSE(rig.Dialogue.Busy());
  }
  {
    SCOPED_TRACE("inside the password request");
    TRig rig;
    rig.OnAskPassword = [&rig] { rig.Dialogue.Closed(); };
    rig.Dialogue.Reset(&rig.Link);
    rig.Dialogue.Opened(false);
    EXPECT_FALSE(rig.Tick("PASSWORD" + Prompt));
    EXPECT_EQ(rig.Link.Sent(), "");
    EXPECT_EQ(rig.Calls, (std::vector<std::string>{"password"}));
  }
  {
    SCOPED_TRACE("inside a completion that sends the next step");
    TRig rig;
    rig.LogIn();
    bool next = true;
    rig.Dialogue.SendCommand("r?", 2000, [&] {
      rig.Dialogue.Closed();
      next = rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
    });
    rig.Link.Sent();
    EXPECT_FALSE(rig.Tick("reg=1\r\n" + Prompt));
    EXPECT_FALSE(next);
    EXPECT_EQ(rig.Link.Sent(), "");
    EXPECT_FALSE(rig.Dialogue.Busy());
  }
}

TEST(Dialogue, DisconnectAlwaysEndsTheConnection) {
  {
    SCOPED_TRACE("serial, nothing outstanding: bye, then terminate");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.Disconnect(true);
    EXPECT_EQ(rig.Link.Sent(), "bye\r\n");
    EXPECT_FALSE(rig.Link.Terminated());
    rig.Now += 1000;
    rig.Tick();
    EXPECT_TRUE(rig.Link.Terminated());
  }
  {
    SCOPED_TRACE("serial, a request outstanding: the bye follows its reply");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.SendCommand("r?", 2000, [&rig] {
      rig.Calls.push_back("r? done");
      rig.Dialogue.SendCommand("i?", 2000, nullptr);  // the next step no longer goes
    });
    rig.Dialogue.Disconnect(true);
    EXPECT_FALSE(rig.Dialogue.SendCommand("diag", 2000, nullptr));
    EXPECT_EQ(rig.Link.Sent(), "r?\r\n");
    rig.Tick("reg=1\r\n" + Prompt);
    EXPECT_EQ(rig.Calls, (std::vector<std::string>{"r? done"}));
    EXPECT_EQ(rig.Link.Sent(), "bye\r\n");
    rig.Tick(Prompt);
    EXPECT_TRUE(rig.Link.Terminated());
  }
  {
    SCOPED_TRACE("serial, a request without a deadline: terminate at once");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.SendCommand("r?", 0, nullptr);
    rig.Dialogue.Disconnect(true);
    EXPECT_TRUE(rig.Link.Terminated());
  }
  {
    SCOPED_TRACE("TCP: terminate at once, no idle poll for two minutes");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.Disconnect(false);
    EXPECT_TRUE(rig.Link.Terminated());
    EXPECT_EQ(rig.Dialogue.IdleDeadline(), rig.Now + 120000);
    EXPECT_EQ(rig.Link.Sent(), "");
  }
}

// A programming run writes all lines but the last straight to the device, which answers each
// with a prompt: the request made with the last line completes at its own prompt, whether it
// goes out at once or waits for the idle poll.
TEST(Dialogue, ProgrammingRequestCompletesAtItsOwnPrompt) {
  for (const bool afterPoll : {false, true}) {
    SCOPED_TRACE(afterPoll ? "behind the idle poll" : "at once");
    TRig rig;
    rig.LogIn();
    std::string arriving;
    if (afterPoll) {
      rig.Dialogue.SendIdlePoll();
      arriving = "i900=1.00\r\n" + Prompt;
    }
    rig.Dialogue.WriteAnswered("r100=1\r\n");
    rig.Dialogue.WriteAnswered("r101=2\r\n");
    EXPECT_TRUE(rig.Dialogue.SendCommand("r102=3", 10000, rig.Record("programmed")));
    rig.Tick(arriving + "r100 set\r\n" + Prompt + "r101 set\r\n" + Prompt);
    EXPECT_TRUE(rig.Dialogue.Busy());
    rig.Tick("r102 set\r\n" + Prompt);
    EXPECT_EQ(rig.Calls, (std::vector<std::string>{"programmed:r102 set;"}));
    EXPECT_NE(rig.Terminal.find("r101 set"), std::string::npos);
    EXPECT_NE(rig.Link.Sent().find("r100=1\r\nr101=2\r\n"), std::string::npos);
  }
  // Lines whose prompts come back while nothing is asked: passed over all the same.
  TRig rig;
  rig.LogIn();
  rig.Dialogue.WriteAnswered("r100=1\r\n");
  rig.Tick("r100 set\r\n" + Prompt.substr(0, 9));
  rig.Tick(Prompt.substr(9));
  EXPECT_EQ(rig.Terminal, "r100 set\r\n");
  rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
  rig.Tick("x=1\r\n" + Prompt);
  EXPECT_EQ(rig.Calls, (std::vector<std::string>{"i?:x=1;"}));
}

// Bytes arrive faster than one tick's budget may read: tick until the backlog is gone.
void TickThrough(TRig& Rig, const std::string& Arriving) {
  Rig.Tick(Arriving);
  while (Rig.Dialogue.Behind()) Rig.Tick();
}

std::string EventLines(size_t Bytes) {
  std::string text;
  for (int n = 0; text.size() < Bytes; ++n)
    text += "\0\t"s + Esc + "[31mevent " + std::to_string(n) + Esc + "[0m\r\n";
  return text;
}

TEST(Dialogue, FloodsStayWithinTheCapsAndNothingGoesUnsaid) {
  const auto limit = static_cast<size_t>(TDialogue::SegmentLimit);
  {
    SCOPED_TRACE("each tick hands the view everything it read, in one call");
    TRig rig;
    rig.LogIn();
    const std::string text(300000, 't');
    rig.TerminalCalls = 0;
    int ticks = 1;
    for (rig.Tick(text); rig.Dialogue.Behind(); ++ticks) rig.Tick();
    EXPECT_EQ(rig.Terminal, text);
    EXPECT_EQ(rig.TerminalCalls, ticks);
    EXPECT_LT(ticks, 300000 / TDialogue::ReadSize);  // far more than one read's worth a tick
  }
  {
    SCOPED_TRACE("events held back by a command keep their last 8 MiB");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.SendCommand("r?", 0, rig.Record("r?"));
    const std::string events = EventLines(limit + 200000);
    TickThrough(rig, events);
    EXPECT_EQ(rig.Dialogue.Fork().Segments(rig.Dialogue.FSegEvents)->Stream->Size(),
              TDialogue::SegmentLimit);
    rig.Tick("a=1\r\n" + Prompt);
    rig.Tick();
    const size_t dropped = events.size() - limit;
    EXPECT_EQ(rig.Calls,
              (std::vector<std::string>{"r?:a=1;", "dropped 1 " + std::to_string(dropped)}));
    EXPECT_TRUE(rig.Events == events.substr(dropped));
  }
  {
    SCOPED_TRACE("a reply longer than the cap ends its request, uncut until then");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.SendCommand("r?", 0, rig.Record("r?"));
    std::string reply;
    while (reply.size() <= limit) reply += "r1=" + std::to_string(reply.size()) + "\r\n";
    TickThrough(rig, reply);
    rig.Tick("tail");
    const std::string why = "The reply to \"r?\" was longer than 8 MiB: the request was ended";
    ASSERT_EQ(rig.Calls.size(), 3u);
    EXPECT_EQ(rig.Calls[0], "failed: " + why);
    EXPECT_EQ(rig.Calls[1], "r?:");  // the completion runs, as after a time-out
    EXPECT_EQ(rig.Calls[2].rfind("dropped 0 ", 0), 0u);
    const size_t dropped = std::stoul(rig.Calls[2].substr(10));
    EXPECT_GT(dropped, limit);
    EXPECT_TRUE(rig.Terminal == reply.substr(dropped) + "tail");  // the rest came after
    EXPECT_EQ(rig.Dialogue.LastRequestError(), why);
    EXPECT_TRUE(rig.Dialogue.LastRequestTimedOut());
    rig.Dialogue.SendCommand("i?", 2000, rig.Record("i?"));
    rig.Tick("x=1\r\n" + Prompt);
    EXPECT_EQ(rig.Calls.back(), "i?:x=1;");
    EXPECT_EQ(rig.Dialogue.LastRequestError(), "");
  }
  {
    SCOPED_TRACE("closing shows each view's last words and says what went before them");
    TRig rig;
    rig.LogIn();
    rig.Dialogue.SendCommand("r?", 0, rig.Record("r?"));
    const std::string events = EventLines(300000);
    rig.Tick(events);
    rig.Link.Receive(std::string(100000, 'x'));
    rig.Dialogue.Closed();
    const size_t lastWords = static_cast<size_t>(TDialogue::LastWordsLimit);
    EXPECT_EQ(rig.Calls,
              (std::vector<std::string>{"dropped 0 " + std::to_string(100000 - lastWords),
                                        "dropped 1 " + std::to_string(events.size() - lastWords)}));
    EXPECT_EQ(rig.Terminal, std::string(lastWords, 'x'));
    EXPECT_TRUE(rig.Events == events.substr(events.size() - lastWords));
    for (int32_t i = 0; i < rig.Dialogue.Fork().SegmentCount(); ++i)
      EXPECT_EQ(rig.Dialogue.Fork().Segments(i)->Stream->Size(), 0);
  }
}
