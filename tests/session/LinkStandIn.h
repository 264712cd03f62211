// The device's end of a connection that never starts a thread: a test puts bytes into the
// input queue and reads what the dialogue wrote to the output queue, through the same queues
// and calls the real dispatchers use.
#pragma once

#include <cstdint>
#include <string>

#include "dispatch/uTerminalDispatcher.h"

class TLink : public TTerminalDispatcher {
 public:
  void Receive(const std::string& Bytes) {
    AppendInput(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  }
  std::string Sent() {
    std::string out;
    for (int32_t n; (n = TakeOutput(false)) > 0;) out.append(FBuffer, static_cast<size_t>(n));
    return out;
  }
};
