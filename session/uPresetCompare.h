// A device's registers compared with a register preset: the registers whose values differ,
// those only the device reports and those only the preset holds, each with the caption the
// registers page gives it. The main window shows the result on the compare page (through its
// "cmp" include tags); tallybox-cli diff prints it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TParameterList;

struct TRegisterDifference {
  std::string Name;    // as the device spells it, else as the preset does
  std::string Label;   // the registers page's caption; empty when the page has none
  std::string Device;  // empty for a register only in the preset
  std::string Preset;  // empty for a register only on the device
};

struct TPresetComparison {
  std::vector<TRegisterDifference> Differ, OnlyOnDevice, OnlyInPreset;
  bool Same() const { return Differ.empty() && OnlyOnDevice.empty() && OnlyInPreset.empty(); }
};

using TRegisterLabels = std::vector<std::pair<std::string, std::string>>;  // name, caption

// The caption of each register on a registers page: the text that opens the element holding
// the register's "hl" tag (up to its first child element or its end), blanks run together and
// the character references &amp; &lt; &gt; &quot; &#39; and &#N; read. A register without an
// "hl" tag, or whose element opens with no text, has no caption. Never throws on any text.
TRegisterLabels RegisterLabels(std::string_view Page);

// Device against Preset, each in name order. Names compare as the lists compare them (case
// ignored), values exactly, so "on" and "ON" differ as they would after programming.
TPresetComparison ComparePreset(TParameterList& Device, TParameterList& Preset,
                                const TRegisterLabels& Labels);

// The action of the compare page's form, whose button loads the preset.
inline constexpr std::string_view kLoadPresetAction = "load";

// The open dialog that picks the preset.
inline constexpr std::string_view kCompareDialogTitle = "Compare Registers";

// The three parts in the order they are shown, with their headings.
enum class TComparePart { Differ, OnlyOnDevice, OnlyInPreset };
inline constexpr TComparePart kCompareParts[] = {TComparePart::Differ, TComparePart::OnlyOnDevice,
                                                 TComparePart::OnlyInPreset};
std::string_view ComparePartHeading(TComparePart Part);
const std::vector<TRegisterDifference>& ComparePart(const TPresetComparison& Comparison,
                                                    TComparePart Part);

// "2 differ, 1 only on the device, 0 only in the preset", or that they match.
std::string CompareSummary(const TPresetComparison& Comparison);

// Fills the compare page's include tags, "cmp" with one parameter (command word in any case):
//   rows="differ|device|preset"   the part's table rows: name, caption, device value, preset
//                                 value ("-" where the register is absent), or one "None" row;
//   count="..."                   the number of registers in that part;
//   summary                       CompareSummary;  preset  PresetName.
// Every device and preset text is escaped with HtmlEscape. Returns false, leaving Replacement
// as it is, for any other tag.
bool FillCompareTag(const std::string& Command, const std::vector<std::string>& Params,
                    const TPresetComparison& Comparison, const std::string& PresetName,
                    std::string& Replacement);
