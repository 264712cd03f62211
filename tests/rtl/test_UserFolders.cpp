#include "rtl/UserFolders.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rtl/OwnFolder.h"
#include "settings/uRegistry.h"
#include "support/TempFolder.h"
#include "transport/uComms.h"

namespace {

// Sets HOME and the XDG variables as given (absent = unset) for one scope, then restores them.
class TEnvironment {
 public:
  explicit TEnvironment(const std::map<std::string, std::string>& Values) {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
      const char* old = std::getenv(name);
      FOld.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      const auto value = Values.find(name);
      Set(name, value == Values.end() ? std::nullopt : std::optional(value->second));
    }
  }
  ~TEnvironment() {
    for (const auto& [name, value] : FOld) Set(name, value);
  }

 private:
  static void Set(const std::string& Name, const std::optional<std::string>& Value) {
    if (Value) {
      ::setenv(Name.c_str(), Value->c_str(), 1);
    } else {
      ::unsetenv(Name.c_str());
    }
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> FOld;
};

std::string AccountHome() {
  const passwd* entry = ::getpwuid(::getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

// Runs Check in a child process in which the account's home folder from the user database is
// Scratch (bound over it in a mount namespace of the child's own), so the real home is never
// touched. Returns Check's failure text, "" when it passed, nullopt when the system refuses
// the namespace.
std::optional<std::string> WithScratchAccountHome(const std::string& Scratch,
                                                  const std::function<std::string()>& Check) {
  int channel[2];
  if (::pipe(channel) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    std::string result;
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(Scratch.c_str(), AccountHome().c_str(), nullptr, MS_BIND, nullptr) != 0) {
      result = "\x01";  // no namespace here
    } else {
      result = Check();
    }
    (void)!::write(channel[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string result;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) result.append(buffer, n);
  ::close(channel[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (result == "\x01") return std::nullopt;
  if (!WIFEXITED(status)) return "the check did not finish";
  return result;
}

}  // namespace

TEST(UserFolders, FoldersFollowTheXdgVariablesAndFallBackToTheHomeFolder) {
  const std::string account = AccountHome();
  ASSERT_FALSE(account.empty());
  const struct {
    const char* Name;
    std::map<std::string, std::string> Environment;
    std::string Home, Config, Data, Runtime;
  } cases[] = {
      {"variables set",
       {{"HOME", "/h"},
        {"XDG_CONFIG_HOME", "/c"},
        {"XDG_DATA_HOME", "/d/"},
        {"XDG_RUNTIME_DIR", "/run/user/7"}},
       "/h",
       "/c/Orvane",
       "/d/Orvane/TallyboxUtility",
       "/run/user/7"},
      {"only HOME",
       {{"HOME", "/h"}},
       "/h",
       "/h/.config/Orvane",
       "/h/.local/share/Orvane/TallyboxUtility",
       "/tmp"},
      {"relative and empty values are ignored",
       {{"HOME", "/h"},
        {"XDG_CONFIG_HOME", "cfg"},
        {"XDG_DATA_HOME", ""},
        {"XDG_RUNTIME_DIR", "run"}},
       "/h",
       "/h/.config/Orvane",
       "/h/.local/share/Orvane/TallyboxUtility",
       "/tmp"},
      {"HOME unset",
       {},
       account,
       account + "/.config/Orvane",
       account + "/.local/share/Orvane/TallyboxUtility",
       "/tmp"},
      {"HOME relative",
       {{"HOME", "somewhere"}},
       account,
       account + "/.config/Orvane",
       account + "/.local/share/Orvane/TallyboxUtility",
       "/tmp"},
      {"HOME unset, XDG set",
       {{"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}},
       account,
       "/c/Orvane",
       "/d/Orvane/TallyboxUtility",
       "/tmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TEnvironment environment(c.Environment);
    EXPECT_EQ(UserHomeFolder(), c.Home);
    EXPECT_EQ(UserConfigFolder(), c.Config);
    EXPECT_EQ(UserDataFolder(), c.Data);
    EXPECT_EQ(UserRuntimeFolder(), c.Runtime);
  }
}

// With HOME unset the serial port's com<n> links and the settings store still live in one
// folder: the account's home from the user database.
TEST(UserFolders, SettingsStoreAndSerialPortLinksShareTheFolderWithHomeUnset) {
  TTempFolder scratch("tbx-home");
  TEnvironment environment({});
  const auto failure = WithScratchAccountHome(scratch.Folder.string(), [] {
    const std::string home = AccountHome();
    const std::string link = home + "/.config/Orvane/TallyboxUtility/com7";
    std::filesystem::create_directories(std::filesystem::path(link).parent_path());
    std::filesystem::create_symlink("/dev/null", link);
    TCommPort port;
    port.SetPort(7);
    if (port.DevicePath() != link) return "COM7 resolves to " + port.DevicePath();
    TOrvaneRegistry settings("TallyboxUtility");
    if (!settings.Open()) return std::string("the settings store did not open");
    settings.WriteInteger("ComPort", 7);
    settings.Close();
    if (!std::filesystem::is_regular_file(home + "/.config/Orvane/settings.reg"))
      return std::string("the settings store is not beside the links");
    return std::string();
  });
  if (!failure) GTEST_SKIP() << "this system gives a test no mount namespace of its own";
  EXPECT_EQ(*failure, "");
  // What the child wrote went to the scratch folder, not the real home.
  EXPECT_TRUE(std::filesystem::is_regular_file(scratch.Folder / ".config/Orvane/settings.reg"));
}

// Run as root, a folder is judged as given as well as where it really is: a link another user
// owns, or a folder of another user anywhere on the given path, refuses it even when it leads
// to a folder of root's own; links and folders of root's own keep it usable.
TEST(UserFolders, RootRefusesAFolderReachedThroughAnotherUsersLinkOrFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand links and folders to another user";
  constexpr uid_t nobody = 65534;
  const TTempFolder temp;
  const std::string roots = temp.Path("roots"), theirs = temp.Path("theirs");
  std::filesystem::create_directories(roots);
  std::filesystem::create_directories(theirs);
  ASSERT_EQ(::chown(theirs.c_str(), nobody, nobody), 0);
  const auto link = [](const std::string& To, const std::string& At, uid_t Owner) {
    std::filesystem::create_symlink(To, At);
    EXPECT_EQ(::lchown(At.c_str(), Owner, Owner), 0);
    return At;
  };
  const std::string theirLink = link(roots, temp.Path("their-link"), nobody);
  const std::string rootLink = link(roots, temp.Path("root-link"), 0);
  const std::string inTheirs = link(roots, theirs + "/root-link", 0);
  const std::string toTheirs = link(theirs, temp.Path("to-theirs"), 0);
  const struct {
    std::string Folder;
    bool Refused;
  } cases[] = {
      {roots, false},           {rootLink, false},
      {theirLink, true},        {inTheirs, true},
      {theirLink + "/x", true}, {toTheirs, true},
      {theirs, true},           {rootLink + "/../roots", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Folder);
    EXPECT_EQ(FolderOfAnotherUser(c.Folder), c.Refused);
    const TOwnFolder opened(c.Folder);
    EXPECT_EQ(opened.OtherUsers(), c.Refused);
    if (c.Refused) EXPECT_FALSE(opened.Opened());
  }
}
