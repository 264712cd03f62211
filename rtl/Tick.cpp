#include "rtl/Tick.h"

#include <chrono>
#include <mutex>

namespace {
std::mutex sourceLock;
std::function<uint32_t()> tickSource;

uint32_t SteadyTicks() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}
}  // namespace

uint32_t GetTickCount() {
  std::lock_guard<std::mutex> guard(sourceLock);
  return tickSource ? tickSource() : SteadyTicks();
}

void SetTickSource(std::function<uint32_t()> Source) {
  std::lock_guard<std::mutex> guard(sourceLock);
  tickSource = std::move(Source);
}
