#include "sim/uSimPty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
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
  // Opening and closing the terminal end once puts the pair into its hung-up state, so a
  // client's open is noticed the same way the first time as every later time.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave >= 0) close(slave);
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
  FMaster = -1;
}

bool TSimPty::ClientPresent() const {
  if (FMaster < 0) return false;
  pollfd p{FMaster, POLLIN, 0};
  if (poll(&p, 1, 0) < 0) return false;
  return (p.revents & POLLHUP) == 0;
}

void TSimPty::Flush() const {
  if (FMaster >= 0) tcflush(FMaster, TCIOFLUSH);
}
