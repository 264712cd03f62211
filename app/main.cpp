// Tallybox Utility: start-up in a fixed order — the heap policy, quiet logging, the running-copy
// mark, the application object, the four windows — then the event loop until the main window
// closes.
#include "app/uInstanceLock.h"
#include "app/uLogRules.h"
#include "app/uProgram.h"
#include "gui/uApplication.h"
#include "gui/uHeapPolicy.h"
#include "htmlview/THtmlView.h"

int main(int argc, char** argv) {
  KeepLargeBlocksApart();
  QuietLogging(argc, argv);
  TInstanceLock mark("TallyboxUtility_mutex");
  THtmlView::PrepareEnvironment();
  THtmlView::RegisterSchemes();
  TApplication app(argc, argv);
  THtmlView::FollowDesktopScheme();
  InstallMainThreadWake();
  TProgram program;
  program.Main.show();
  return app.exec();
}
