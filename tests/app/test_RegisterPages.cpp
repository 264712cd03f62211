// The engineer's job against the simulated device, read back from the rendered pages: status
// and registers, programming from the registers page, presets, diagnostics to the clipboard,
// and hostile values and fields.
#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "app/MainWindowFixture.h"
#include "app/TMemoView.h"
#include "app/TTerminalView.h"
#include "dispatch/uTerminalDispatcher.h"
#include "params/uStorage.h"

namespace fs = std::filesystem;

namespace {

class RegisterPages : public MainWindowTest {
 protected:
  int FSeenLoads = 0;
  QString Js(const QString& Script) { return Main().hvMain()->RunScriptForTest(Script).toString(); }
  // Waits until the view has finished showing the page file Name since the last time this
  // was asked (a page shown again under the same name counts only once it is new).
  bool ShowsPage(const char* Name) {
    const bool shown = WaitUntil([&] {
      return LoadsFinished > FSeenLoads && PageIs(Name) &&
             LastLoaded.find(Name) != std::string::npos;
    });
    FSeenLoads = LoadsFinished;
    return shown;
  }
  QString Value(const char* Name) {
    return Js(QString("document.querySelector('[name=%1]:not([type=hidden])').value").arg(Name));
  }
  bool Checked(const char* Name, const char* Value) {
    return Js(QString("String(document.querySelector('input[name=%1][value=\"%2\"]').checked)")
                  .arg(Name, Value)) == "true";
  }
  // Lines the device received since Mark (the log's size when it was taken).
  std::vector<std::string> LinesSince(size_t Mark) {
    std::istringstream lines(DeviceLog().substr(Mark));
    std::vector<std::string> result;
    for (std::string line; std::getline(lines, line);) result.push_back(line);
    return result;
  }
  void ReadRegisters() {
    Trigger(&Main(), "actRegisters");
    ASSERT_TRUE(ShowsPage("regs.htm"));
  }
  void Submit() { Js("document.querySelector('button[type=submit]').click(); 'ok'"); }
  void SubmitAndWait() {
    Submit();
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Connected"; }))
        << Status() << " | " << Main().hvMain()->CurrentFile() << " | "
        << Js("location.href").toStdString() << " | " << DeviceLog();
    ASSERT_TRUE(ShowsPage("home.htm"))
        << Status() << " | " << Main().hvMain()->CurrentFile() << " | "
        << Js("location.href").toStdString() << " | " << Js("document.readyState").toStdString();
  }
};

}  // namespace

TEST_F(RegisterPages, StatusAndRegistersShowTheDevicesValuesForEachPageVersion) {
  const struct {
    const char* Address;
    const char* Version;
  } devices[] = {{"127.0.32.1", "1.00"}, {"127.0.32.2", "1.10"}};
  StartProgram();
  for (const auto& device : devices) {
    SCOPED_TRACE(device.Version);
    StartTcpSim(device.Address, {"--page-version", device.Version});
    LogInAndWait(device.Address);
    EXPECT_EQ(Status(1), std::string("v") + device.Version);

    Trigger(&Main(), "actStatus");
    ASSERT_TRUE(ShowsPage("info.htm"));
    EXPECT_TRUE(Js("location.pathname").contains(QString("/v") + device.Version + "/"));
    EXPECT_TRUE(Js("document.body.innerText").contains("Tallybox T2"));

    ReadRegisters();
    EXPECT_EQ(Value("r100"), "42");
    EXPECT_EQ(Value("r400"), "Depot north");
    EXPECT_TRUE(Checked("r202", "on"));
    EXPECT_FALSE(Checked("r205", "on"));
    EXPECT_TRUE(Checked("r300", "pulse"));
    EXPECT_EQ(Value("r306"), "UTC+1");
    // Values that differ from the factory's are marked on the page.
    EXPECT_EQ(Js("document.querySelector('input[name=r100]').closest('tr').children[1].className"),
              "fill");
    EXPECT_NE(Js("document.querySelector('input[name=r102]').closest('tr').children[1].className"),
              "fill");
    const bool newer = std::string(device.Version) == "1.10";
    EXPECT_EQ(Js("String(!!document.querySelector('[name=r405]'))"), newer ? "true" : "false");

    Trigger(&Main(), "actDisconnect");
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
    Sim.reset();
  }
}

