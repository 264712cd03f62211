#include "cli/uCliDiff.h"

#include "cli/uCliCommands.h"
#include "cli/uCliExit.h"
#include "cli/uCliOutput.h"
#include "cli/uCliSession.h"
#include "cli/uJson.h"
#include "params/uStorage.h"
#include "rtl/FileBytes.h"
#include "rtl/ProgramFolder.h"
#include "session/uDialogue.h"
#include "session/uPageFolders.h"
#include "session/uPresetCompare.h"

namespace {

// The captions of the registers page the main window would show this device.
TRegisterLabels PageLabels(TCliSession& Session) {
  const std::string pages = PageTemplateFolder();
  const std::string folder =
      SelectPageFolder(ListPageFolders(pages), Session.LoginParams().GetValue("i900"));
  try {
    return RegisterLabels(ReadFileBytes(pages + folder + "/regs.htm"));
  } catch (const std::exception&) {
    return {};  // no pages beside the program: names without captions
  }
}

const char* JsonKey(TComparePart Part) {
  switch (Part) {
    case TComparePart::Differ:
      return "differ";
    case TComparePart::OnlyOnDevice:
      return "only_on_device";
    case TComparePart::OnlyInPreset:
      break;
  }
  return "only_in_preset";
}

std::string Line(const TRegisterDifference& D, TComparePart Part) {
  std::string line = "  " + D.Name + (D.Label.empty() ? "" : " " + D.Label) + ":";
  if (Part != TComparePart::OnlyInPreset) line += " device " + D.Device;
  if (Part == TComparePart::Differ) line += ",";
  if (Part != TComparePart::OnlyOnDevice) line += " preset " + D.Preset;
  return line;
}

std::string Json(const TPresetComparison& Comparison) {
  std::vector<std::pair<std::string, std::string>> members{
      {"match", Comparison.Same() ? "true" : "false"}};
  std::vector<std::pair<std::string, std::string>> counts;
  for (TComparePart part : kCompareParts) {
    std::vector<std::string> items;
    for (const TRegisterDifference& d : ComparePart(Comparison, part)) {
      std::vector<std::pair<std::string, std::string>> item{
          {"name", JsonString(d.Name)}, {"label", d.Label.empty() ? "null" : JsonString(d.Label)}};
      if (part != TComparePart::OnlyInPreset) item.emplace_back("device", JsonString(d.Device));
      if (part != TComparePart::OnlyOnDevice) item.emplace_back("preset", JsonString(d.Preset));
      items.push_back(JsonObject(item));
    }
    members.emplace_back(JsonKey(part), JsonArray(items));
    counts.emplace_back(JsonKey(part), std::to_string(items.size()));
  }
  members.emplace_back("counts", JsonObject(counts));
  return JsonObject(members);
}

class TDiff : public TCliCommand {
 public:
  TDiff(const std::string& FileName, bool Json) : FJson(Json) { LoadPreset(FPreset, FileName); }

  int Run(TCliSession& Session, TCliOutput& Out) override {
    TParameterList device;
    for (const std::string& line : Session.RequestList("r?")) device.AddLine(line);
    const TPresetComparison comparison = ComparePreset(device, FPreset, PageLabels(Session));
    if (FJson) {
      Out.Line(Json(comparison));
    } else {
      for (TComparePart part : kCompareParts) {
        const auto& registers = ComparePart(comparison, part);
        Out.Line(std::string(ComparePartHeading(part)) + ": " + std::to_string(registers.size()));
        for (const TRegisterDifference& d : registers) Out.Line(Line(d, part));
      }
    }
    return comparison.Same() ? kExitOk : kExitDiffers;
  }

 private:
  bool FJson;
  TParameterList FPreset;
};

}  // namespace

std::unique_ptr<TCliCommand> MakeDiffCommand(const std::string& FileName, bool Json) {
  return std::make_unique<TDiff>(FileName, Json);
}
