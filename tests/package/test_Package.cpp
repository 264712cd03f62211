// The Debian package end to end: CPack builds it from this build tree, lintian checks it, and
// unpacked into a temporary folder its tools run, its data validates and the program shows
// its home page from the installed data folder on a virtual screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "XwdScreen.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What a shell command printed on both streams, and its exit status.
TProgramResult Shell(const std::string& Command) {
  return RunProgram({"/bin/sh", "-c", "exec 2>&1; " + Command}, {"LANG=C.UTF-8"});
}

class PackageTest : public testing::Test {
 protected:
  void SetUp() override {
    const TProgramResult built =
        Shell(std::string(TALLYBOX_CPACK) + " --config " +
              TALLYBOX_BUILD_DIR "/CPackConfig.cmake -B " + FTemp.Path("out"));
    ASSERT_EQ(built.ExitCode, 0) << built.Output;
    for (const auto& entry : fs::directory_iterator(FTemp.Path("out")))
      if (entry.path().extension() == ".deb") Deb = entry.path().string();
    ASSERT_FALSE(Deb.empty()) << built.Output;
    Root = FTemp.Path("root");
    const TProgramResult unpacked = Shell("dpkg-deb -x " + Deb + " " + Root);
    ASSERT_EQ(unpacked.ExitCode, 0) << unpacked.Output;
  }

  std::string Installed(const std::string& Path) const { return Root + "/usr/" + Path; }

  TTempFolder FTemp{"tallybox-package"};
  std::string Deb, Root;
};

TEST_F(PackageTest, PassesLintianAndHoldsTheProgramsPagesAndDesktopData) {
  const TProgramResult lintian = Shell("lintian --tag-display-limit 0 " + Deb);
  EXPECT_EQ(lintian.ExitCode, 0) << lintian.Output;
  EXPECT_EQ(lintian.Output.find("\nE: "), std::string::npos) << lintian.Output;

  const std::string listing = Shell("dpkg-deb -c " + Deb).Output;
  std::vector<std::string> expected = {
      "./usr/bin/tallybox-utility",
      "./usr/bin/tallybox-sim",
      "./usr/share/tallybox-utility/home.htm",
      "./usr/share/tallybox-utility/wait.htm",
      "./usr/share/tallybox-utility/tallybox.css",
      "./usr/share/tallybox-utility/img/logo.png",
      "./usr/share/tallybox-utility/v1.00/regs.htm",
      "./usr/share/tallybox-utility/v1.10/info.htm",
      "./usr/share/applications/tallybox-utility.desktop",
      "./usr/share/metainfo/com.orvane.TallyboxUtility.metainfo.xml",
      "./usr/share/icons/hicolor/scalable/apps/tallybox-utility.svg",
      "./usr/share/man/man1/tallybox-sim.1.gz",
      "./usr/share/doc/tallybox-utility/copyright",
  };
  for (const char* size : {"16", "32", "48", "64", "128", "256"})
    expected.push_back(std::string("./usr/share/icons/hicolor/") + size + "x" + size +
                       "/apps/tallybox-utility.png");
  if (TALLYBOX_HAS_CLI) {
    expected.push_back("./usr/bin/tallybox-cli");
    expected.push_back("./usr/share/man/man1/tallybox-cli.1.gz");
    expected.push_back("./usr/share/bash-completion/completions/tallybox-cli");
  }
  for (const std::string& path : expected)
    EXPECT_NE(listing.find(" " + path + "\n"), std::string::npos) << path << "\n" << listing;
  // The simulated dial-up service is for tests and the demo, never for users.
  for (const char* unwanted : {"rasapi32", "rassim", "/Settings"})
    EXPECT_EQ(listing.find(unwanted), std::string::npos) << unwanted << "\n" << listing;

  EXPECT_EQ(Shell("dpkg-deb -f " + Deb + " Version").Output,
            std::string(TALLYBOX_PACKAGE_VERSION) + "\n");
  // The programs' own version records, which the About box shows, carry the same number.
  for (const char* program : {"bin/tallybox-utility", "bin/tallybox-sim"}) {
    const TProgramResult record =
        Shell("objcopy -O binary --only-section=.tallybox_version " + Installed(program) +
              " /dev/stdout | tr '\\0' '\\n' | grep -A1 FileVersion");
    EXPECT_NE(record.Output.find(std::string("\n") + TALLYBOX_PACKAGE_VERSION + "\n"),
              std::string::npos)
        << program << ": " << record.Output;
  }
  // Found by the library scan, beside the one plug-in package named by hand.
  const std::string depends = Shell("dpkg-deb -f " + Deb + " Depends").Output;
  for (const char* library : {"libc6", "libstdc++6", "libicu72", "libqt6webenginewidgets6"})
    EXPECT_NE(depends.find(library), std::string::npos) << depends;
  std::cout << "package " << fs::path(Deb).filename().string() << ": " << fs::file_size(Deb)
            << " bytes\nDepends: " << depends;
}

