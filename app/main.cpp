// Tallybox Utility: start-up in a fixed order — the running-copy mark, the application
// object, the four windows — then the event loop until the main window closes.
#include "gui/uApplication.h"
#include "app/uInstanceLock.h"
#include "app/uProgram.h"
#include "htmlview/THtmlView.h"

int main(int argc, char** argv) {
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