TEST_F(RegisterPages, SubmittingTheRegistersPageProgramsTheWholeSetInNameOrder) {
  StartTcpSim("127.0.32.3");
  StartProgram();
  LogInAndWait("127.0.32.3");
  ReadRegisters();
  Js("document.querySelector('input[name=r100]').value = '77';"
     "document.querySelector('input[name=r200][value=on]').checked = false;"
     "document.querySelector('select[name=r302]').value = '2400'; 'ok'");
  const size_t mark = DeviceLog().size();
  SubmitAndWait();

  std::vector<std::string> sent;
  for (const std::string& line : LinesSince(mark))
    if (line.find('=') != std::string::npos) sent.push_back(line);
  ASSERT_EQ(sent.size(), Main().Params().Count());
  for (int32_t i = 0; i < Main().Params().Count(); ++i)
    EXPECT_EQ(sent[i], Main().Params().GetLine(i));
  EXPECT_NE(std::find(sent.begin(), sent.end(), "r100=77"), sent.end());
  EXPECT_NE(std::find(sent.begin(), sent.end(), "r200=off"), sent.end());
  EXPECT_NE(std::find(sent.begin(), sent.end(), "r302=2400"), sent.end());

  // Read straight back, the page shows exactly what was programmed.
  ReadRegisters();
  EXPECT_EQ(Value("r100"), "77");
  EXPECT_FALSE(Checked("r200", "on"));
  EXPECT_EQ(Value("r302"), "2400");
}

TEST_F(RegisterPages, APresetSavedAndLoadedBackRestoresTheDevice) {
  StartTcpSim("127.0.32.4");
  StartProgram();
  LogInAndWait("127.0.32.4");
  ReadRegisters();
  const std::string preset = Data.Path("depot.rgp");
  TModal::ClearShownMessages();
  TModal::SetNextFileName(QString::fromStdString(preset));
  Trigger(&Main(), "actSaveRegisters");
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Save Registers");
  EXPECT_EQ(TModal::ShownMessages()[0].DefaultSuffix, "rgp");
  {
    // Byte for byte the register file format; only the stamp line may differ by a second.
    TTempFolder other;
    Main().Params().SaveToFile(other.Path("same.rgp"));
    const std::string saved = ReadFileBytes(preset);
    const std::string same = ReadFileBytes(other.Path("same.rgp"));
    ASSERT_NE(saved.find('\n'), std::string::npos);
    EXPECT_EQ(saved.substr(saved.find('\n')), same.substr(same.find('\n')));
  }

  Js("document.querySelector('input[name=r100]').value = '5'; 'ok'");
  SubmitAndWait();
  ReadRegisters();
  ASSERT_EQ(Value("r100"), "5");

  TModal::SetNextFileName(QString::fromStdString(preset));
  Trigger(&Main(), "actLoadRegisters");
  ASSERT_TRUE(ShowsPage("regs.htm"));
  EXPECT_EQ(Value("r100"), "42");  // shown, not yet sent
  SubmitAndWait();
  ReadRegisters();
  EXPECT_EQ(Value("r100"), "42");
}

TEST_F(RegisterPages, SaveAfterStatusOffersSaveInfo) {
  StartTcpSim("127.0.32.5");
  StartProgram();
  LogInAndWait("127.0.32.5");
  Trigger(&Main(), "actStatus");
  ASSERT_TRUE(ShowsPage("info.htm"));
  TModal::ClearShownMessages();
  TModal::SetNextFileName("");
  Trigger(&Main(), "actSaveRegisters");
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Save Info");
  EXPECT_EQ(TModal::ShownMessages()[0].DefaultSuffix, "txt");
  EXPECT_TRUE(TModal::ShownMessages()[0].Folder.endsWith("Settings/v1.00"));
}

