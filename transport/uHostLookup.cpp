#include "transport/uHostLookup.h"

#ifndef _WIN32
#include <netdb.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "transport/uTcpClient.h"

namespace {
// How often a waiting lookup looks at the stop request.
constexpr std::chrono::milliseconds StopPollSlice{20};

struct TLookup {
  std::mutex Lock;
  std::condition_variable Done;
  bool Finished = false;
  std::vector<TTcpAddress> Addresses;
  std::optional<std::string> Failure;

  // The failure crosses to the caller as its text, not as the exception object, which the
  // two threads would otherwise release in an order neither controls.
  void Run(const THostResolver& Resolve, const std::string& Host, uint16_t Port) {
    std::vector<TTcpAddress> found;
    std::optional<std::string> failure;
    try {
      found = Resolve(Host, Port);
    } catch (const std::exception& e) {
      // Handed to the waiting caller, if it still waits; a thread must not raise.
      failure = e.what();
    } catch (...) {
      failure = "Host lookup failed";
    }
    std::lock_guard<std::mutex> guard(Lock);
    Addresses = std::move(found);
    Failure = std::move(failure);
    Finished = true;
    Done.notify_all();
  }
};

struct TAddressList {
  addrinfo* List = nullptr;
  ~TAddressList() {
    if (List) freeaddrinfo(List);
  }
};
}  // namespace

std::vector<TTcpAddress> SystemResolve(const std::string& Host, uint16_t Port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  TAddressList found;
  const std::string service = std::to_string(Port);
  const int rc = getaddrinfo(Host.c_str(), service.c_str(), &hints, &found.List);
  if (rc != 0) throw ETcpError(std::string("Host not found (") + gai_strerror(rc) + ")");
  std::vector<TTcpAddress> addresses;
  for (const addrinfo* a = found.List; a != nullptr; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    TTcpAddress address;
    address.Family = a->ai_family;
    address.SockType = a->ai_socktype;
    address.Protocol = a->ai_protocol;
    std::memcpy(&address.Address, a->ai_addr, a->ai_addrlen);
    address.Length = a->ai_addrlen;
    addresses.push_back(address);
  }
  return addresses;
}

// The lookup runs on a thread of its own, which alone can wait for a resolver that hangs; when
// the caller gives up, that thread finishes in its own time and its answer is dropped. The
// state they share lives as long as either of them holds it.
std::vector<TTcpAddress> LookUpHost(const THostResolver& Resolve, const std::string& Host,
                                    uint16_t Port, std::chrono::steady_clock::time_point Deadline,
                                    const std::function<bool()>& ShouldStop) {
  auto lookup = std::make_shared<TLookup>();
  try {
    std::thread([lookup, Resolve, Host, Port] { lookup->Run(Resolve, Host, Port); }).detach();
  } catch (const std::system_error& e) {
    throw ETcpError(std::string("Cannot look up the host: ") + e.what());
  }
  std::unique_lock<std::mutex> lock(lookup->Lock);
  while (!lookup->Finished) {
    if (ShouldStop && ShouldStop()) throw ETcpError("Connection cancelled");
    const auto now = std::chrono::steady_clock::now();
    if (now >= Deadline) throw ETcpError("Host lookup timed out");
    lookup->Done.wait_until(lock, std::min(Deadline, now + StopPollSlice));
  }
  if (lookup->Failure) throw ETcpError(*lookup->Failure);
  return std::move(lookup->Addresses);
}
