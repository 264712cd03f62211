#include "cli/uCliCommands.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/uCliDiff.h"
#include "cli/uCliExit.h"
#include "cli/uCliOutput.h"
#include "cli/uCliSession.h"
#include "cli/uJson.h"
#include "params/uStorage.h"
#include "rtl/Exceptions.h"
#include "rtl/FileBytes.h"
#include "rtl/OwnFolder.h"
#include "session/uDialogue.h"
#include "session/uPresetFolder.h"
#include "session/uProgrammingRun.h"
#include "session/uSubmitSequence.h"

namespace {

void Fill(TParameterList& List, const std::vector<std::string>& Lines) {
  List.Clear();
  for (const std::string& line : Lines) List.AddLine(line);
}

// Names to values, and the highlighted names apart.
std::string ListJson(TParameterList& List) {
  std::vector<std::pair<std::string, std::string>> values;
  std::vector<std::string> highlighted;
  for (int32_t i = 0; i < List.Count(); ++i) {
    const std::string line = List.GetLine(i);
    const std::string name = line.substr(0, line.find('='));
    values.emplace_back(name, JsonString(line.substr(name.size() + 1)));
    if (List.IsHighlighted(name)) highlighted.push_back(JsonString(name));
  }
  return JsonObject({{"values", JsonObject(values)}, {"highlighted", JsonArray(highlighted)}});
}

void PrintList(TParameterList& List, bool Json, TCliOutput& Out) {
  if (Json) return Out.Line(ListJson(List));
  for (int32_t i = 0; i < List.Count(); ++i) Out.Line(List.GetLine(i));
}

std::string LinesJson(const std::vector<std::string>& Lines) {
  std::vector<std::string> items;
  for (const std::string& line : Lines) items.push_back(JsonString(line));
  return JsonArray(items);
}

void PrintLines(const std::vector<std::string>& Lines, bool Json, TCliOutput& Out) {
  if (Json) return Out.Line(JsonObject({{"reply", LinesJson(Lines)}}));
  for (const std::string& line : Lines) Out.Line(line);
}

class TVersion : public TCliCommand {
 public:
  explicit TVersion(bool Json) : FJson(Json) {}
  int Run(TCliSession& Session, TCliOutput& Out) override {
    const std::string version = Session.LoginParams().GetValue("i900");
    if (version.empty())
      throw TCliFailure(kExitFailure, "The device did not report its page version");
    Out.Line(FJson ? JsonObject({{"version", JsonString(version)}}) : version);
    return kExitOk;
  }

 private:
  bool FJson;
};

// A preset file the fleet named: the program's own, replaced at its name and never through a
// link; run as root, never in a folder of another user.
void SaveOwnFile(TParameterList& List, const std::string& FileName) {
  const std::filesystem::path path(FileName);
  const TOwnFolder folder(path.parent_path().string());
  if (folder.OtherUsers())
    throw Exception("The registers were not saved in " + path.parent_path().string() + ": " +
                    std::string(kOtherUsersFolder));
  if (!folder.Opened())
    throw EFCreateError("Cannot create file \"" + ExpandFileName(FileName) + "\". " +
                        std::strerror(folder.Error()));
  folder.Replace(path.filename().string(), List.SaveToText(), FileName);
}

// "i?" or "r?" into a list, then printed or saved.
class TReadList : public TCliCommand {
 public:
  TReadList(std::string Command, bool Json, std::string SaveTo, bool OwnFile)
      : FCommand(std::move(Command)), FJson(Json), FSaveTo(std::move(SaveTo)), FOwnFile(OwnFile) {}
  int Run(TCliSession& Session, TCliOutput& Out) override {
    TParameterList list;
    Fill(list, Session.RequestList(FCommand));
    if (FSaveTo.empty()) {
      PrintList(list, FJson, Out);
      return kExitOk;
    }
    try {
      if (FOwnFile)
        SaveOwnFile(list, FSaveTo);
      else
        list.SaveToFile(FSaveTo);
    } catch (const std::exception& e) {
      throw TCliFailure(kExitFailure, e.what());
    }
    return kExitOk;
  }

 private:
  std::string FCommand;
  bool FJson;
  std::string FSaveTo;
  bool FOwnFile;
};

class TProgram : public TCliCommand {
 public:
  TProgram(const std::string& FileName, bool Json) : FJson(Json) {
    LoadPreset(FPreset, FileName);
    // The preset is the page's whole register set, submitted as it stands.
    FPlan = PlanSubmit(FPreset, {});
    if (FPlan.Kind != TSubmitPlan::TKind::Send) throw TCliFailure(kExitFailure, FPlan.Message);
  }

