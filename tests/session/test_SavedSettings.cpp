// The saved settings' one table: every value written is read back, a settings file written by
// the program before the table existed reads the same and is written back byte for byte, and
// a missing or mistyped value takes its default.
#include <gtest/gtest.h>

#include <set>

#include "rtl/FileBytes.h"
#include "session/uSavedSettings.h"
#include "settings/uRegistry.h"
#include "support/TempConfig.h"

namespace {

TSavedSettings Read(std::vector<std::string>* Ignored = nullptr) {
  TOrvaneRegistry store("TallyboxUtility");
  store.Open();
  TSavedSettings settings;
  std::vector<std::string> ignored;
  ReadSavedSettings(store, settings, ignored);
  store.Close();
  if (Ignored) *Ignored = ignored;
  return settings;
}

void Write(const TSavedSettings& Settings) {
  TOrvaneRegistry store("TallyboxUtility");
  store.Open();
  WriteSavedSettings(store, Settings);
  store.Close();
}

// Every field away from its default, each to a value of its own.
TSavedSettings Unusual() {
  TSavedSettings s;
  s.RegisterFilename = "/p/a.rgp";
  s.Route.Kind = static_cast<TRouteKind>(7);  // a value of a later version stays as it is
  s.Route.DialEntry = "Office";
  s.Route.ComPort = 9;
  s.Route.Host = "h.example";
  s.Route.TerminalServer = "tcp://t:1";
  s.Route.ThroughServer = true;
  s.WindowPlacement = "wp";
  s.PanelLayout = "pl";
  s.LogSession = true;
  s.LogFolder = "/logs";
  s.TerminalTimestamps = true;
  s.ReconnectByItself = false;
  return s;
}

}  // namespace

TEST(SavedSettings, EveryValueWrittenIsReadBack) {
  TTempConfig config;
  Write(Unusual());
  std::vector<std::string> ignored;
  EXPECT_EQ(Read(&ignored), Unusual());
  EXPECT_TRUE(ignored.empty());
  const std::string file = ReadFileBytes(config.StoreFile());
  std::set<std::string> names;
  for (const TSetting& setting : SettingsTable()) {
    names.insert(setting.Name);
    EXPECT_NE(file.find("\"" + std::string(setting.Name) + "\"="), std::string::npos)
        << setting.Name;
  }
  EXPECT_EQ(names.size(), SettingsTable().size());
}

TEST(SavedSettings, AFileOfTheLastReleaseReadsTheSameAndIsWrittenBackUnchanged) {
  TTempConfig config;
  const std::string landed = ReadFileBytes(TALLYBOX_TEST_DATA "/saved-settings.reg");
  WriteFileBytes(config.StoreFile(), landed);
  const TSavedSettings s = Read();
  EXPECT_EQ(s.RegisterFilename, "/home/ann/presets/site 4.rgp");
  EXPECT_EQ(s.Route.Kind, TRouteKind::Serial);
  EXPECT_EQ(s.Route.DialEntry, "Office line");
  EXPECT_EQ(s.Route.ComPort, 3);
  EXPECT_EQ(s.Route.Host, "10.20.30.40");
  EXPECT_EQ(s.Route.TerminalServer, "rfc2217://ts.example:7001");
  EXPECT_TRUE(s.Route.ThroughServer);
  EXPECT_TRUE(s.LogSession);
  EXPECT_EQ(s.LogFolder, "/home/ann/logs");
  EXPECT_TRUE(s.TerminalTimestamps);
  EXPECT_TRUE(s.ReconnectByItself);  // unknown to that release: on
  EXPECT_EQ(s.WindowPlacement.substr(0, 8), "AdnQywAD");
  EXPECT_EQ(s.PanelLayout.substr(0, 8), "AAAA/wAA");
  Write(s);
  // What that release knew stays as it was; the value it did not know follows, at its default.
  EXPECT_EQ(ReadFileBytes(config.StoreFile()), landed + "\"ReconnectByItself\"=dword:00000001\n");
}

TEST(SavedSettings, MissingOrMistypedValuesTakeTheirDefaults) {
  TTempConfig config;
  EXPECT_EQ(Read(), TSavedSettings());
  EXPECT_EQ(Read().Route.ComPort, -1);
  WriteFileBytes(config.StoreFile(),
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility]\n"
                 "\"ComPort\"=\"three\"\n\"IP\"=\"10.1.2.3\"\n\"LogFolder\"=dword:00000001\n");
  std::vector<std::string> ignored;
  const TSavedSettings s = Read(&ignored);
  EXPECT_EQ(s.Route.ComPort, -1);
  EXPECT_EQ(s.Route.Host, "10.1.2.3");
  EXPECT_EQ(s.LogFolder, "");
  ASSERT_EQ(ignored.size(), 2u);
  EXPECT_EQ(ignored[0].rfind("ComPort: ", 0), 0u);
  EXPECT_EQ(ignored[1].rfind("LogFolder: ", 0), 0u);
}
