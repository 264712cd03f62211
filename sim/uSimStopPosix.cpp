#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "sim/uSimStop.h"

namespace {
int gStopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(gStopPipe[1], &byte, 1);
}
}  // namespace

int InstallStopHandlers() {
  if (pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return gStopPipe[0];
}
