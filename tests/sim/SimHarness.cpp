#include "SimHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point Deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

TSimPeer::~TSimPeer() {
  Close();
}

void TSimPeer::Close() {
  if (FFd >= 0) close(FFd);
  FFd = -1;
}

void TSimPeer::Send(const std::string& Bytes) {
  std::size_t done = 0;
  while (done < Bytes.size()) {
    const ssize_t n = write(FFd, Bytes.data() + done, Bytes.size() - done);
    if (n < 0 && errno == EAGAIN) {
      pollfd p{FFd, POLLOUT, 0};
      poll(&p, 1, 100);
      continue;
    }
    if (n <= 0) throw std::runtime_error("write to the simulator failed");
    done += static_cast<std::size_t>(n);
  }
}

std::size_t TSimPeer::SendWhileTaken(const std::string& Bytes, std::chrono::milliseconds Time) {
  const auto deadline = Clock::now() + Time;
  std::size_t done = 0;
  while (done < Bytes.size() && Clock::now() < deadline) {
    pollfd p{FFd, POLLOUT, 0};
    if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0) break;
    // A socket is written without blocking; the serial client's terminal is non-blocking.
    ssize_t n = send(FFd, Bytes.data() + done, Bytes.size() - done, MSG_DONTWAIT);
    if (n < 0 && errno == ENOTSOCK) n = write(FFd, Bytes.data() + done, Bytes.size() - done);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool TSimPeer::ReadSome(Clock::time_point Deadline) {
  if (FEnded || FFd < 0) return false;
  pollfd p{FFd, POLLIN, 0};
  if (poll(&p, 1, MillisecondsLeft(Deadline)) <= 0) return false;
  char buffer[65536];
  const ssize_t n = read(FFd, buffer, sizeof buffer);
  if (n < 0 && errno == EAGAIN) return true;
  if (n <= 0) {
    FEnded = true;  // EOF on a socket, EIO on a terminal whose other end is gone
    return false;
  }
  FBuffer.append(buffer, static_cast<std::size_t>(n));
  FReadSizes.push_back(static_cast<std::size_t>(n));
  return true;
}

std::string TSimPeer::ReadUntil(const std::string& Needle, std::chrono::milliseconds Timeout) {
  const auto deadline = Clock::now() + Timeout;
  FReadSizes.clear();
  std::size_t found;
  while ((found = FBuffer.find(Needle)) == std::string::npos)
    if (!ReadSome(deadline) && (FEnded || Clock::now() >= deadline)) {
      std::string all;
      all.swap(FBuffer);
      return all;
    }
  std::string head = FBuffer.substr(0, found + Needle.size());
  FBuffer.erase(0, found + Needle.size());
  return head;
}

bool TSimPeer::WaitForEnd(std::chrono::milliseconds Timeout) {
  const auto deadline = Clock::now() + Timeout;
  while (!FEnded && Clock::now() < deadline) ReadSome(deadline);
  return FEnded;
}

std::string TSimPeer::ReadFor(std::chrono::milliseconds Time) {
  WaitForEnd(Time);
  std::string all;
  all.swap(FBuffer);
  return all;
}

TSimTcpClient::TSimTcpClient(const std::string& Address) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(6024);
  inet_pton(AF_INET, Address.c_str(), &address.sin_addr);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      Adopt(fd);
      return;
    }
    close(fd);
    std::this_thread::sleep_for(20ms);
  }
}

TSimSerialClient::TSimSerialClient(const std::string& Path) {
  const int fd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  termios mode{};
  tcgetattr(fd, &mode);
  cfmakeraw(&mode);
  cfsetspeed(&mode, B115200);
  tcsetattr(fd, TCSANOW, &mode);
  Adopt(fd);
}

TSimProcess::TSimProcess(const std::vector<std::string>& Args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::vector<std::string> all{TALLYBOX_SIM_PATH};
  all.insert(all.end(), Args.begin(), Args.end());
  std::vector<char*> argv;
  for (auto& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int error = posix_spawn(&FPid, TALLYBOX_SIM_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  FOut = out[0];
  if (error != 0) throw std::runtime_error("cannot start " TALLYBOX_SIM_PATH);
}

TSimProcess::~TSimProcess() {
  if (FPid > 0) Stop();
  if (FOut >= 0) close(FOut);
}

std::optional<std::string> TSimProcess::WaitForLine(const std::string& Prefix,
                                                    std::chrono::milliseconds Timeout) {
  const auto deadline = Clock::now() + Timeout;
  for (;;) {
    for (std::size_t end; (end = FPending.find('\n')) != std::string::npos;) {
      const std::string line = FPending.substr(0, end);
      FPending.erase(0, end + 1);
      if (line.rfind(Prefix, 0) == 0) return line.substr(Prefix.size());
    }
    pollfd p{FOut, POLLIN, 0};
    if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t n = read(FOut, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    FPending.append(buffer, static_cast<std::size_t>(n));
  }
}

int TSimProcess::WaitForExit(std::chrono::milliseconds Timeout) {
  const auto deadline = Clock::now() + Timeout;
  int status = 0;
  while (FPid > 0 && Clock::now() < deadline) {
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return -1;
}

long TSimProcess::ResidentKiB() const {
  std::ifstream status("/proc/" + std::to_string(FPid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

std::chrono::milliseconds TSimProcess::CpuTime() const {
  std::ifstream stat("/proc/" + std::to_string(FPid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The fields after the command name, which ends at the last ')': utime and stime are the
  // 12th and 13th of them.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long user = 0, system = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i) {
    if (i == 12) user = std::stoull(field);
    if (i == 13) system = std::stoull(field);
  }
  return std::chrono::milliseconds((user + system) * 1000 / sysconf(_SC_CLK_TCK));
}

void TSimProcess::Interrupt() {
  if (FPid > 0) kill(FPid, SIGINT);
}

int TSimProcess::Stop() {
  if (FPid <= 0) return -1;
  kill(FPid, SIGTERM);
  const int status = WaitForExit(5000ms);
  if (FPid > 0) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
    FPid = -1;
  }
  return status;
}

std::string SimPrompt() {
  return "\x1b[34;1m<Tallybox TB-204871>\x1b[0m";
}

std::string MakeTempFolder() {
  std::string pattern = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
  pattern += "/tallybox-sim-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  return pattern;
}