// An installed copy: the program in <prefix>/bin, its pages in <prefix>/share. Its presets go
// to the user's data folder even where it could write into the package's folders (root).
TEST_F(RegisterPages, AnInstalledCopyKeepsItsPresetsInTheUsersDataFolder) {
  TTempFolder prefix("installed");
  const fs::path pages = prefix.Folder / "share" / "tallybox-utility";
  fs::create_directories(prefix.Folder / "bin");
  fs::create_directories(pages);
  for (const char* entry : {"home.htm", "wait.htm", "tallybox.css", "img", "v1.00", "v1.10"})
    fs::copy(fs::path(TALLYBOX_PROGRAM_DIR) / entry, pages / entry, fs::copy_options::recursive);
  StartTcpSim("127.0.32.9");
  StartProgram((prefix.Folder / "bin").string() + "/");
  LogInAndWait("127.0.32.9");
  EXPECT_EQ(Main().ExeFolder(), pages.string() + "/");
  ReadRegisters();
  TModal::ClearShownMessages();
  TModal::SetNextFileName("");
  Trigger(&Main(), "actSaveRegisters");
  ASSERT_EQ(TModal::ShownMessages().size(), 1u);
  const fs::path expected = Data.Folder / "Orvane" / "TallyboxUtility" / "Settings" / "v1.00";
  EXPECT_EQ(TModal::ShownMessages()[0].Folder.toStdString(), expected.string());
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_FALSE(fs::exists(pages / "Settings"));
}

TEST_F(RegisterPages, DiagnosticsPutTheThreeRepliesOnTheClipboard) {
  StartTcpSim("127.0.32.6");
  StartProgram();
  LogInAndWait("127.0.32.6");
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actDiagnostics");
  ASSERT_TRUE(WaitUntil([] { return !TModal::ShownMessages().empty(); }));
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Info");
  EXPECT_EQ(TModal::ShownMessages()[0].Text,
            "Diagnostics information now on the clipboard\r\n(Paste into an email for sending)");
  const QString clip = QGuiApplication::clipboard()->text();
  const qsizetype registers = clip.indexOf("r100=42");
  const qsizetype info = clip.indexOf("i101=");
  ASSERT_GE(registers, 0) << clip.toStdString();
  EXPECT_GT(info, registers);
  EXPECT_GT(clip.size(), info + 10);
  EXPECT_TRUE(PageIs("home.htm"));
  EXPECT_TRUE(Main().reTerminal()->toPlainText().isEmpty());
}

TEST_F(RegisterPages, HostileValuesShowAsTextAndLineBreaksAreRefused) {
  StartTcpSim("127.0.32.7");
  StartProgram();
  LogInAndWait("127.0.32.7");
  const std::string preset = Data.Path("hostile.rgp");
  WriteFileBytes(preset,
                 "r400=\"\"><script>document.title='owned'</script>\"\r\n"
                 "r401=\"<b>0800</b> & co\"\r\n");
  TModal::SetNextFileName(QString::fromStdString(preset));
  TModal::SetNextAnswer(QMessageBox::Ok);  // the registers the preset lacks are named
  Trigger(&Main(), "actLoadRegisters");
  ASSERT_TRUE(ShowsPage("regs.htm"));
  EXPECT_EQ(Value("r400").toStdString(), Main().Params().GetValue("r400"));
  EXPECT_EQ(Value("r401"), "<b>0800</b> & co");
  EXPECT_NE(Js("document.title"), "owned");
  EXPECT_EQ(Js("String(document.querySelectorAll('main script, main b').length)"), "0");

  const size_t mark = DeviceLog().size();
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  // A text box drops line breaks itself; a hidden field keeps whatever a script put there.
  Js("document.querySelector('input[type=hidden][name=r200]').value = 'off\\r\\nr100=1';"
     "document.querySelector('button[type=submit]').click(); 'ok'");
  ASSERT_TRUE(WaitUntil([] { return !TModal::ShownMessages().empty(); }));
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Error");
  Pump(std::chrono::milliseconds(300));
  EXPECT_TRUE(LinesSince(mark).empty());
}

