#include "session/uSavedSettings.h"

#include <type_traits>

#include "session/uPresetFolder.h"
#include "settings/uRegistry.h"

namespace {

template <class T>
T& Held(TSavedSettings& Settings, T TSavedSettings::*Field) {
  return Settings.*Field;
}
template <class T>
T& Held(TSavedSettings& Settings, T TRoute::*Field) {
  return Settings.Route.*Field;
}
template <class T>
const T& Held(const TSavedSettings& Settings, T TSavedSettings::*Field) {
  return Settings.*Field;
}
template <class T>
const T& Held(const TSavedSettings& Settings, T TRoute::*Field) {
  return Settings.Route.*Field;
}

template <auto Field>
TSetting Text(const char* Name) {
  return {
      Name, std::string(), [](const TSavedSettings& S) -> TSettingValue { return Held(S, Field); },
      [](TSavedSettings& S, const TSettingValue& V) { Held(S, Field) = std::get<std::string>(V); }};
}

// Integers, flags (stored 0 or 1, read as set when not 0) and the route's kind.
template <auto Field>
TSetting Number(const char* Name, int32_t Default) {
  return {
      Name, Default,
      [](const TSavedSettings& S) -> TSettingValue { return static_cast<int32_t>(Held(S, Field)); },
      [](TSavedSettings& S, const TSettingValue& V) {
        auto& held = Held(S, Field);
        using T = std::remove_reference_t<decltype(held)>;
        if constexpr (std::is_same_v<T, bool>)
          held = std::get<int32_t>(V) != 0;
        else
          held = static_cast<T>(std::get<int32_t>(V));
      }};
}

}  // namespace

const std::vector<TSetting>& SettingsTable() {
  static const std::vector<TSetting> table = {
      Text<&TSavedSettings::RegisterFilename>("RegisterFilename"),
      Text<&TRoute::DialEntry>("Connection"),
      Number<&TRoute::ComPort>("ComPort", -1),
      Text<&TRoute::Host>("IP"),
      Number<&TRoute::Kind>("Method", 0),
      Text<&TRoute::TerminalServer>("SerialServer"),
      Number<&TRoute::ThroughServer>("SerialThroughServer", 0),
      Text<&TSavedSettings::WindowPlacement>("WindowPlacement"),
      Text<&TSavedSettings::PanelLayout>("PanelLayout"),
      Number<&TSavedSettings::LogSession>("LogSession", 0),
      Text<&TSavedSettings::LogFolder>("LogFolder"),
      Number<&TSavedSettings::TerminalTimestamps>("TerminalTimestamps", 0),
      Number<&TSavedSettings::ReconnectByItself>("ReconnectByItself", 1),
  };
  return table;
}

void ReadSavedSettings(TOrvaneRegistry& Store, TSavedSettings& Settings,
                       std::vector<std::string>& Ignored) {
  for (const TSetting& setting : SettingsTable()) {
    try {
      if (const auto* text = std::get_if<std::string>(&setting.Default))
        setting.Set(Settings, Store.ReadString(setting.Name, *text));
      else
        setting.Set(Settings, Store.ReadInteger(setting.Name, std::get<int32_t>(setting.Default)));
    } catch (const ERegistryException& e) {
      setting.Set(Settings, setting.Default);
      Ignored.push_back(std::string(setting.Name) + ": " + e.what());
    }
  }
}

void WriteSavedSettings(TOrvaneRegistry& Store, const TSavedSettings& Settings) {
  for (const TSetting& setting : SettingsTable()) {
    const TSettingValue value = setting.Get(Settings);
    if (const auto* text = std::get_if<std::string>(&value))
      Store.WriteString(setting.Name, *text);
    else
      Store.WriteInteger(setting.Name, std::get<int32_t>(value));
  }
}

std::string IgnoredSettingsText(const std::string& ReadOnlyFolder,
                                const std::vector<std::string>& Ignored) {
  std::string text;
  if (!ReadOnlyFolder.empty())
    text = "The settings in " + ReadOnlyFolder +
           " are read but will not be saved: " + std::string(kOtherUsersFolder);
  if (!Ignored.empty()) {
    if (!text.empty()) text += "\r\n\r\n";
    text += "These saved settings were ignored and their defaults used:";
  }
  for (const std::string& line : Ignored) text += "\r\n" + line;
  return text;
}