TEST_F(PackageTest, ToolsRunAndDesktopDataAndManualPagesValidateFromTheUnpackedTree) {
  struct TCheck {
    std::string Name, Command, Expected;
  };
  const std::string completion = ". /usr/share/bash-completion/bash_completion; . " +
                                 Installed("share/bash-completion/completions/tallybox-cli") +
                                 "; COMP_WORDS=(tallybox-cli --host h re); COMP_CWORD=3; "
                                 "_tallybox_cli; echo \"${COMPREPLY[*]}\"";
  std::vector<TCheck> checks = {
      {"simulator help", Installed("bin/tallybox-sim") + " --help", "Usage: tallybox-sim"},
      {"desktop entry",
       "desktop-file-validate " + Installed("share/applications/tallybox-utility.desktop") +
           " && echo valid",
       "valid"},
      {"metainfo",
       "appstreamcli validate --no-net " +
           Installed("share/metainfo/com.orvane.TallyboxUtility.metainfo.xml"),
       "Validation was successful"},
      {"program manual",
       "MANWIDTH=80 man --warnings -l " + Installed("share/man/man1/tallybox-utility.1.gz"),
       "home.htm"},  // one word: justified lines may space a phrase out
      {"simulator manual",
       "MANWIDTH=80 man --warnings -l " + Installed("share/man/man1/tallybox-sim.1.gz"),
       "EXIT STATUS"},
      {"small icon", "file " + Installed("share/icons/hicolor/16x16/apps/tallybox-utility.png"),
       "PNG image data, 16 x 16"},
      {"large icon", "file " + Installed("share/icons/hicolor/256x256/apps/tallybox-utility.png"),
       "PNG image data, 256 x 256"},
      {"one main menu category",
       "grep ^Categories= " + Installed("share/applications/tallybox-utility.desktop"),
       "Categories=Utility;\n"},
      // Only what the package holds is offered: dial-up needs a library it does not include,
      // and there are no screenshots on a web site that does not exist.
      {"dial-up library named",
       "dpkg-deb -f " + Deb +
           " Description | grep -c 'does not include one'; grep -c -e "
           "librasapi32 -e screenshot " +
           Installed("share/metainfo/com.orvane.TallyboxUtility.metainfo.xml"),
       "1\n1\n"},
  };
  if (TALLYBOX_HAS_CLI) {
    checks.push_back({"command-line help", Installed("bin/tallybox-cli") + " --help", "registers"});
    checks.push_back(
        {"command-line manual",
         "MANWIDTH=80 man --warnings -l " + Installed("share/man/man1/tallybox-cli.1.gz"),
         "EXIT STATUS"});
    checks.push_back({"command-line completion", "bash -c '" + completion + "'", "registers"});
  }
  for (const TCheck& check : checks) {
    SCOPED_TRACE(check.Name);
    const TProgramResult result = Shell(check.Command);
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_NE(result.Output.find(check.Expected), std::string::npos) << result.Output;
    // groff's warnings about the manual pages' markup come out beside the text.
    EXPECT_EQ(result.Output.find("warning"), std::string::npos) << result.Output;
  }
}

