// What a fleet run prints: each device's header line and its lines in one piece on standard
// output (or one JSON object a line), the sessions' own messages on standard error a whole
// line at a time, the progress line, the summary and the run's exit status. The device
// threads all report through one object; it serialises the writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "cli/uCliOptions.h"
#include "cli/uCliOutput.h"

struct TFleetOutcome {
  std::string Device;  // as the list names it
  int Exit = 0;
  std::string Error;               // the failure's text, "" when it has none
  std::vector<std::string> Lines;  // what the command printed
  std::string File;                // the preset saved, for registers DIR
};

class TFleetReport {
 public:
  // Progress is drawn (from 0 done) only when asked for and standard error is a terminal.
  TFleetReport(const TCliOptions& Options, int32_t Devices);

  // Prints one device's outcome and counts it. A failing standard output is kept as the
  // run's failure; nothing more is written to it after that.
  void Device(const TFleetOutcome& Outcome);
  // One line a session wrote to its log, on standard error with the device's name.
  void LogLine(const std::string& Device, const std::string& Text);
  // Clears the progress line and writes the summary; returns the run's exit status: 0 when
  // every device is done, else the gravest status a device gave (1, then 2, then 4, then 3),
  // 1 when the output could not be written.
  int Finish();
  // True once standard output has failed: no device is worth starting after that.
  bool OutputFailed();

  // The summary, e.g. "20 devices: 18 done, 1 failed, 1 wrong password, 0 differing".
  std::string Summary() const;

 private:
  void DrawProgress();
  void ClearProgress();

  std::mutex FLock;
  bool FJson;
  TCliOutput FOut;
  bool FProgress;
  bool FProgressShown = false;
  std::string FOutputError;
  std::atomic<bool> FOutputFailed{false};  // read without the lock by the scheduler
  int32_t FDevices;
  int32_t FDone = 0, FFailed = 0, FBadPassword = 0, FDiffering = 0, FInterrupted = 0;
  int FGravest = 0;
};
