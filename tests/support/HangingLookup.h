// A host-name lookup that hangs, for TCP client and dispatcher tests: it blocks until the test
// lets it go (or a safety time passes, so a client that cannot give up fails a test instead of
// hanging it) and then names an address where nobody listens.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/uHostLookup.h"

class THangingLookup {
 public:
  explicit THangingLookup(int SafetyMs = 5000) : FSafetyMs(SafetyMs) {}
  ~THangingLookup() { Release(); }
  THangingLookup(const THangingLookup&) = delete;
  THangingLookup& operator=(const THangingLookup&) = delete;

  // The lookup keeps only the shared state, so it may outlive this object.
  THostResolver Resolver() const {
    return [state = FState, safety = std::chrono::milliseconds(FSafetyMs)](const std::string&,
                                                                           uint16_t Port) {
      std::unique_lock<std::mutex> lock(state->Lock);
      state->Entered = true;
      state->Changed.notify_all();
      state->Changed.wait_for(lock, safety, [&] { return state->Released; });
      state->Returned = true;
      return std::vector<TTcpAddress>{Unreachable(Port)};
    };
  }
  bool Entered() const { return Get(&TState::Entered); }
  bool Returned() const { return Get(&TState::Returned); }
  void Release() {
    std::lock_guard<std::mutex> lock(FState->Lock);
    FState->Released = true;
    FState->Changed.notify_all();
  }

 private:
  struct TState {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Entered = false, Released = false, Returned = false;
  };
  static TTcpAddress Unreachable(uint16_t Port) {
    TTcpAddress a;
    auto& in = reinterpret_cast<sockaddr_in&>(a.Address);
    in.sin_family = AF_INET;
    in.sin_port = htons(Port);
    inet_pton(AF_INET, "127.0.0.251", &in.sin_addr);
    a.Family = AF_INET;
    a.SockType = SOCK_STREAM;
    a.Length = sizeof(sockaddr_in);
    return a;
  }
  bool Get(bool TState::*Flag) const {
    std::lock_guard<std::mutex> lock(FState->Lock);
    return (*FState).*Flag;
  }

  int FSafetyMs;
  std::shared_ptr<TState> FState = std::make_shared<TState>();
};