// A virtual X server whose screen the test reads back.
class TVirtualScreen {
 public:
  explicit TVirtualScreen(const std::string& Folder) : FFolder(Folder) {
    int displayPipe[2];
    if (::pipe2(displayPipe, O_CLOEXEC) != 0) return;
    FServer = StartProgram({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                            "-fbdir", Folder, "-nolisten", "tcp"},
                           {}, displayPipe[1]);
    ::close(displayPipe[1]);
    // Xvfb writes the number of the display it took, then a line end in a write of its own;
    // closing the pipe before that line end arrives makes the server give up.
    std::string number;
    for (char c; ::read(displayPipe[0], &c, 1) == 1 && c != '\n';) number += c;
    ::close(displayPipe[0]);
    if (!number.empty()) Display = ":" + number;
  }
  ~TVirtualScreen() {
    if (FServer <= 0) return;
    ::kill(FServer, SIGTERM);
    WaitProgram(FServer);
  }

  // Pixels of the page background and of the page's dark blue title bar now on screen;
  // -1 for both when the screen cannot be read.
  std::pair<int, int> PageColours() const {
    int background = 0, titleBar = 0;
    const bool read =
        VisitXwdPixels(FFolder + "/Xvfb_screen0", [&](uint8_t r, uint8_t g, uint8_t b) {
          background += r == 0xf3 && g == 0xf6 && b == 0xfa;
          titleBar += r >= 0x16 && r <= 0x23 && g >= 0x30 && g <= 0x49 && b >= 0x56 && b <= 0x7d;
        });
    return read ? std::pair(background, titleBar) : std::pair(-1, -1);
  }

  std::string Display;

 private:
  std::string FFolder;
  pid_t FServer = -1;
};

// The program runs from the unpacked bin/ with no pages beside it, so what it shows comes from
// share/tallybox-utility/; with that folder moved away the page's colours must not appear.
TEST_F(PackageTest, ProgramShowsItsHomePageFromTheInstalledDataFolder) {
  ASSERT_FALSE(fs::exists(Installed("bin/home.htm")));
  struct TCase {
    const char* Name;
    bool PagesInstalled;
    std::chrono::seconds Wait;
  };
  for (const TCase& c : {TCase{"installed", true, 60s}, TCase{"pages moved away", false, 15s}}) {
    SCOPED_TRACE(c.Name);
    if (!c.PagesInstalled)
      fs::rename(Installed("share/tallybox-utility"), Installed("share/pages-moved-away"));
    TTempFolder run("tallybox-package-run");
    fs::create_directories(run.Folder / "screen");
    fs::create_directories(run.Folder / "runtime");
    fs::permissions(run.Folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    TVirtualScreen screen(run.Path("screen"));
    ASSERT_FALSE(screen.Display.empty());
    const pid_t program = StartProgram(
        {Installed("bin/tallybox-utility")},
        {"DISPLAY=" + screen.Display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=", "LANG=C.UTF-8",
         "XDG_RUNTIME_DIR=" + run.Path("runtime"), "XDG_CONFIG_HOME=" + run.Path("config"),
         "XDG_DATA_HOME=" + run.Path("data")});
    ASSERT_GT(program, 0);
    std::pair<int, int> seen;
    const auto deadline = std::chrono::steady_clock::now() + c.Wait;
    do {
      std::this_thread::sleep_for(500ms);
      seen = screen.PageColours();
    } while ((seen.first < 10000 || seen.second < 5000) &&
             std::chrono::steady_clock::now() < deadline);
    ::kill(program, SIGTERM);
    WaitProgram(program);
    if (c.PagesInstalled) {
      EXPECT_GE(seen.first, 10000) << "page background pixels";
      EXPECT_GE(seen.second, 5000) << "title bar pixels";
    } else {
      EXPECT_GE(seen.first, 0) << "the screen could not be read";
      EXPECT_LT(seen.first, 100) << "page background pixels";
      EXPECT_LT(seen.second, 1000) << "title bar pixels";
    }
  }
}

}  // namespace
