// What the program remembers between runs: the last route, the register file, the window and
// panel layout and the session log's choices. One table names each value with its type and
// default; reading and writing both walk it, so a value cannot be read without being written.
// The main window reads them at start-up and writes them at exit.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "dispatch/uRoute.h"

class TOrvaneRegistry;

struct TSavedSettings {
  std::string RegisterFilename;  // the register open dialog's file name
  TRoute Route;                  // the last route the wizard confirmed
  std::string WindowPlacement;   // the window's geometry and state, as Qt saves them
  std::string PanelLayout;       // the advanced view's panels, docked or floating
  bool LogSession = false;
  std::string LogFolder;
  bool TerminalTimestamps = false;
  bool ReconnectByItself = true;  // a dropped line is tried again until it is back

  bool operator==(const TSavedSettings&) const = default;
};

using TSettingValue = std::variant<std::string, int32_t>;

// One stored value: its name, its type (the default's) and where it is held.
struct TSetting {
  const char* Name;
  TSettingValue Default;
  TSettingValue (*Get)(const TSavedSettings&);
  void (*Set)(TSavedSettings&, const TSettingValue&);
};

// Every stored value, in the order they are written.
const std::vector<TSetting>& SettingsTable();

// Reads every value of an open store into Settings; a missing value takes its default. A value
// of the wrong type takes its default too and adds "NAME: why" to Ignored.
void ReadSavedSettings(TOrvaneRegistry& Store, TSavedSettings& Settings,
                       std::vector<std::string>& Ignored);
// Writes every value into an open store; raises ERegistryException when the store refuses.
void WriteSavedSettings(TOrvaneRegistry& Store, const TSavedSettings& Settings);

// What the user is told once after start-up: that the settings in ReadOnlyFolder will not be
// saved (none: "") and which values were Ignored; "" when there is nothing to tell.
std::string IgnoredSettingsText(const std::string& ReadOnlyFolder,
                                const std::vector<std::string>& Ignored);
