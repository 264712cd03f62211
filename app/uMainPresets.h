// Register presets as the main window offers them: Load Registers and Save Registers with their
// file dialogs opened in the presets folder (the user's own for an installed copy), and the
// registers a loaded preset lacks, told once and marked on the registers page.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "params/uStorage.h"

class QWidget;

// Where the pages are: the program's folder, the chosen page folder's name and path (both
// change with the device), and whether the templates came from the installed data folder.
struct TPresetsPlace {
  const std::string& ExeFolder;
  const std::string& PageVersion;
  const std::string& PageFolder;
  bool Installed;
};

// What the presets ask of the main window.
struct TPresetsHost {
  std::function<void()> ShowWaitPage, ShowRegistersPage;
};

class TMainPresets {
 public:
  // FileName is the open dialog's file name, kept with the settings.
  TMainPresets(QWidget* Window, TParameterList& Params, const TPresetsPlace& Place,
               std::string& FileName, TPresetsHost Host);

  void Load();
  void LoadFrom(const std::string& FileName);
  // Saves the parameter list; RegistersShown chooses the dialog's kind.
  void Save(bool RegistersShown);
  // Fills an "hl" tag of a register the loaded preset lacks; false for any other tag.
  bool MarkTag(const std::string& Command, const std::vector<std::string>& Params,
               std::string& Replacement) const;
  // The list no longer holds the loaded preset.
  void ClearMarks() { FMissing.clear(); }
  std::string Folder() const;
  const std::string& PageFolder() const { return FPlace.PageFolder; }
  // The registers page's template, empty when it cannot be read (the view shows that itself).
  std::string RegistersPageText() const;

 private:
  QWidget* FWindow;
  TParameterList& FParams;
  TPresetsPlace FPlace;
  std::string& FFileName;
  TPresetsHost FHost;
  std::vector<std::string> FMissing;  // the loaded preset lacks them: marked
};