// A failure the program does not handle itself reaches the one error display with its text.
TEST_F(RegisterPages, AnUnreadablePresetIsReportedWithTheReason) {
  StartTcpSim("127.0.32.8");
  StartProgram();
  LogInAndWait("127.0.32.8");
  TModal::ClearShownMessages();
  TModal::SetNextFileName(QString::fromStdString(Data.Path("gone.rgp")));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actLoadRegisters");
  ASSERT_EQ(TModal::ShownMessages().size(), 2u);  // the open dialog, then the error
  EXPECT_TRUE(TModal::ShownMessages()[1].Text.startsWith("Cannot open file"))
      << TModal::ShownMessages()[1].Text.toStdString();
  EXPECT_EQ(TModal::ShownMessages()[1].Flags & 0xF0, TModal::MB_ICONERROR);
  EXPECT_TRUE(Action("actRegisters")->isEnabled());  // still connected and usable
}

// A modem-speed link: whatever the device says arrives about a byte a millisecond.
TEST_F(RegisterPages, AtNineThousandSixHundredBaudTheNewerPagesProgramTheDevice) {
  StartTcpSim("127.0.32.19", {"--page-version", "1.10", "--baud", "9600"});
  StartProgram();
  LogInAndWait("127.0.32.19");
  EXPECT_EQ(Status(1), "v1.10");
  ASSERT_TRUE(ShowsPage("home.htm"));
  EXPECT_EQ(Js("document.querySelector('.version').textContent"), "1.10");

  ReadRegisters();
  EXPECT_TRUE(Js("location.pathname").contains("/v1.10/"));
  EXPECT_EQ(Value("r405"), "collector.example");
  Js("document.querySelector('input[name=r405]').value = 'collector.test'; 'ok'");
  const size_t mark = DeviceLog().size();
  Submit();
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Programming..."; }));
  // A second submission while the run is out (a double click) sends nothing.
  Main().hvMainFormSubmit("", "", "", "", {"r405=collector.test"});
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Connected"; }, std::chrono::seconds(30)));
  ASSERT_TRUE(ShowsPage("home.htm"));
  const std::vector<std::string> sent = LinesSince(mark);
  ASSERT_EQ(sent.size(), Main().Params().Count() + 1u);  // each register once, then "r?"
  EXPECT_EQ(sent.back(), "r?");

  ReadRegisters();  // framed at its own prompt: no prompt of the run is left over
  EXPECT_EQ(Value("r405"), "collector.test");
  EXPECT_EQ(Value("r100"), "42");
}

// The device refuses a value; then a damaged preset is loaded; then the line drops.
TEST_F(RegisterPages, WhatTheDeviceRefusedIsNamedAndItsOwnValuesShown) {
  StartTcpSim("127.0.32.10");
  StartProgram();
  LogInAndWait("127.0.32.10");
  ReadRegisters();
  Js("document.querySelector('input[name=r100]').value = 'abc';"
     "document.querySelector('input[name=r401]').value = '0800 555 0199'; 'ok'");
  TModal::ClearShownMessages();
  TModal::SetNextAnswer(QMessageBox::Ok);
  Submit();
  ASSERT_TRUE(WaitUntil([] { return !TModal::ShownMessages().empty(); }));
  const TModal::TShownMessage error = TModal::ShownMessages()[0];
  EXPECT_EQ(error.Title, "Error");
  EXPECT_EQ(error.Flags & 0xF0, TModal::MB_ICONERROR);
  EXPECT_TRUE(error.Text.contains("\r\nr100: \"abc\", \"42\"\r\n")) << error.Text.toStdString();
  EXPECT_FALSE(error.Text.contains("r401")) << "the device took that one";
  ASSERT_TRUE(ShowsPage("regs.htm"));
  EXPECT_EQ(Value("r100"), "42");
  EXPECT_EQ(Value("r401"), "0800 555 0199");
  EXPECT_EQ(Status(), "Connected");

  const std::string preset = Data.Path("short.rgp");
  WriteFileBytes(preset, "r100=7\r\nr401=0800 555 0142\r\n");
  TModal::SetNextFileName(QString::fromStdString(preset));
  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actLoadRegisters");
  ASSERT_TRUE(ShowsPage("regs.htm"));
  const TModal::TShownMessage missing = TModal::ShownMessages().back();
  EXPECT_EQ(missing.Title, "Info");
  EXPECT_TRUE(missing.Text.startsWith(
      "These registers are not in the preset and would be programmed empty: "));
  EXPECT_TRUE(missing.Text.contains("empty: r200, r300, ")) << missing.Text.toStdString();
  EXPECT_FALSE(missing.Text.contains("r100"));
  EXPECT_FALSE(missing.Text.contains("r401"));
  const auto cell = [&](const char* Name) {
    return Js(QString("document.querySelector('[name=%1]:not([type=hidden])')"
                      ".closest('tr').children[1].className")
                  .arg(Name));
  };
  EXPECT_EQ(cell("r200"), "fill");
  EXPECT_NE(cell("r100"), "fill");
  EXPECT_EQ(Value("r100"), "7");

  Sim.reset();  // the line drops with the page still up
  ASSERT_TRUE(WaitUntil([&] { return ShowsDropped(); })) << Status() << " / " << Hint();
  TModal::SetNextAnswer(QMessageBox::Ok);
  Submit();
  ASSERT_TRUE(WaitUntil([] { return TModal::ShownMessages().back().Text == "Not connected"; }));
  EXPECT_EQ(TModal::ShownMessages().back().Title, "Info");
  ASSERT_TRUE(ShowsPage("home.htm"));
  EXPECT_TRUE(ShowsDropped());
  EXPECT_TRUE(TModal::AllAnswersUsed());
}

