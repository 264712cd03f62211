// The main window's comparison of the device's registers with a preset: the preset picked, the
// registers read, the compare page shown and its include tags filled. The page's button loads
// the preset as Load Registers does, and only that page's form does.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "params/uStorage.h"
#include "session/uDialogue.h"
#include "session/uPresetCompare.h"

class QWidget;
class THtmlView;
class TMainPresets;

// What the comparison asks of the main window.
struct TCompareHost {
  // Reads the device's registers ("r?") as Registers does, then runs Received.
  std::function<void(TCompletion Received)> ReadRegisters;
  // Takes the reply into the parameter list: false when it was cut short.
  std::function<bool()> TakeRegisters;
  std::function<void()> ShowHomePage;
};

class TMainCompare {
 public:
  TMainCompare(QWidget* Window, THtmlView* View, TParameterList& Params,
               const TMainPresets& Presets, TCompareHost Host);

  // Compare Registers: asks for the preset, then reads the device.
  void Start();
  // Fills a "cmp" tag of the compare page; false for any other tag.
  bool FillTag(const std::string& Command, const std::vector<std::string>& Params,
               std::string& Replacement) const;
  bool ShowsPage() const;
  // The preset the shown page compares with; "" before the first comparison.
  const std::string& PresetFile() const { return FFile; }

 private:
  void Received();
  std::string Page() const;

  QWidget* FWindow;
  THtmlView* FView;
  TParameterList& FParams;
  const TMainPresets& FPresets;
  TCompareHost FHost;
  std::unique_ptr<TParameterList> FPreset;  // the preset being compared with
  std::string FFile;                        // its file, which the compare page loads
  TPresetComparison FComparison;            // what the compare page shows
};
