#include "cli/uCliFleetReport.h"

#include <unistd.h>

#include "cli/uCliExit.h"
#include "cli/uJson.h"

namespace {

const std::string ToolPrefix = "tallybox-cli: ";

// The devices' statuses from the gravest down; a status not listed counts as a failure.
int Gravity(int Exit) {
  switch (Exit) {
    case kExitOk:
      return 0;
    case kExitDiffers:
      return 1;
    case kExitBadPassword:
      return 2;
    case kExitUsage:
      return 3;
    default:
      return 4;
  }
}

std::string HeaderResult(const TFleetOutcome& Outcome) {
  std::string result;
  switch (Outcome.Exit) {
    case kExitOk:
      result = "done";
      break;
    case kExitDiffers:
      result = "registers differ";
      break;
    case kExitBadPassword:
      result = "wrong password";
      break;
    case kExitInterrupted:
      result = "interrupted";
      break;
    default:
      result = "failed";
  }
  if (!Outcome.Error.empty()) result += ": " + Outcome.Error;
  if (!Outcome.File.empty() && Outcome.Exit == kExitOk) result += ", saved " + Outcome.File;
  return result;
}

std::string JsonLine(const TFleetOutcome& Outcome) {
  std::vector<std::pair<std::string, std::string>> members = {
      {"device", JsonString(Outcome.Device)}, {"exit", std::to_string(Outcome.Exit)}};
  if (!Outcome.Error.empty()) members.emplace_back("error", JsonString(Outcome.Error));
  if (!Outcome.File.empty()) members.emplace_back("file", JsonString(Outcome.File));
  // A command with JSON output prints its one document as one line.
  if (Outcome.Lines.size() == 1) members.emplace_back("result", Outcome.Lines[0]);
  return JsonObject(members);
}

std::string OneLine(std::string Text) {
  for (char& c : Text)
    if (c == '\r' || c == '\n') c = ' ';
  return Text;
}

}  // namespace

TFleetReport::TFleetReport(const TCliOptions& Options, int32_t Devices)
    : FJson(Options.Json),
      FOut(TCliOutput::ForStandardOutput(Options.Raw)),
      FProgress(Options.Progress && ::isatty(STDERR_FILENO) == 1),
      FDevices(Devices) {
  DrawProgress();
}

void TFleetReport::Device(const TFleetOutcome& Outcome) {
  std::lock_guard<std::mutex> guard(FLock);
  const int gravity = Gravity(Outcome.Exit);
  if (gravity > Gravity(FGravest) && Outcome.Exit != kExitInterrupted) FGravest = Outcome.Exit;
  switch (Outcome.Exit) {
    case kExitOk:
      ++FDone;
      break;
    case kExitDiffers:
      ++FDiffering;
      break;
    case kExitBadPassword:
      ++FBadPassword;
      break;
    case kExitInterrupted:
      ++FInterrupted;
      break;
    default:
      ++FFailed;
  }
  ClearProgress();
  if (FOutputError.empty()) {
    try {
      if (FJson) {
        FOut.Line(JsonLine(Outcome));
      } else {
        FOut.Line("== " + Outcome.Device + ": " + OneLine(HeaderResult(Outcome)));
        for (const std::string& line : Outcome.Lines) FOut.Line(line);
      }
      FOut.Flush();  // each device as soon as it is done, so the output streams
    } catch (const TCliFailure& failure) {
      FOutputError = failure.what();
      FOutputFailed = true;
    }
  }
  DrawProgress();
}

void TFleetReport::LogLine(const std::string& Device, const std::string& Text) {
  const std::string text = Text.starts_with(ToolPrefix) ? Text.substr(ToolPrefix.size()) : Text;
  std::lock_guard<std::mutex> guard(FLock);
  ClearProgress();
  WriteErrorLine(ToolPrefix + Device + ": " + OneLine(text));
  DrawProgress();
}

bool TFleetReport::OutputFailed() {
  return FOutputFailed;
}

std::string TFleetReport::Summary() const {
  std::string text = std::to_string(FDevices) + " devices: " + std::to_string(FDone) + " done, " +
                     std::to_string(FFailed) + " failed, " + std::to_string(FBadPassword) +
                     " wrong password, " + std::to_string(FDiffering) + " differing";
  const int32_t reported = FDone + FFailed + FBadPassword + FDiffering + FInterrupted;
  if (FInterrupted > 0) text += ", " + std::to_string(FInterrupted) + " interrupted";
  if (reported < FDevices) text += ", " + std::to_string(FDevices - reported) + " not started";
  return text;
}

int TFleetReport::Finish() {
  std::lock_guard<std::mutex> guard(FLock);
  ClearProgress();
  if (!FOutputError.empty()) WriteErrorLine(ToolPrefix + OneLine(FOutputError));
  WriteErrorLine(ToolPrefix + "fleet: " + Summary());
  if (!FOutputError.empty()) return kExitFailure;
  return FGravest;
}

void TFleetReport::DrawProgress() {
  if (!FProgress) return;
  const int32_t finished = FDone + FFailed + FBadPassword + FDiffering + FInterrupted;
  WriteStandardError("\rfleet: " + std::to_string(finished) + "/" + std::to_string(FDevices) +
                     " devices, " + std::to_string(finished - FDone) + " failed\x1b[K");
  FProgressShown = true;
}

void TFleetReport::ClearProgress() {
  if (!FProgressShown) return;
  WriteStandardError("\r\x1b[K");
  FProgressShown = false;
}
