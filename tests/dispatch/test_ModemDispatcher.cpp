#include "dispatch/uModemDispatcher.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dispatch/RasManager.h"
#include "sim/SimHarness.h"
#include "support/DispatcherOwner.h"
#include "support/TempFolder.h"
#include "transport/Ras.h"

namespace {

class TProbeModem : public TModemDispatcher {
 public:
  using TModemDispatcher::TModemDispatcher;
  ~TProbeModem() override { ++Destroyed; }
  const RASDIALPARAMSA& DialParams() const { return FDialParams; }
  static inline std::atomic<int> Destroyed{0};
};

using TEvents = std::vector<std::string>;

std::string ReadText(const std::string& Path) {
  std::ifstream in(Path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// The service's phone book and log live in one folder per test process; each test writes
// its own book.
class ModemDispatcher : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TTempFolder("rassim");
    setenv("TALLYBOX_RASSIM_BOOK", folder->Path("book.txt").c_str(), 1);
    setenv("TALLYBOX_RASSIM_LOG", folder->Path("log.txt").c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete folder;
    folder = nullptr;
  }
  void SetUp() override {
    WriteBook({});
    std::ofstream(folder->Path("log.txt"), std::ios::trunc);
    ASSERT_TRUE(RasLoadFrom(RASSIM_FULL));
  }
  void TearDown() override { RasUnload(); }

  static void WriteBook(const std::vector<std::string>& Lines) {
    std::ofstream book(folder->Path("book.txt"), std::ios::trunc);
    for (const std::string& line : Lines) book << line << '\n';
  }
  static std::string Log() { return ReadText(folder->Path("log.txt")); }

  // Runs a dispatcher for Entry to its end; Steer may act on the way (abort, log in...).
  TEvents Run(const std::string& Entry,
              const std::function<void(TOwner&, TModemDispatcher*)>& Steer = nullptr) {
    const int destroyedBefore = TProbeModem::Destroyed;
    auto* d = new TProbeModem(Entry, "", "", "");
    Owner.Wire(d);
    d->OnClosed = [this, inner = d->OnClosed](TTerminalDispatcher* S) {
      LogAtClose = Log();
      inner(S);
    };
    if (BeforeResume) BeforeResume(d);
    d->Resume();
    if (Steer) Steer(Owner, d);
    EXPECT_TRUE(Owner.UntilClosed());
    EXPECT_TRUE(Owner.Until([&] { return TProbeModem::Destroyed == destroyedBefore + 1; }));
    EXPECT_EQ(ActiveModemDispatcher.load(), nullptr);
    return Owner.Events;
  }

  static inline TTempFolder* folder = nullptr;
  TOwner Owner;
  std::string LogAtClose;
  // Changes to the notifications, made before the worker starts.
  std::function<void(TModemDispatcher*)> BeforeResume;
};

// Waits for the device's prompt to end, with everything before it in Owner.Input.
bool UntilPrompt(TOwner& Owner, TTerminalDispatcher* D) {
  return Owner.Until([&] {
    Owner.Drain(D);
    return Owner.Input.find(">\x1b[0m") != std::string::npos;
  });
}

void Send(TTerminalDispatcher* D, const std::string& Line) {
  D->WriteOutput(Line.data(), int32_t(Line.size()));
}

const TEvents DialStates = {"status:Dialling 0100 6024", "status:Opening port",
                            "status:Port opened", "status:Connecting device"};

TEvents Join(TEvents A, const TEvents& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

}  // namespace

TEST(RasStateText, EveryStateOfTheServiceHasItsTextAndAnyOtherNumberIsUnknown) {
  const std::vector<std::pair<int32_t, std::string>> table = {
      {0, "Opening port"},
      {1, "Port opened"},
      {2, "Connecting device"},
      {3, "Device connected"},
      {4, "All devices connected"},
      {5, "Start authenticating"},
      {6, "Authentication: notify"},
      {7, "Authentication: retry"},
      {8, "Authentication: callback"},
      {9, "Authentication: change password"},
      {10, "Authentication: projecting"},
      {11, "Authentication: link speed"},
      {12, "Authentication: acknowledge"},
      {13, "Authentication: reauthenticate"},
      {14, "Authenticated"},
      {15, "Preparing for callback"},
      {16, "Waiting for modem reset"},
      {17, "Waiting for callback"},
      {18, "Projected"},
      {19, "Start authentication"},
      {20, "Callback complete"},
      {21, "Logging on network"},
      {4096, "Interactive"},
      {4097, "Retry Authentication"},
      {4098, "Callback set by caller"},
      {4099, "Password expired"},
      {8192, "Connected"},
      {8193, "Disconnected"},
  };
  for (const auto& [state, text] : table) EXPECT_EQ(RasStateText(state), text) << state;
  for (int32_t state : {22, 23, 4095, 4100, 8191, 8194, -1, INT32_MIN, INT32_MAX})
    EXPECT_EQ(RasStateText(state), "Unknown state") << state;
}

TEST_F(ModemDispatcher, ErrorTextsAreTheServicesOrAReadableStandIn) {
  EXPECT_EQ(TModemDispatcher::RasErrorText(0), "");
  EXPECT_EQ(TModemDispatcher::RasErrorText(676), "The line is busy.");
  EXPECT_EQ(TModemDispatcher::RasErrorText(12345), "Dial-up error 12345");
  EXPECT_EQ(TModemDispatcher::RasErrorText(RasUnavailable), "The dial-up service is not available");
  RasUnload();
  EXPECT_EQ(TModemDispatcher::RasErrorText(676), "Dial-up error 676");
}

// The entry is found whatever the case of A to Z, an exact spelling wins, "*" or an empty
// field keeps what the phone book stores, and over-long texts are cut to their fields.
TEST_F(ModemDispatcher, ConstructorLoadsTheEntryAndAppliesTheOverrides) {
  WriteBook({"Office|0100 1|alice|pw1|127.0.0.1|", "OFFICE|0100 2|bob|pw2|127.0.0.1|",
             "Depot|0100 3|carol|pw3|127.0.0.1|", "\xC4rger|0100 4|dora|pw4|127.0.0.1|"});
  struct TRow {
    std::string Entry, Phone, User, Password;
    std::string WantEntry, WantPhone, WantUser, WantPassword;
  };
  const std::vector<TRow> rows = {
      {"office", "", "", "", "Office", "0100 1", "alice", "pw1"},
      {"OFFICE", "", "", "", "OFFICE", "0100 2", "bob", "pw2"},
      {"dEPOT", "*", "dave", "", "Depot", "0100 3", "dave", "pw3"},
      {"Depot", "0999", "*", "new", "Depot", "0999", "carol", "new"},
      {"Depo", "", "", "", "", "", "", ""},
      {"\xE4RGER", "", "", "", "", "", "", ""},  // only A to Z fold
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Entry);
    TProbeModem d(row.Entry, row.Phone, row.User, row.Password);
    const RASDIALPARAMSA& p = d.DialParams();
    EXPECT_EQ(p.dwSize, row.WantEntry.empty() ? 0u : 1060u);
    EXPECT_EQ(std::string(p.szEntryName), row.WantEntry);
    EXPECT_EQ(std::string(p.szPhoneNumber), row.WantPhone);
    EXPECT_EQ(std::string(p.szUserName), row.WantUser);
    EXPECT_EQ(std::string(p.szPassword), row.WantPassword);
  }

  TProbeModem longer("Depot", std::string(200, '7'), std::string(300, 'u'), std::string(300, 'p'));
  const RASDIALPARAMSA& p = longer.DialParams();
  EXPECT_EQ(std::string(p.szPhoneNumber), std::string(128, '7'));
  EXPECT_EQ(std::string(p.szUserName), std::string(256, 'u'));
  EXPECT_EQ(std::string(p.szPassword), std::string(256, 'p'));
  EXPECT_EQ(std::string(p.szCallbackNumber, sizeof p.szCallbackNumber),
            std::string(sizeof p.szCallbackNumber, '\0'));
  EXPECT_EQ(std::string(p.szDomain, sizeof p.szDomain), std::string(sizeof p.szDomain, '\0'));
}

TEST_F(ModemDispatcher, ListEntriesFollowsThePhoneBookAndNewAddsAnEntry) {
  std::vector<std::string> names = {"stale"};
  TModemDispatcher::ListEntries(names);
  EXPECT_TRUE(names.empty());

  WriteBook({"Office|0100 1|||127.0.0.1|", "Depot|0100 3|||127.0.0.1|"});
  TModemDispatcher::ListEntries(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Office", "Depot"}));
  EXPECT_EQ(RasCreatePhonebookEntry(nullptr, nullptr), 0u);
  TModemDispatcher::ListEntries(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Office", "Depot", "New connection"}));

  // More entries than one listing holds: the listing fails as a whole.
  std::vector<std::string> book;
  for (int i = 0; i <= TModemDispatcher::MaxEntries; ++i)
    book.push_back("Entry " + std::to_string(i) + "|0100|||127.0.0.1|");
  WriteBook(book);
  TModemDispatcher::ListEntries(names);
  EXPECT_TRUE(names.empty());
  TProbeModem tooMany("Entry 1", "", "", "");
  EXPECT_EQ(tooMany.DialParams().dwSize, 0u);

  RasUnload();
  names = {"stale"};
  TModemDispatcher::ListEntries(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(RasCreatePhonebookEntry(nullptr, nullptr), RasUnavailable);
}

TEST_F(ModemDispatcher, WithoutTheServiceTheDialReportsThatTheConnectionIsMissing) {
  WriteBook({"Office|0100 1|||127.0.0.1|"});
  RasUnload();
  EXPECT_EQ(Run("Office"), (TEvents{"error:Could not locate connection", "closed"}));
  WriteBook({});
  ASSERT_TRUE(RasLoadFrom(RASSIM_FULL));
  Owner.Events.clear();
  EXPECT_EQ(Run("Office"), (TEvents{"error:Could not locate connection", "closed"}));
  EXPECT_EQ(Log(), "");
}

// The whole route: dial, find the far end, log in to the device behind it and read its
// registers through the queues, then close, hang up and hear closed last.
TEST_F(ModemDispatcher, DialledLinkReachesTheDeviceAndIsHungUpAtTheEnd) {
  TSimProcess device(
      {"--address", "127.0.0.121", "--password", kTestPassword, "--events", "0", "--text", "0"});
  ASSERT_TRUE(device.WaitForLine("tallybox-sim: listening on"));
  WriteBook({"Tallybox Depot|0100 6024|engineer|secret|127.0.0.121|0 1 2 3 4 5 14 8192"});
  std::string registers;
  const TEvents events = Run("tallybox depot", [&](TOwner& owner, TModemDispatcher* d) {
    ASSERT_TRUE(owner.UntilOpened());
    EXPECT_EQ(d->GetHost(), "127.0.0.121");
    ASSERT_TRUE(owner.Until([&] {
      owner.Drain(d);
      return owner.Input.find("PASSWORD") != std::string::npos;
    }));
    Send(d, kTestPassword + "\r\n");
    ASSERT_TRUE(UntilPrompt(owner, d));
    owner.Input.clear();
    Send(d, "r?\r\n");
    ASSERT_TRUE(UntilPrompt(owner, d));
    registers = owner.Input;
    d->Terminate();
  });
  EXPECT_EQ(events, Join(DialStates,
                         {"status:Device connected", "status:All devices connected",
                          "status:Start authenticating", "status:Authenticated", "status:Connected",
                          "status:Connected", "status:Connecting to 127.0.0.121", "opened",
                          "status:Closing", "status:Hanging up", "closed"}));
  EXPECT_NE(registers.find("r300="), std::string::npos) << registers;
  EXPECT_EQ(Log(),
            "dial Tallybox Depot|0100 6024|engineer|secret\nhangup Tallybox Depot\n"
            "gone Tallybox Depot\n");
  EXPECT_EQ(LogAtClose, Log()) << "closed came before the service dropped the link";
}

// Dials that end before the link is up: the states seen, the service's error, and always
// the hang-up, with closed only once the service has dropped the link.
TEST_F(ModemDispatcher, DialsThatFailOnTheWayAreReportedAndHungUp) {
  struct TRow {
    std::string Script;
    TEvents Want;
  };
  const std::vector<TRow> rows = {
      {"0 1 2!676", Join(DialStates, {"error:The line is busy."})},
      {"0 1 2 8193!629",
       Join(DialStates, {"status:Disconnected", "error:The line was dropped by the far end."})},
      {"0 22 4096 8193",
       {"status:Dialling 0100 6024", "status:Opening port", "status:Unknown state",
        "status:Interactive", "status:Disconnected"}},
      {"0 5 14 8192",
       {"status:Dialling 0100 6024", "status:Opening port", "status:Start authenticating",
        "status:Authenticated", "status:Connected", "status:Connected",
        "error:Could not find remote IP address"}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Script);
    // The last row's entry has no server address, so the link has no PPP projection.
    const std::string server = row.Script == "0 5 14 8192" ? "" : "127.0.0.122";
    WriteBook({"Depot|0100 6024|||" + server + "|" + row.Script + " hangup:80"});
    std::ofstream(folder->Path("log.txt"), std::ios::trunc);
    Owner.Events.clear();
    EXPECT_EQ(Run("Depot"), Join(row.Want, {"status:Closing", "status:Hanging up", "closed"}));
    EXPECT_NE(LogAtClose.find("gone Depot"), std::string::npos) << LogAtClose;
  }
}

TEST_F(ModemDispatcher, RefusedDialIsStillHungUp) {
  WriteBook({"Depot|0100 6024|||127.0.0.123|refuse!691"});
  EXPECT_EQ(Run("Depot"),
            (TEvents{"status:Dialling 0100 6024",
                     "error:Error dialling RAS: Access denied: the user name or password was not "
                     "accepted.",
                     "status:Hanging up", "closed"}));
  EXPECT_NE(LogAtClose.find("hangup Depot\ngone Depot"), std::string::npos) << LogAtClose;
}

TEST_F(ModemDispatcher, MissingEntryPointsAreTreatedAsFailuresWithoutHangingTheWorker) {
  WriteBook({"Depot|0100 6024|||127.0.0.124|0 8192"});
  ASSERT_TRUE(RasLoadFrom(RASSIM_NO_PROJECTION));
  EXPECT_EQ(Run("Depot"),
            (TEvents{"status:Dialling 0100 6024", "status:Opening port", "status:Connected",
                     "status:Connected", "error:Could not find remote IP address", "status:Closing",
                     "status:Hanging up", "closed"}));

  // Nothing could ever drop a link the service cannot hang up, so closed comes at once.
  WriteBook({"Depot|0100 6024|||127.0.0.124|0 1 hold"});
  ASSERT_TRUE(RasLoadFrom(RASSIM_NO_HANGUP));
  Owner.Events.clear();
  EXPECT_EQ(Run("Depot",
                [](TOwner& owner, TModemDispatcher* d) {
                  ASSERT_TRUE(owner.Until([&] { return owner.Has("status:Port opened"); }));
                  d->Terminate();
                }),
            (TEvents{"status:Dialling 0100 6024", "status:Opening port", "status:Port opened",
                     "status:Closing", "status:Hanging up", "closed"}));
}

// Abort or Disconnect while the service is still dialling: no TCP connect, errors after an
// abort are dropped (here one the service reports in the very state the user aborted in),
// and the link is still hung up.
TEST_F(ModemDispatcher, AbortOrTerminateWhileDiallingHangsUpWithoutConnecting) {
  struct TRow {
    std::string Script;
    bool Abort;
    TEvents Want;
  };
  const std::vector<TRow> rows = {
      {"0 1 2!676", true, DialStates},
      {"0 1 2 hold", true, DialStates},
      {"0 1 2 hold", false, DialStates},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Script + (row.Abort ? " abort" : " terminate"));
    WriteBook({"Depot|0100 6024|||127.0.0.125|" + row.Script});
    std::ofstream(folder->Path("log.txt"), std::ios::trunc);
    Owner.Events.clear();
    BeforeResume = [&row](TModemDispatcher* d) {
      d->OnStatus = [d, &row, inner = d->OnStatus](TTerminalDispatcher* S,
                                                   const std::string& Text) {
        inner(S, Text);
        if (Text == "Connecting device") row.Abort ? d->Abort() : d->Terminate();
      };
    };
    const TEvents events = Run("Depot");
    EXPECT_EQ(events, Join(row.Want, {"status:Closing", "status:Hanging up", "closed"}));
    EXPECT_NE(LogAtClose.find("gone Depot"), std::string::npos) << LogAtClose;
  }
}

// The line drops while the worker is closing the TCP part: both threads send at once and
// each text reaches the owner once, as sent.
TEST_F(ModemDispatcher, NotificationsFromTheServiceAndTheWorkerAtOnceKeepTheirOwnTexts) {
  TSimProcess device(
      {"--address", "127.0.0.126", "--password", kTestPassword, "--events", "0", "--text", "0"});
  ASSERT_TRUE(device.WaitForLine("tallybox-sim: listening on"));
  WriteBook({"Depot|0100 6024|||127.0.0.126|0 8192 sleep:300 8193!629"});
  const TEvents events = Run("Depot", [](TOwner& owner, TModemDispatcher* d) {
    ASSERT_TRUE(owner.UntilOpened());
    d->Terminate();
    // Nothing is delivered meanwhile, so the worker's "Closing" and the service's
    // "Disconnected" both wait for this thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
  });
  ASSERT_GE(events.size(), 6u);
  EXPECT_EQ(TEvents(events.begin(), events.begin() + 6),
            (TEvents{"status:Dialling 0100 6024", "status:Opening port", "status:Connected",
                     "status:Connected", "status:Connecting to 127.0.0.126", "opened"}));
  TEvents rest(events.begin() + 6, events.end());
  EXPECT_EQ(rest.back(), "closed");
  std::sort(rest.begin(), rest.end());
  EXPECT_EQ(rest, (TEvents{"closed", "error:The line was dropped by the far end.", "status:Closing",
                           "status:Disconnected", "status:Hanging up"}));
}
