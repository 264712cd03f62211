// Test helpers for the serial port and serial dispatcher tests: the device's end of a real
// pseudo-terminal pair, linked in as a COM port (see TempConfig.h), and seeded test bytes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>

#include "support/TempConfig.h"

// The device side: holds the master of a pseudo-terminal. It also keeps the terminal side
// open, so the line does not hang up between the port's closes and opens.
class TPtyPeer {
 public:
  TPtyPeer() {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0)
      throw std::runtime_error("no pseudo-terminal");
    char name[128];
    if (ptsname_r(FMaster, name, sizeof name) != 0) throw std::runtime_error("no ptsname");
    FSlavePath = name;
    FSlave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FSlave < 0) throw std::runtime_error("cannot open " + FSlavePath);
  }
  ~TPtyPeer() {
    close(FSlave);
    close(FMaster);
  }
  TPtyPeer(const TPtyPeer&) = delete;
  TPtyPeer& operator=(const TPtyPeer&) = delete;

  const std::string& SlavePath() const { return FSlavePath; }

  // What the port has set on the line (the master reads the terminal side's attributes).
  termios Attributes() const {
    termios attributes{};
    if (tcgetattr(FMaster, &attributes) != 0) throw std::runtime_error("tcgetattr failed");
    return attributes;
  }

  // Writes every byte, waiting for room as the port takes them.
  void Send(const std::string& Bytes, int TimeoutMs = 5000) {
    size_t sent = 0;
    const auto deadline = Deadline(TimeoutMs);
    while (sent < Bytes.size()) {
      const ssize_t n = write(FMaster, Bytes.data() + sent, Bytes.size() - sent);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        continue;
      }
      if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("send timed out");
      pollfd out{FMaster, POLLOUT, 0};
      poll(&out, 1, 10);
    }
  }

  // Reads until Count bytes have come or TimeoutMs has passed; returns what came.
  std::string Receive(size_t Count, int TimeoutMs = 5000) {
    std::string got;
    const auto deadline = Deadline(TimeoutMs);
    char buffer[4096];
    while (got.size() < Count && std::chrono::steady_clock::now() < deadline) {
      const ssize_t n = read(FMaster, buffer, std::min(sizeof buffer, Count - got.size()));
      if (n > 0) {
        got.append(buffer, static_cast<size_t>(n));
        continue;
      }
      pollfd in{FMaster, POLLIN, 0};
      poll(&in, 1, 10);
    }
    return got;
  }

  // Everything that arrives within TimeoutMs.
  std::string Drain(int TimeoutMs) { return Receive(SIZE_MAX, TimeoutMs); }

 private:
  static std::chrono::steady_clock::time_point Deadline(int TimeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  }

  int FMaster = -1;
  int FSlave = -1;
  std::string FSlavePath;
};

// Count bytes the device can send or expect, fixed by Seed.
inline std::string Pattern(size_t Count, uint32_t Seed) {
  std::mt19937 random(Seed);
  std::string bytes(Count, '\0');
  for (auto& b : bytes) b = static_cast<char>(random());
  return bytes;
}
