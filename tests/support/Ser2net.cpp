#include "support/Ser2net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace {

sockaddr_in Endpoint(const std::string& Address, uint16_t Port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(Port);
  inet_pton(AF_INET, Address.c_str(), &a.sin_addr);
  return a;
}

// A port the system has free on Address just now.
uint16_t FreePort(const std::string& Address) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Endpoint(Address, 0);
  socklen_t length = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  close(fd);
  return ntohs(a.sin_port);
}

// Whether something listens on Port, read from the kernel's table: a test connection would
// make ser2net open the device and hold it for a moment after, refusing the test's own.
bool Listening(uint16_t Port) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, ":%04X", Port);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state == "0A" && local.ends_with(wanted)) return true;
  }
  return false;
}

}  // namespace

TSer2net::TSer2net(const std::string& Address, const std::string& Device) : FAddress(Address) {
  char folder[] = "/tmp/tallybox-ser2net-XXXXXX";
  FFolder = mkdtemp(folder);
  FRawPort = FreePort(Address);
  FRfc2217Port = FreePort(Address);
  FTelnetPort = FreePort(Address);
  const std::string line = "  connector: serialdev," + Device + ",115200n81,local\n";
  std::ofstream(FFolder + "/ser2net.yaml")
      << "%YAML 1.1\n---\n"
      << "connection: &raw\n  accepter: tcp," << Address << "," << FRawPort << "\n"
      << line << "connection: &rfc2217\n  accepter: telnet(rfc2217),tcp," << Address << ","
      << FRfc2217Port << "\n"
      << line << "connection: &telnet\n  accepter: telnet,tcp," << Address << "," << FTelnetPort
      << "\n"
      << line;

  FReady = Start();
}

bool TSer2net::Start() {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (FFolder + "/log").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::vector<std::string> args{
      "ser2net", "-n", "-d", "-u", "-c", FFolder + "/ser2net.yaml", "-P", FFolder + "/ser2net.pid"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env{"LD_PRELOAD=" TALLYBOX_ADDRCONFIG_SHIM};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("LD_PRELOAD=", 0) != 0) env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int error = posix_spawnp(&FPid, "ser2net", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) FPid = -1;
  return FPid > 0 && WaitForPorts();
}

TSer2net::~TSer2net() {
  Stop();
  std::system(("rm -rf '" + FFolder + "'").c_str());
}

bool TSer2net::WaitForPorts() const {
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (Listening(FRawPort) && Listening(FRfc2217Port) && Listening(FTelnetPort)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void TSer2net::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (waitpid(FPid, nullptr, WNOHANG) == FPid) {
      FPid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(FPid, SIGKILL);
  waitpid(FPid, nullptr, 0);
  FPid = -1;
}

std::string TSer2net::Log() const {
  std::ifstream in(FFolder + "/log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TSer2net::Url(const char* Scheme, uint16_t Port) const {
  return std::string(Scheme) + "://" + FAddress + ":" + std::to_string(Port);
}
