// The test program's QApplication, as the real program's main() would make it.
#include "QtTestApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>

#include "htmlview/THtmlView.h"

namespace {

class TQtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    THtmlView::PrepareEnvironment();
    THtmlView::RegisterSchemes();
    FApp = new QApplication(FArgc, FArgv);
  }
  void TearDown() override { delete FApp; }

 private:
  int FArgc = 1;
  char FName[16] = "test_htmlview";
  char* FArgv[2] = {FName, nullptr};
  QApplication* FApp = nullptr;
};

[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new TQtApplication);

}  // namespace

bool LoadAndWait(THtmlView& View, const std::string& Path) {
  QSignalSpy finished(&View, &THtmlView::LoadFinished);
  View.LoadFromFile(Path);
  return finished.wait(30000) && finished.first().first().toBool();
}
