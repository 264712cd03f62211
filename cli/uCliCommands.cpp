#include "cli/uCliCommands.h"

#include <cstring>
#include <filesystem>
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
#include "rtl/LocaleCompare.h"
#include "rtl/OwnFolder.h"
#include "session/uDialogue.h"
#include "session/uPresetFolder.h"
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

// Whether List holds an entry called Name, compared as the list compares names.
bool Holds(TParameterList& List, const std::string& Name) {
  for (int32_t i = 0; i < List.Count(); ++i) {
    const std::string line = List.GetLine(i);
    if (AnsiCompareText(line.substr(0, line.find('=')), Name) == 0) return true;
  }
  return false;
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
    Fill(list, Session.Request(FCommand, TDialogue::CommandTimeout));
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

  int Run(TCliSession& Session, TCliOutput& Out) override {
    SendSubmitPlan(
        FPlan, [&](const std::string& Bytes) { Session.WriteAnswered(Bytes); },
        [&](const std::string& Text, uint32_t Timeout) { Session.Request(Text, Timeout); });
    TParameterList readBack;
    Fill(readBack, Session.Request("r?", TDialogue::CommandTimeout));
    return Compare(readBack, Out);
  }

 private:
  // Every line sent is compared with what the device now reports.
  int Compare(TParameterList& ReadBack, TCliOutput& Out) {
    std::vector<std::string> sent = FPlan.Lines;
    sent.push_back(FPlan.Request);
    std::vector<std::pair<std::string, std::string>> read, programmed;
    std::vector<std::string> highlighted;
    for (const std::string& line : sent) {
      const std::string name = line.substr(0, line.find('='));
      const std::string want = FPreset.GetValue(name);
      const std::string got = ReadBack.GetValue(name);
      const bool present = !got.empty() || Holds(ReadBack, name);
      if (present && got == want) continue;
      read.emplace_back(name, present ? JsonString(got) : "null");
      programmed.emplace_back(name, JsonString(want));
      if (ReadBack.IsHighlighted(name)) highlighted.push_back(JsonString(name));
      if (!FJson)
        Out.Line(name + ": programmed " + want + ", read back " +
                 (present ? got : "(not reported)"));
    }
    if (FJson)
      Out.Line(JsonObject({{"values", JsonObject(read)},
                           {"programmed", JsonObject(programmed)},
                           {"highlighted", JsonArray(highlighted)}}));
    return read.empty() ? kExitOk : kExitDiffers;
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
      replies[i] = Session.Request(commands[i], TDialogue::CommandTimeout);
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
    PrintLines(Session.Request(FLine, TDialogue::CommandTimeout), FJson, Out);
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
