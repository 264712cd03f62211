#include "CliRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <utility>

extern char** environ;

namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& Env) {
  std::vector<std::string> merged;
  auto nameOf = [](const std::string& E) { return E.substr(0, E.find('=')); };
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const std::string& mine : Env) replaced |= nameOf(mine) == nameOf(*e);
    if (!replaced) merged.push_back(*e);
  }
  for (const std::string& mine : Env)
    if (mine.find('=') != std::string::npos) merged.push_back(mine);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& Texts) {
  std::vector<char*> pointers;
  for (std::string& t : Texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TCliChild::TCliChild(const std::vector<std::string>& Args, const std::vector<std::string>& Env,
                     int StdinFd, int StdoutFd)
    : FStart(std::chrono::steady_clock::now()) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
  std::vector<std::string> args = Args, env = MergedEnvironment(Env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (StdinFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, StdinFd, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, StdoutFd >= 0 ? StdoutFd : out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (posix_spawn(&FPid, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                  Pointers(env).data()) != 0)
    FPid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (StdoutFd >= 0) ::close(std::exchange(out[0], -1));
  FOut = out[0];
  FErr = err[0];
}

TCliChild::~TCliChild() {
  if (FPid > 0) Finish(std::chrono::milliseconds(0));
}

void TCliChild::Signal(int Number) {
  if (FPid > 0) ::kill(FPid, Number);
}

TCliResult TCliChild::Finish(std::chrono::milliseconds Timeout) {
  TCliResult result;
  const auto deadline = std::chrono::steady_clock::now() + Timeout;
  pollfd fds[2] = {{FOut, POLLIN, 0}, {FErr, POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  bool killed = false;
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 && !killed && FPid > 0) {
      ::kill(FPid, SIGKILL);  // a hung child must not hang the test
      killed = true;
    }
    if (::poll(fds, 2, killed ? 1000 : static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  FOut = FErr = -1;
  int status = 0;
  rusage usage{};
  if (FPid > 0 && ::wait4(FPid, &status, 0, &usage) == FPid && WIFEXITED(status) && !killed)
    result.ExitCode = WEXITSTATUS(status);
  result.PeakKiB = usage.ru_maxrss;
  FPid = -1;
  result.Elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - FStart);
  return result;
}

TCliResult RunCli(const std::vector<std::string>& Args, const std::vector<std::string>& Env) {
  return TCliChild(Args, Env).Finish();
}

std::vector<std::string> CliCommand(const std::string& Program) {
  const char* command = std::getenv("TALLYBOX_CLI_UNDER_TEST");
  if (!command || !*command) return {Program};
  std::vector<std::string> words;
  std::istringstream in(command);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}
