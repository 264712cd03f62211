#include "cli/uCliFleet.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "cli/uCliCommands.h"
#include "cli/uCliDeviceList.h"
#include "cli/uCliExit.h"
#include "cli/uCliFleetReport.h"
#include "cli/uCliOutput.h"
#include "cli/uCliPassword.h"
#include "cli/uCliRun.h"
#include "transport/Ras.h"

namespace {

struct TFleetJob {
  TFleetDevice Device;
  TCliOptions Options;  // the run's own, with this device's route
  std::unique_ptr<TCliCommand> Command;
  std::string Password;
  // Jobs of one lane run one after another: a serial port, and the dial-up service, whose
  // notifier serves one dial at a time. "" for none.
  std::string Lane;
};

// Hands out the jobs in list order, skipping any whose lane is busy.
class TFleetScheduler {
 public:
  explicit TFleetScheduler(const std::vector<TFleetJob>& Jobs) : FJobs(Jobs), FTaken(Jobs.size()) {}

  // The next job to run, or -1 once none is left or Stop says so.
  int Next(const std::function<bool()>& Stop) {
    std::unique_lock<std::mutex> guard(FLock);
    for (;;) {
      if (Stop()) return -1;
      bool left = false;
      for (size_t i = 0; i < FJobs.size(); ++i) {
        if (FTaken[i]) continue;
        left = true;
        const std::string& lane = FJobs[i].Lane;
        if (!lane.empty() && FBusy.contains(lane)) continue;
        FTaken[i] = true;
        if (!lane.empty()) FBusy.insert(lane);
        return int(i);
      }
      if (!left) return -1;
      // Ctrl+C sets a flag no one signals, so the wait looks at it now and then.
      FLaneFreed.wait_for(guard, std::chrono::milliseconds(50));
    }
  }

  void Done(int Index) {
    {
      std::lock_guard<std::mutex> guard(FLock);
      FBusy.erase(FJobs[size_t(Index)].Lane);
    }
    FLaneFreed.notify_all();
  }

 private:
  const std::vector<TFleetJob>& FJobs;
  std::mutex FLock;
  std::condition_variable FLaneFreed;
  std::vector<bool> FTaken;
  std::set<std::string> FBusy;
};

std::string LaneOf(const TFleetDevice& Device) {
  switch (Device.Route) {
    case TCliRoute::Serial:
      return Device.Name();
    case TCliRoute::DialUp:
      return "dial";
    default:
      return "";
  }
}

std::string AtLine(const TCliOptions& Options, const TFleetDevice& Device) {
  return Options.FleetFile + ", line " + std::to_string(Device.Line) + ": ";
}

// registers DIR: the folder is made, and each device gets its own file in it.
void PlanPresetFiles(const TCliOptions& Options, std::vector<TFleetJob>& Jobs) {
  if (Options.Command != "registers" || !Options.HasArgument) return;
  std::error_code error;
  std::filesystem::create_directories(Options.Argument, error);
  if (!std::filesystem::is_directory(Options.Argument))
    throw TCliFailure(kExitFailure, "cannot make the folder " + Options.Argument +
                                        (error ? ": " + error.message() : std::string()));
  std::map<std::string, int32_t> files;  // folded file name to its line
  for (TFleetJob& job : Jobs) {
    const std::string stem = job.Device.FileStem();
    std::string folded = stem;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const auto [earlier, added] = files.emplace(folded, job.Device.Line);
    if (!added)
      throw TCliFailure(kExitUsage, AtLine(Options, job.Device) + "its preset would be " + stem +
                                        ".rgp, as line " + std::to_string(earlier->second) + "'s");
    job.Options.Argument = (std::filesystem::path(Options.Argument) / (stem + ".rgp")).string();
  }
}

// Every device's password, the run's own source asked once and only when a device needs it.
void ResolvePasswords(const TCliOptions& Options, std::vector<TFleetJob>& Jobs,
                      const std::atomic<bool>& Interrupted) {
  std::unique_ptr<std::string> shared;
  for (TFleetJob& job : Jobs) {
    if (job.Device.Route == TCliRoute::Serial) continue;
    if (!job.Device.PasswordFile.empty()) {
      try {
        job.Password = ResolvePassword({job.Device.PasswordFile, nullptr, ""}, Interrupted);
      } catch (const TCliFailure& failure) {
        throw TCliFailure(failure.Code, AtLine(Options, job.Device) + failure.what());
      }
      continue;
    }
    if (!shared)
      shared = std::make_unique<std::string>(ResolvePassword(
          {Options.PasswordFile, std::getenv("TALLYBOX_PASSWORD"), "/dev/tty"}, Interrupted));
    job.Password = *shared;
  }
}

std::vector<TFleetJob> PrepareJobs(const TCliOptions& Options,
                                   const std::atomic<bool>& Interrupted) {
  std::vector<TFleetJob> jobs;
  for (TFleetDevice& device : ReadDeviceList(Options.FleetFile)) {
    TFleetJob job;
    job.Options = Options;
    job.Options.Route = device.Route;
    job.Options.Host = device.Host;
    job.Options.ComPort = device.ComPort;
    job.Options.DialEntry = device.DialEntry;
    job.Lane = LaneOf(device);
    job.Device = std::move(device);
    jobs.push_back(std::move(job));
  }
  PlanPresetFiles(Options, jobs);
  for (TFleetJob& job : jobs) job.Command = PrepareCommand(job.Options);
  ResolvePasswords(Options, jobs, Interrupted);
  return jobs;
}

TFleetOutcome RunJob(TFleetJob& Job, TFleetReport& Report, const std::atomic<bool>& Interrupted) {
  TFleetOutcome outcome;
  outcome.Device = Job.Device.Name();
  TCliOutput out = TCliOutput::Capture();
  {
    TDeviceLogBuffer logBuffer(Report, outcome.Device);
    std::ostream log(&logBuffer);
    try {
      outcome.Exit = RunOnDevice(Job.Options, *Job.Command, Job.Password, out, log, Interrupted);
    } catch (const TCliFailure& failure) {
      outcome.Exit = failure.Code;
      outcome.Error = failure.what();
    } catch (const std::exception& e) {
      // Whatever else one device's run raises ends that device, not the whole run.
      outcome.Exit = kExitFailure;
      outcome.Error = e.what();
    }
  }
  outcome.Lines = out.Captured();
  if (Job.Options.Command == "registers" && Job.Options.HasArgument && outcome.Exit == kExitOk)
    outcome.File = Job.Options.Argument;
  return outcome;
}

}  // namespace

int RunFleet(const TCliOptions& Options, const std::atomic<bool>& Interrupted) {
  std::vector<TFleetJob> jobs = PrepareJobs(Options, Interrupted);
  const bool dialUp = std::any_of(jobs.begin(), jobs.end(), [](const TFleetJob& Job) {
    return Job.Device.Route == TCliRoute::DialUp;
  });
  if (dialUp) RasLoadByName();  // before any thread starts
  TFleetReport report(Options, int32_t(jobs.size()));
  TFleetScheduler scheduler(jobs);
  const auto stop = [&] { return Interrupted.load() || report.OutputFailed(); };
  const auto work = [&] {
    for (int i; (i = scheduler.Next(stop)) >= 0;) {
      report.Device(RunJob(jobs[size_t(i)], report, Interrupted));
      scheduler.Done(i);
    }
  };
  std::vector<std::thread> workers;
  const size_t count = std::min<size_t>(size_t(Options.Jobs), jobs.size());
  for (size_t i = 0; i < count; ++i) workers.emplace_back(work);
  for (std::thread& worker : workers) worker.join();
  return report.Finish();
}
