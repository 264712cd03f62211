// A connection leaves nothing behind once it ends: after each Disconnect its worker is gone,
// the window holds no more objects than after the first connection, and the page view keeps
// no list of the pages it showed before. Over both routes a field engineer reconnects by. And
// the heap hands large blocks back, so what a connection freed does not stay with the program.
#include <malloc.h>

#include <QCoreApplication>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdlib>
#include <functional>

#include "app/MainWindowFixture.h"
#include "dispatch/uTerminalDispatcher.h"
#include "gui/uHeapPolicy.h"

namespace {

// Every object of the program: the application's children and each window's whole tree.
int LiveObjects() {
  std::function<int(const QObject*)> count = [&](const QObject* Object) {
    int n = 1;
    for (const QObject* child : Object->children()) n += count(child);
    return n;
  };
  int n = count(QCoreApplication::instance());
  for (const QWidget* window : QApplication::topLevelWidgets())
    if (!window->parent()) n += count(window);
  return n;
}

struct TRoute {
  const char* Name;
  bool Serial;
};

void PrintTo(const TRoute& Route, std::ostream* Out) {
  *Out << Route.Name;
}

class ReconnectTest : public MainWindowTest, public ::testing::WithParamInterface<TRoute> {
 protected:
  int PagesInHistory() {
    return int(Main().hvMain()->findChild<QWebEngineView*>()->page()->history()->count());
  }
  // The first connection goes through the wizard, every later one by Reconnect.
  void ConnectAndDisconnect(bool First, const std::string& Address) {
    if (First) {
      if (GetParam().Serial)
        QueueSerialWizard(7);
      else
        QueueTcpWizard(Address);
    }
    Trigger(&Main(), First ? "actConnect" : "actReconnect");
    if (!GetParam().Serial) AnswerPassword();
    ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << Status();
    Trigger(&Main(), "actDisconnect");
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; })) << Status();
    // The last page load and the closing progress window settle before anything is counted.
    ASSERT_TRUE(WaitUntil([&] { return LoadsFinished > 0 && PageIs("home.htm"); }));
    Pump(std::chrono::milliseconds(1200));
  }
};

TEST_P(ReconnectTest, AConnectionsObjectsEndWithIt) {
  const std::string address = "127.0.33.1";
  if (GetParam().Serial)
    StartSim({"--serial", "--link", Config.LinkPath(7), "--events", "300", "--text", "400",
              "--modem", "500"});
  else
    StartTcpSim(address, {"--events", "300", "--text", "400"});
  StartProgram();
  int afterFirst = 0;
  for (int cycle = 0; cycle < 5; ++cycle) {
    SCOPED_TRACE(cycle);
    ConnectAndDisconnect(cycle == 0, address);
    EXPECT_TRUE(WaitUntil([] { return TTerminalDispatcher::LiveCount() == 0; }))
        << TTerminalDispatcher::LiveCount() << " workers outlived their connections";
    EXPECT_LE(PagesInHistory(), 1);
    if (cycle == 0) afterFirst = LiveObjects();
    EXPECT_EQ(LiveObjects(), afterFirst);
  }
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

// Once a large block has been freed, the C library would otherwise serve blocks up to its size
// from the heap proper; with the policy each still gets pages of its own.
TEST(HeapPolicy, LargeBlocksStillGetPagesOfTheirOwnAfterOneIsFreed) {
  KeepLargeBlocksApart();
  void* volatile large = std::malloc(8u << 20);
  std::free(large);
  const size_t mappedBefore = mallinfo2().hblkhd;
  void* volatile next = std::malloc(1u << 20);
  const size_t mappedWith = mallinfo2().hblkhd;
  std::free(next);
  EXPECT_GE(mappedWith, mappedBefore + (1u << 20));
}

INSTANTIATE_TEST_SUITE_P(Routes, ReconnectTest,
                         ::testing::Values(TRoute{"Serial", true}, TRoute{"Tcp", false}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
