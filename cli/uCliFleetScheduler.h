// Hands a fleet run's devices to its worker threads in list order, keeping each lane (a serial
// port, the dial-up service) to one device at a time.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class TFleetScheduler {
 public:
  // Lanes[i] is device i's lane, "" for none.
  explicit TFleetScheduler(std::vector<std::string> Lanes);

  // The next device to run, skipping any whose lane is busy and waiting while all that are left
  // wait for one; -1 once none is left or Stop says so (it is looked at now and then).
  int Next(const std::function<bool()>& Stop);
  // Device Index has ended: its lane is free again.
  void Done(int Index);

 private:
  const std::vector<std::string> FLanes;
  std::mutex FLock;
  std::condition_variable FLaneFreed;
  std::vector<bool> FTaken;
  std::set<std::string> FBusy;
};
