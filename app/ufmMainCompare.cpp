// The main window's comparison of the device's registers with a preset: the preset picked,
// the registers read, the compare page shown. The page's button loads the preset as Load
// Registers does (hvMainFormSubmit), and only that page's form does.
#include "app/ufmMain.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "htmlview/THtmlView.h"
#include "session/uPageDialogs.h"
#include "session/uPresetCompare.h"

void TfmMain::actCompareRegistersExecute() {
  const QString chosen =
      TModal::OpenFileName(this, ToQ(std::string(kCompareDialogTitle)), ToQ(PresetFolder()),
                           ToQ(QtFileFilter(kOpenRegistersDialog.Filter)),
                           ToQ(std::string(kOpenRegistersDialog.DefaultExt)));
  if (chosen.isEmpty()) return;
  // Read before the device is asked, so a file that cannot be read costs no request.
  auto preset = std::make_unique<TParameterList>();
  preset->LoadFromFile(chosen.toStdString());
  FComparePreset = std::move(preset);
  FComparedFile = chosen.toStdString();
  ReadDevicePage(true, "r?", [this] { CompareReceived(); });
}

void TfmMain::CompareReceived() {
  ReadRegisterReply();
  // Part of a reply would show registers as missing from the device that it has.
  if (FDialogue->LastRequestTimedOut()) {
    ShowHomePage();
    TModal::MessageBox(this, "The device's registers did not all arrive: nothing was compared",
                       "Error", TModal::MB_ICONERROR);
    return;
  }
  FComparison = ComparePreset(FParams, *FComparePreset, RegisterLabels(RegistersPageText()));
  FHtmlView->LoadFromFile(ComparePage());
}

std::string TfmMain::ComparePage() const {
  return FPageFolder + "/compare.htm";
}

bool TfmMain::ShowsComparePage() const {
  return FHtmlView->CurrentFile() == ComparePage();
}
