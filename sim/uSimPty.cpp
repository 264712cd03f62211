#include "sim/uSimPty.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

TSimPty::~TSimPty() {
  Close();
  // Only a link that still names our terminal is ours to remove.
  if (FLink.empty()) return;
  char target[256];
  const ssize_t length = readlink(FLink.c_str(), target, sizeof target - 1);
  if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == FPath)
    unlink(FLink.c_str());
}

bool TSimPty::Open(const std::string& Link, std::string& Error) {
  Close();
  FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) {
    Error = std::string("pseudo-terminal: ") + std::strerror(errno);
    Close();
    return false;
  }
  char name[128];
  if (ptsname_r(FMaster, name, sizeof name) != 0) {
    Error = std::string("ptsname: ") + std::strerror(errno);
    Close();
    return false;
  }
  FPath = name;
  // Raw mode, so the terminal neither echoes nor edits what either side sends.
  termios mode{};
  tcgetattr(FMaster, &mode);
  cfmakeraw(&mode);
  tcsetattr(FMaster, TCSANOW, &mode);
  // Opening and closing the terminal end once puts the pair into its hung-up state: until a
  // client opens it, reading the controlling end fails instead of waiting.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave >= 0) close(slave);
  // A hang-up shows on the controlling end only until the next open: a client that closes
  // and another that opens at once would pass for one. The opens and closes themselves tell.
  FWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (FWatch < 0 || inotify_add_watch(FWatch, name, IN_OPEN | IN_CLOSE) < 0) {
    Error = std::string("cannot watch ") + name + ": " + std::strerror(errno);
    Close();
    return false;
  }
  if (!Link.empty()) {
    const std::string temporary = Link + ".new" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(name, temporary.c_str()) != 0 || rename(temporary.c_str(), Link.c_str()) != 0) {
      Error = "cannot link " + Link + ": " + std::strerror(errno);
      unlink(temporary.c_str());
      Close();
      return false;
    }
    FLink = Link;
  }
  return true;
}

void TSimPty::Close() {
  if (FMaster >= 0) close(FMaster);
  if (FWatch >= 0) close(FWatch);
  FMaster = FWatch = -1;
  FOpens = 0;
}

TSimPtyTurns TSimPty::TakeTurns() {
  TSimPtyTurns turns;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t length = FWatch < 0 ? -1 : read(FWatch, buffer, sizeof buffer);
    if (length <= 0) break;
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_OPEN) {
        if (FOpens++ == 0) ++turns.Arrivals;
      } else if ((event->mask & IN_CLOSE) && FOpens > 0) {
        if (--FOpens == 0) turns.Departed = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  turns.Present = FOpens > 0;
  return turns;
}

void TSimPty::FlushOutput() const {
  // Only the output: what the client wrote may already be the next client's.
  if (FMaster >= 0) tcflush(FMaster, TCOFLUSH);
}
