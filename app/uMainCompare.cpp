#include "app/uMainCompare.h"

#include "app/uMainPresets.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "htmlview/THtmlView.h"
#include "session/uPageDialogs.h"

TMainCompare::TMainCompare(QWidget* Window, THtmlView* View, TParameterList& Params,
                           const TMainPresets& Presets, TCompareHost Host)
    : FWindow(Window), FView(View), FParams(Params), FPresets(Presets), FHost(std::move(Host)) {}

void TMainCompare::Start() {
  const QString chosen = TModal::OpenFileName(FWindow, ToQ(std::string(kCompareDialogTitle)),
                                              PathToQ(FPresets.Folder()),
                                              ToQ(QtFileFilter(kOpenRegistersDialog.Filter)),
                                              ToQ(std::string(kOpenRegistersDialog.DefaultExt)));
  if (chosen.isEmpty()) return;
  // Read before the device is asked, so a file that cannot be read costs no request.
  auto preset = std::make_unique<TParameterList>();
  preset->LoadFromFile(PathFromQ(chosen));
  FPreset = std::move(preset);
  FFile = PathFromQ(chosen);
  FHost.ReadRegisters([this] { Received(); });
}

void TMainCompare::Received() {
  // Part of a reply would show registers as missing from the device that it has.
  if (!FHost.TakeRegisters()) {
    FHost.ShowHomePage();
    TModal::MessageBox(FWindow, "The device's registers did not all arrive: nothing was compared",
                       "Error", TModal::MB_ICONERROR);
    return;
  }
  FComparison = ComparePreset(FParams, *FPreset, RegisterLabels(FPresets.RegistersPageText()));
  FView->LoadFromFile(Page());
}

bool TMainCompare::FillTag(const std::string& Command, const std::vector<std::string>& Params,
                           std::string& Replacement) const {
  const std::string presetName = FFile.substr(FFile.find_last_of('/') + 1);
  return FillCompareTag(Command, Params, FComparison, presetName, Replacement);
}

std::string TMainCompare::Page() const {
  return FPresets.PageFolder() + "/compare.htm";
}

bool TMainCompare::ShowsPage() const {
  return FView->CurrentFile() == Page();
}
