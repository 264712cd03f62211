#include "app/uMainPresets.h"

#include "app/uOtherUsersFolder.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "rtl/FileBytes.h"
#include "rtl/UserFolders.h"
#include "session/uPageDialogs.h"
#include "session/uPresetCheck.h"
#include "session/uPresetFolder.h"

TMainPresets::TMainPresets(QWidget* Window, TParameterList& Params, const TPresetsPlace& Place,
                           std::string& FileName, TPresetsHost Host)
    : FWindow(Window),
      FParams(Params),
      FPlace(Place),
      FFileName(FileName),
      FHost(std::move(Host)) {}

// An installed copy keeps its presets in the user's data folder even when it could write
// into the package's own folders (run as root).
std::string TMainPresets::Folder() const {
  const std::string user = UserDataFolder();
  if (FPlace.Installed && !user.empty()) return PresetFolder(user, FPlace.PageVersion, "");
  return PresetFolder(FPlace.ExeFolder, FPlace.PageVersion, user);
}

void TMainPresets::Load() {
  const std::string folder = Folder();
  FFileName = folder + "/" + std::string(kPresetFileMask);
  const QString chosen =
      TModal::OpenFileName(FWindow, ToQ(std::string(kOpenRegistersDialog.Title)), PathToQ(folder),
                           ToQ(QtFileFilter(kOpenRegistersDialog.Filter)),
                           ToQ(std::string(kOpenRegistersDialog.DefaultExt)));
  if (!chosen.isEmpty()) LoadFrom(PathFromQ(chosen));
}

void TMainPresets::LoadFrom(const std::string& FileName) {
  FFileName = FileName;
  FHost.ShowWaitPage();
  FMissing.clear();
  FParams.LoadFromFile(FFileName);
  FMissing = MissingRegisters(PageRegisters(RegistersPageText()), FParams);
  FHost.ShowRegistersPage();
  if (!FMissing.empty())
    TModal::MessageBox(FWindow, ToQ(MissingRegistersText(FMissing)), "Info",
                       TModal::MB_ICONINFORMATION);
}

std::string TMainPresets::RegistersPageText() const {
  try {
    return ReadFileBytes(FPlace.PageFolder + "/regs.htm");
  } catch (const std::exception&) {
    // A missing page names no registers; loading the preset goes on.
    return {};
  }
}

void TMainPresets::Save(bool RegistersShown) {
  const std::string folder = Folder();
  const TFileDialogText& text = SaveDialogText(RegistersShown);
  const QString chosen =
      TModal::SaveFileName(FWindow, ToQ(std::string(text.Title)), PathToQ(folder),
                           ToQ(QtFileFilter(text.Filter)), ToQ(std::string(text.DefaultExt)));
  if (chosen.isEmpty()) return;
  const std::string file = PathFromQ(chosen);
  if (!TellOtherUsersFolder(FWindow, file, "The registers were not saved in "))
    FParams.SaveToFile(file);
}

bool TMainPresets::MarkTag(const std::string& Command, const std::vector<std::string>& Params,
                           std::string& Replacement) const {
  if (!MarksMissingRegister(Command, Params, FMissing)) return false;
  Replacement = "class=\"fill\"";
  return true;
}