TEST_F(RegisterPages, ComparingWithAPresetListsTheDifferencesAndLoadsThePreset) {
  StartTcpSim("127.0.90.1", {"--page-version", "1.10"});
  StartProgram();
  LogInAndWait("127.0.90.1");
  ReadRegisters();
  // The device's own set with two values changed, r405 left out and r999 added.
  TParameterList preset;
  for (int32_t i = 0; i < Main().Params().Count(); ++i)
    if (!Main().Params().GetLine(i).starts_with("r405="))
      preset.AddLine(Main().Params().GetLine(i));
  preset.AddLine("r100=5");
  preset.AddLine("r400=\"<i>Depot</i> south\"");
  preset.AddLine("r999=7");
  const std::string file = Data.Path("depot.rgp");
  preset.SaveToFile(file);

  TModal::ClearShownMessages();
  TModal::SetNextFileName(QString::fromStdString(file));
  Trigger(&Main(), "actCompareRegisters");
  ASSERT_TRUE(ShowsPage("compare.htm"));
  EXPECT_EQ(TModal::ShownMessages()[0].Title, "Compare Registers");
  EXPECT_TRUE(OnScreen(Main().hvMain()));
  // Each part's heading with its count, then its rows cell by cell, as they read on screen.
  const QString parts =
      Js("[...document.querySelectorAll('.card h2')].map(h => h.innerText + ' = ' +"
         "  [...h.parentElement.querySelectorAll('tr')].slice(1).map(r =>"
         "    [...r.cells].map(c => c.innerText).join('/')).join('; ')).join('\\n')");
  EXPECT_EQ(parts.toStdString(),
            "VALUES THAT DIFFER 2 = r100/Site number/42/5; r400/Site name/Depot north/"
            "<i>Depot</i> south\n"
            "ONLY ON THE DEVICE 1 = r405/Report server/collector.example/-\n"
            "ONLY IN THE PRESET 1 = r999//-/7");
  EXPECT_TRUE(Js("document.querySelector('.actions').innerText").contains("depot.rgp"));

  // One click loads the preset onto the registers page, as Load Registers does.
  const size_t mark = DeviceLog().size();
  TModal::SetNextAnswer(QMessageBox::Ok);
  Js("document.querySelector('button[name=load]').click(); 'ok'");
  ASSERT_TRUE(ShowsPage("regs.htm"));
  EXPECT_EQ(Value("r100"), "5");
  EXPECT_EQ(Value("r400"), "<i>Depot</i> south");
  EXPECT_EQ(DeviceLog().size(), mark);            // shown, not sent
  ASSERT_EQ(TModal::ShownMessages().size(), 2u);  // the missing r405 is named
  EXPECT_NE(TModal::ShownMessages()[1].Text.toStdString().find("r405"), std::string::npos);
}

