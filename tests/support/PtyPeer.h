// Test helpers for the serial route: the device's end of a real pseudo-terminal pair, and a
// private configuration folder in which com<n> links point COM ports at such terminals.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

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

// A fresh XDG_CONFIG_HOME for one test, removed afterwards. Link(n, target) makes COM<n>
// resolve to target.
class TTempConfig {
 public:
  TTempConfig() {
    char pattern[] = "/tmp/tallybox-serial-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    FRoot = pattern;
    FLinks = FRoot / "Orvane" / "TallyboxUtility";
    std::filesystem::create_directories(FLinks);
    setenv("XDG_CONFIG_HOME", FRoot.c_str(), 1);
  }
  ~TTempConfig() {
    unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(FRoot, ignored);
  }
  TTempConfig(const TTempConfig&) = delete;
  TTempConfig& operator=(const TTempConfig&) = delete;

  std::string Link(int Port, const std::string& Target) {
    const auto link = LinkPath(Port);
    std::filesystem::remove(link);
    std::filesystem::create_symlink(Target, link);
    return link;
  }
  std::string LinkPath(int Port) const { return FLinks / ("com" + std::to_string(Port)); }
  const std::filesystem::path& Root() const { return FRoot; }

 private:
  std::filesystem::path FRoot;
  std::filesystem::path FLinks;
};
