// The main() of every window test: the same start-up as the program (heap policy, web view
// environment, application object, main-thread wake), with every modal dialog answered from the
// test's queue. Listing the tests needs no display, so it skips the application object.
#include <gtest/gtest.h>

#include <QPalette>

#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/uApplication.h"
#include "gui/uHeapPolicy.h"
#include "gui/uModal.h"
#include "htmlview/THtmlView.h"

int main(int argc, char** argv) {
  KeepLargeBlocksApart();
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return RUN_ALL_TESTS();
  if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The web engine wants a private runtime folder; CI shells have none.
  std::string runtime =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/tallybox-gui-XXXXXX";
  if (!std::getenv("XDG_RUNTIME_DIR") && mkdtemp(runtime.data()))
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  THtmlView::PrepareEnvironment();
  THtmlView::RegisterSchemes();
  TApplication app(argc, argv);
  // The dark run of the page tests: a dark desktop palette, as a dark desktop theme gives.
  if (std::getenv("TALLYBOX_TEST_DARK")) app.setPalette(QPalette(QColor(0x20, 0x24, 0x28)));
  THtmlView::FollowDesktopScheme();
  InstallMainThreadWake();
  TModal::SetTestMode(true);
  return RUN_ALL_TESTS();
}
