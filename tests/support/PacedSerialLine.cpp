#include "support/PacedSerialLine.h"

#include <algorithm>
#include <chrono>
#include <thread>

void TPacedSerialLine::Write(const void* Buffer, int32_t Count) {
  FPending.append(static_cast<const char*>(Buffer), static_cast<size_t>(std::max(Count, 0)));
}

bool TPacedSerialLine::WaitWriteDone(int32_t TimeoutMs) {
  const size_t leaving = std::min(FPending.size(), static_cast<size_t>(std::max(TimeoutMs, 0)));
  if (leaving > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(leaving));
    FLine->Write(FPending.data(), static_cast<int32_t>(leaving));
    while (!FLine->WaitWriteDone(100) && !(ShouldStop && ShouldStop())) {
    }
    FPending.erase(0, leaving);
  }
  return FPending.empty();
}

void TPacedSerialLine::Close() {
  FPending.clear();  // the purge: what had not left never reaches the device
  FLine->Close();
}