// A console that sends a blank after each prompt, as a shell does, in pieces of a few bytes:
// the registers page still holds every register with its value, and programming it writes
// exactly the page's values and reads them all back.
TEST_F(RegisterPages, ADeviceThatSendsABlankAfterItsPromptReadsAndProgramsWhole) {
  StartTcpSim("127.0.32.27", {"--after-prompt", " ", "--split", "random", "--split", "7",
                              "--split-gap", "3", "--events", "0", "--text", "0"});
  StartProgram();
  LogInAndWait("127.0.32.27");
  EXPECT_EQ(Status(1), "v1.00");
  ReadRegisters();
  TParameterList& params = Main().Params();
  ASSERT_GT(params.Count(), 20);
  EXPECT_EQ(params.GetLine(0), "r100=42");
  for (int32_t i = 0; i < params.Count(); ++i) {
    const std::string line = params.GetLine(i);
    EXPECT_TRUE(line.starts_with("r")) << line;
    const std::string name = line.substr(0, line.find('='));
    if (Js(QString("String(!!document.querySelector('input[type=text][name=%1]'))")
               .arg(QString::fromStdString(name))) == "true")
      EXPECT_EQ(Value(name.c_str()).toStdString(), params.GetValue(name)) << name;
  }
  EXPECT_EQ(Value("r100"), "42");
  EXPECT_EQ(Value("r400"), "Depot north");

  Js("document.querySelector('input[name=r100]').value = '77'; 'ok'");
  const size_t mark = DeviceLog().size();
  TModal::ClearShownMessages();
  SubmitAndWait();
  EXPECT_TRUE(TModal::ShownMessages().empty()) << "the read-back found every register";
  std::vector<std::string> sent = LinesSince(mark);
  ASSERT_EQ(sent.size(), params.Count() + 1u);  // each register once, then "r?"
  EXPECT_EQ(sent.back(), "r?");
  for (int32_t i = 0; i < params.Count(); ++i) EXPECT_EQ(sent[i], params.GetLine(i));
  EXPECT_EQ(sent[0], "r100=77");

  ReadRegisters();
  EXPECT_EQ(Value("r100"), "77");
  EXPECT_EQ(Value("r400"), "Depot north");
}

// On the debug port a device that echoes a whole burst of lines before answering the first:
// the window's run ends as the device confirmed it, no error box, every value held; and its
// diagnostics keep each command's line as the port echoed it.
TEST_F(RegisterPages, OnADebugPortThatEchoesABurstFirstProgrammingEndsConfirmed) {
  StartSim({"--serial", "--echo-burst", "--link", Config.LinkPath(4), "--log", Log(), "--events",
            "300", "--event-eol", "lf", "--text", "0", "--modem", "0"});
  StartProgram();
  QueueSerialWizard(4);
  Trigger(&Main(), "actConnect");
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); })) << Status();
  ReadRegisters();
  Js("document.querySelector('input[name=r100]').value = '77';"
     "document.querySelector('input[name=r200][value=on]').checked = false; 'ok'");
  TModal::ClearShownMessages();
  SubmitAndWait();
  EXPECT_TRUE(TModal::ShownMessages().empty()) << TModal::ShownMessages()[0].Text.toStdString();
  ReadRegisters();
  EXPECT_EQ(Value("r100"), "77");
  EXPECT_FALSE(Checked("r200", "on"));

  TModal::SetNextAnswer(QMessageBox::Ok);
  Trigger(&Main(), "actDiagnostics");
  ASSERT_TRUE(WaitUntil([] { return !TModal::ShownMessages().empty(); }));
  const QString clip = QGuiApplication::clipboard()->text();
  const qsizetype registers = clip.indexOf("r?\n"), info = clip.indexOf("i?\n");
  EXPECT_GE(registers, 0) << clip.toStdString();
  EXPECT_GT(info, clip.indexOf("r100=77"));
  EXPECT_GT(clip.indexOf("diag\n"), info);
}