  // The window's programming run: the same lines, time-outs and read-back.
  int Run(TCliSession& Session, TCliOutput& Out) override {
    TProgrammingRun run(Session.Dialogue());
    run.SetRequestTimeout(Session.ReplyTimeoutMs());
    std::optional<TProgrammingOutcome> outcome;
    if (!run.Start(FPlan, [&](const TProgrammingOutcome& Result) { outcome = Result; }))
      throw TCliFailure(kExitFailure, "Could not program: not connected");
    Session.Await([&] { return outcome.has_value(); }, "the programming");
    using TKind = TProgrammingOutcome::TKind;
    if (outcome->ReadBackWhole) Print(outcome->Differences, outcome->ReadBack, Out);
    if (outcome->Kind == TKind::Unconfirmed)
      throw TCliFailure(kExitFailure,
                        "The device did not confirm the programming in time: no "
                        "answer to \"" +
                            outcome->Unanswered + "\"");
    if (outcome->Kind == TKind::Failed) throw TCliFailure(kExitFailure, outcome->Error);
    return outcome->Kind == TKind::Done ? kExitOk : kExitDiffers;
  }

 private:
  // Each register that does not hold what was sent: what the device reports beside it.
  void Print(const std::vector<TProgramDifference>& Differences,
             const std::vector<std::string>& ReadBack, TCliOutput& Out) {
    TParameterList held;
    Fill(held, ReadBack);
    std::vector<std::pair<std::string, std::string>> read, programmed;
    std::vector<std::string> highlighted;
    for (const TProgramDifference& d : Differences) {
      read.emplace_back(d.Name, d.Reported ? JsonString(d.Held) : "null");
      programmed.emplace_back(d.Name, JsonString(d.Sent));
      if (held.IsHighlighted(d.Name)) highlighted.push_back(JsonString(d.Name));
      if (!FJson)
        Out.Line(d.Name + ": programmed " + d.Sent + ", read back " +
                 (d.Reported ? d.Held : "(not reported)"));
    }
    if (FJson)
      Out.Line(JsonObject({{"values", JsonObject(read)},
                           {"programmed", JsonObject(programmed)},
                           {"highlighted", JsonArray(highlighted)}}));
  }

  bool FJson;
  TParameterList FPreset;
  TSubmitPlan FPlan;
};

class TDiag : public TCliCommand {
 public:
  explicit TDiag(bool Json) : FJson(Json) {}
  int Run(TCliSession& Session, TCliOutput& Out) override {
    std::vector<std::string> replies[3];
    const char* commands[3] = {"r?", "i?", "diag"};
    for (int i = 0; i < 3; ++i) {
      replies[i] = i < 2 ? Session.RequestList(commands[i]) : Session.Request(commands[i]);
      if (!FJson) PrintLines(replies[i], false, Out);
    }
    if (!FJson) return kExitOk;
    TParameterList registers, status;
    Fill(registers, replies[0]);
    Fill(status, replies[1]);
    Out.Line(JsonObject({{"registers", ListJson(registers)},
                         {"status", ListJson(status)},
                         {"diagnostics", LinesJson(replies[2])}}));
    return kExitOk;
  }

 private:
  bool FJson;
};

class TSend : public TCliCommand {
 public:
  TSend(std::string Line, bool Json) : FLine(std::move(Line)), FJson(Json) {}
  int Run(TCliSession& Session, TCliOutput& Out) override {
    PrintLines(Session.Request(FLine), FJson, Out);
    return kExitOk;
  }

 private:
  std::string FLine;
  bool FJson;
};

}  // namespace

void LoadPreset(TParameterList& Preset, const std::string& FileName) {
  try {
    Preset.LoadFromFile(FileName);
  } catch (const std::exception& e) {
    throw TCliFailure(kExitFailure, e.what());
  }
}

std::unique_ptr<TCliCommand> PrepareCommand(const TCliOptions& Options) {
  const std::string& c = Options.Command;
  if (c == "version") return std::make_unique<TVersion>(Options.Json);
  if (c == "status") return std::make_unique<TReadList>("i?", Options.Json, "", false);
  if (c == "registers")
    return std::make_unique<TReadList>("r?", Options.Json, Options.Argument, Options.OwnFiles);
  if (c == "program") return std::make_unique<TProgram>(Options.Argument, Options.Json);
  if (c == "diag") return std::make_unique<TDiag>(Options.Json);
  if (c == "diff") return MakeDiffCommand(Options.Argument, Options.Json);
  return std::make_unique<TSend>(Options.Argument, Options.Json);
}
