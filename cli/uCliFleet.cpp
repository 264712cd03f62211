#include "cli/uCliFleet.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <thread>

#include "cli/uCliCommands.h"
#include "cli/uCliDeviceList.h"
#include "cli/uCliExit.h"
#include "cli/uCliFleetLane.h"
#include "cli/uCliFleetReport.h"
#include "cli/uCliFleetScheduler.h"
#include "cli/uCliOutput.h"
#include "cli/uCliPassword.h"
#include "cli/uCliRun.h"
#include "rtl/UserFolders.h"
#include "session/uPresetFolder.h"
#include "transport/Ras.h"
#include "transport/uComPortMap.h"

namespace {

struct TFleetJob {
  TFleetDevice Device;
  TCliOptions Options;  // the run's own, with this device's route
  std::unique_ptr<TCliCommand> Command;
  std::string Password;
  std::string Lane;  // FleetLane's: jobs of one lane run one after another
};

std::string AtLine(const TCliOptions& Options, const TFleetDevice& Device) {
  return Options.FleetFile + ", line " + std::to_string(Device.Line) + ": ";
}

// Run as root, a folder of another user is refused before anything connects, in the words
// of the window.
void MakeFolder(const std::string& Folder, const std::string& NotDone) {
  if (FolderOfAnotherUser(Folder))
    throw TCliFailure(kExitFailure, NotDone + Folder + ": " + std::string(kOtherUsersFolder));
  std::error_code error;
  std::filesystem::create_directories(Folder, error);
  if (!std::filesystem::is_directory(Folder))
    throw TCliFailure(kExitFailure, "cannot make the folder " + Folder +
                                        (error ? ": " + error.message() : std::string()));
}

// Each device gets its own file in Folder, named for it with Extension, into the options'
// member File; two devices that would share one are a usage error.
void PlanDeviceFiles(const TCliOptions& Options, std::vector<TFleetJob>& Jobs,
                     const std::string& Folder, const std::string& Extension, const char* What,
                     std::string TCliOptions::*File) {
  std::map<std::string, int32_t> files;  // folded file name to its line
  for (TFleetJob& job : Jobs) {
    const std::string name = job.Device.FileStem() + Extension;
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const auto [earlier, added] = files.emplace(folded, job.Device.Line);
    if (!added)
      throw TCliFailure(kExitUsage, AtLine(Options, job.Device) + "its " + What + " would be " +
                                        name + ", as line " + std::to_string(earlier->second) +
                                        "'s");
    job.Options.*File = (std::filesystem::path(Folder) / name).string();
    job.Options.OwnFiles = true;
  }
}

// registers DIR saves a preset per device; --log DIR keeps a log per device, so that no two
// sessions write into one file.
void PlanFiles(const TCliOptions& Options, std::vector<TFleetJob>& Jobs) {
  const bool logs = !Options.LogFile.empty();
  std::error_code error;
  if (logs && std::filesystem::exists(Options.LogFile, error) &&
      !std::filesystem::is_directory(Options.LogFile, error))
    throw TCliFailure(kExitUsage, "with fleet, --log names a folder for one log per device; " +
                                      Options.LogFile + " is not one");
  const bool presets = Options.Command == "registers" && Options.HasArgument;
  if (presets) MakeFolder(Options.Argument, "The registers were not saved in ");
  if (logs) MakeFolder(Options.LogFile, "The session is not logged in ");
  if (presets)
    PlanDeviceFiles(Options, Jobs, Options.Argument, ".rgp", "preset", &TCliOptions::Argument);
  if (logs) PlanDeviceFiles(Options, Jobs, Options.LogFile, ".log", "log", &TCliOptions::LogFile);
}

// Every device's password, the run's own source asked once and only when a device needs it.
void ResolvePasswords(const TCliOptions& Options, std::vector<TFleetJob>& Jobs,
                      const std::atomic<bool>& Interrupted) {
  std::unique_ptr<std::string> shared;
  for (TFleetJob& job : Jobs) {
    if (job.Device.Route.Kind == TRouteKind::Serial) continue;
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
    job.Lane = FleetLane(device.Route, TSerialFolders::FromEnvironment().Dev);
    job.Device = std::move(device);
    jobs.push_back(std::move(job));
  }
  PlanFiles(Options, jobs);
  for (TFleetJob& job : jobs) job.Command = PrepareCommand(job.Options);
  ResolvePasswords(Options, jobs, Interrupted);
  return jobs;
}

TFleetOutcome RunJob(TFleetJob& Job, TFleetReport& Report, const std::atomic<bool>& Interrupted) {
  TFleetOutcome outcome;
  outcome.Device = Job.Device.Name();
  TCliOutput out = TCliOutput::Capture();
  {
    TLineBuffer logBuffer([&](const std::string& Line) { Report.LogLine(outcome.Device, Line); });
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
    return Job.Device.Route.Kind == TRouteKind::DialUp;
  });
  if (dialUp) RasLoadByName();  // before any thread starts
  TFleetReport report(Options, int32_t(jobs.size()));
  std::vector<std::string> lanes;
  for (const TFleetJob& job : jobs) lanes.push_back(job.Lane);
  TFleetScheduler scheduler(std::move(lanes));
  const auto stop = [&] { return Interrupted.load() || report.OutputFailed(); };
  const auto work = [&] {
    for (int i; (i = scheduler.Next(stop)) >= 0;) {
      report.Device(RunJob(jobs[size_t(i)], report, Interrupted));
      scheduler.Done(i);
    }
  };
  std::vector<std::thread> workers;
  const size_t count = std::min<size_t>(size_t(Options.Jobs), jobs.size());
  try {
    while (workers.size() < count) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones running share the list.
  }
  if (workers.empty()) work();
  for (std::thread& worker : workers) worker.join();
  return report.Finish();
}