// A run the device took: the page flow and status text stay as they were, the events panel
// says with its time stamp what changed, and a note beside the status text says so briefly
// until the status changes. When the line drops, the home page no longer names a page version.
TEST_F(RegisterPages, AConfirmedRunSaysWhatWasProgrammedAndADropLeavesNoPageVersion) {
  StartTcpSim("127.0.49.2", {"--drop-on", "hang-up"});
  StartProgram();
  LogInAndWait("127.0.49.2");
  ASSERT_TRUE(ShowsPage("home.htm"));
  const char* version = "document.querySelector('.version').textContent";
  EXPECT_EQ(Js(version), "1.00");
  const std::string hangUp = "hang-up\r\n";
  Main().CurrentDispatcher()->WriteOutput(hangUp.data(), static_cast<int32_t>(hangUp.size()));
  ASSERT_TRUE(WaitUntil([&] { return Status() == "Not connected"; }));
  ASSERT_TRUE(ShowsPage("home.htm"));
  EXPECT_EQ(Js(version), "");

  Trigger(&Main(), "actReconnect");
  AnswerPassword();
  ASSERT_TRUE(WaitUntil([&] { return Action("actStatus")->isEnabled(); }));
  ASSERT_TRUE(ShowsPage("home.htm"));
  EXPECT_EQ(Js(version), "1.00");
  ReadRegisters();
  const QString before = Value("r302");
  Js("document.querySelector('input[name=r100]').value = '4321';"
     "document.querySelector('select[name=r302]').value = '2400'; 'ok'");
  SubmitAndWait();
  EXPECT_EQ(Status(), "Connected");
  auto* note = Find<QLabel>(&Main(), "sbNote");
  const std::string changed = before == "2400" ? "1" : "2";
  EXPECT_EQ(note->text().toStdString(), "Programmed: " + changed + " changed");
  EXPECT_TRUE(OnScreen(note));
  EXPECT_GT(note->mapTo(&Main(), QPoint()).x(),
            Find<QLabel>(&Main(), "sbPanel0")->mapTo(&Main(), QPoint()).x());
  const std::string events = Find<TMemoView>(&Main(), "memEvents")->AllBytes();
  const std::string expected = "Programmed " + std::to_string(Main().Params().Count()) +
                               " registers; changed: r100=4321" +
                               (before == "2400" ? "" : ", r302=2400");
  const std::regex stamped("(^|\n)\\d\\d:\\d\\d:\\d\\d " +
                           std::regex_replace(expected, std::regex("[.;=]"), "\\$&") + "\n");
  EXPECT_TRUE(std::regex_search(events, stamped)) << events;

  Trigger(&Main(), "actDisconnect");
  EXPECT_EQ(note->text(), "");
}

// At the window's own 608 by 454 and larger, every register's caption on the registers page
// takes at most two lines and no field is cut off at the right.
TEST_F(RegisterPages, CaptionsAndFieldsFitAtTheWindowsSizeAndLarger) {
  StartTcpSim("127.0.49.3", {"--page-version", "1.10"});
  StartProgram();
  LogInAndWait("127.0.49.3");
  const QString worst =
      "(() => { let lines = 0, cut = 0, which = '';"
      "  for (const td of document.querySelectorAll('tr > td:nth-child(2)')) {"
      "    const range = document.createRange(); range.selectNodeContents(td);"
      "    const tops = new Set([...range.getClientRects()].map(r => Math.round(r.top)));"
      "    if (tops.size > lines) { lines = tops.size; which = td.textContent; } }"
      "  for (const f of document.querySelectorAll('input:not([type=hidden]), select')) {"
      "    const table = f.closest('table'); if (!table) continue;"
      "    if (f.getBoundingClientRect().right > table.getBoundingClientRect().right + 1) cut++; }"
      "  return lines + ' ' + cut + ' ' + which; })()";
  for (const QSize size : {QSize(608, 454), QSize(800, 600), QSize(1200, 800)}) {
    Main().resize(size);
    ReadRegisters();
    const QStringList found = Js(worst).split(' ');
    ASSERT_GE(found.size(), 2) << Js(worst).toStdString();
    EXPECT_LE(found[0].toInt(), 2)
        << size.width() << "x" << size.height() << ": " << Js(worst).toStdString();
    EXPECT_EQ(found[1], "0") << size.width() << "x" << size.height();
  }
}
