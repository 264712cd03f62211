#include "cli/uCliFleetScheduler.h"

#include <chrono>

TFleetScheduler::TFleetScheduler(std::vector<std::string> Lanes)
    : FLanes(std::move(Lanes)), FTaken(FLanes.size()) {}

int TFleetScheduler::Next(const std::function<bool()>& Stop) {
  std::unique_lock<std::mutex> guard(FLock);
  for (;;) {
    if (Stop()) return -1;
    bool left = false;
    for (size_t i = 0; i < FLanes.size(); ++i) {
      if (FTaken[i]) continue;
      left = true;
      if (!FLanes[i].empty() && FBusy.contains(FLanes[i])) continue;
      FTaken[i] = true;
      if (!FLanes[i].empty()) FBusy.insert(FLanes[i]);
      return int(i);
    }
    if (!left) return -1;
    // Ctrl+C sets a flag no one signals, so the wait looks at Stop now and then.
    FLaneFreed.wait_for(guard, std::chrono::milliseconds(50));
  }
}

void TFleetScheduler::Done(int Index) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FBusy.erase(FLanes[size_t(Index)]);
  }
  FLaneFreed.notify_all();
}
