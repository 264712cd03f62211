// The program's four windows, created in start-up order: the main window, the connection
// wizard, the progress dialog and the About box. main() and the window tests build the same.
#pragma once

#include <string>

#include "app/ufmMain.h"
#include "dialogs/ufmAbout.h"
#include "dialogs/ufmConnectProgress.h"
#include "dialogs/ufmConnectWizard.h"

struct TProgram {
  explicit TProgram(const std::string& ProgramFolder = {})
      : Main(ProgramFolder), Wizard(&Main), Progress(&Main), About(&Main) {
    Main.UseWindows(&Wizard, &Progress, &About);
  }

  TfmMain Main;
  TfmConnectWizard Wizard;
  TfmConnectProgress Progress;
  TfmAbout About;
};
