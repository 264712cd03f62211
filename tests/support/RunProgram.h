// Test support for the settings and simulator tests: runs a program as a child process with
// extra environment settings and collects what it prints, or starts one to be stopped later.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

struct TProgramResult {
  int ExitCode = -1;  // -1 when it did not exit normally
  std::string Output;
};

// Env entries such as "XDG_CONFIG_HOME=/tmp/x" are added to (or replace) the test's own.
inline pid_t StartProgram(const std::vector<std::string>& Args, const std::vector<std::string>& Env,
                          int StdoutFd = -1) {
  std::vector<std::string> env = Env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& mine : Env) replaced |= mine.compare(0, name.size(), name) == 0;
    if (!replaced) env.push_back(entry);
  }
  std::vector<char*> argv, envp;
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (StdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, StdoutFd, 1);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

inline int WaitProgram(pid_t Pid) {
  int status = 0;
  while (::waitpid(Pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline TProgramResult RunProgram(const std::vector<std::string>& Args,
                                 const std::vector<std::string>& Env = {}) {
  TProgramResult result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  const pid_t pid = StartProgram(Args, Env, pipeFds[1]);
  ::close(pipeFds[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    result.Output.append(buf, size_t(n));
  }
  ::close(pipeFds[0]);
  if (pid > 0) result.ExitCode = WaitProgram(pid);
  return result;
}
