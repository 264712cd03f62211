#include "sim/uSimTcp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int SimListen(const std::string& Address, unsigned short Port, std::string& Error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(Port);
  if (inet_pton(AF_INET, Address.c_str(), &address.sin_addr) != 1) {
    Error = "not an IPv4 address: " + Address;
    return -1;
  }
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0) {
    Error =
        "cannot listen on " + Address + ":" + std::to_string(Port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

int SimAccept(int Listener) {
  const int fd = accept4(Listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

pollfd SimPollEntry(int Fd, short Events) {
  return {Fd, Events, 0};
}

int SimPoll(pollfd* Fds, std::size_t Count, int TimeoutMs) {
  const int ready = poll(Fds, Count, TimeoutMs);
  return ready < 0 && errno == EINTR ? 0 : ready;
}

long SimRead(int Fd, char* Buffer, std::size_t Count) {
  return read(Fd, Buffer, Count);
}

// SIGPIPE is ignored by the program, so a vanished peer shows here as an error.
long SimWrite(int Fd, const char* Buffer, std::size_t Count) {
  return write(Fd, Buffer, Count);
}

bool SimTryLater() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

bool SimOutOfDescriptors() {
  return errno == EMFILE || errno == ENFILE;
}

void SimClose(int Fd) {
  close(Fd);
}
