#include "session/uPresetCompare.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include "markup/uHtmlEscape.h"
#include "markup/uIncludeTags.h"
#include "params/uStorage.h"
#include "rtl/LocaleCompare.h"

namespace {

std::string NameOf(const std::string& Line) {
  return Line.substr(0, Line.find('='));
}

bool SameWord(const std::string& A, const char* B) {
  return ::strcasecmp(A.c_str(), B) == 0;
}

// The few references a caption in our templates uses; any other stays as written.
std::string ReadReferences(const std::string& Text) {
  static const std::pair<const char*, char> named[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  for (size_t i = 0; i < Text.size(); ++i) {
    bool read = false;
    for (const auto& [reference, c] : named)
      if (Text.compare(i, strlen(reference), reference) == 0) {
        out += c;
        i += strlen(reference) - 1;
        read = true;
        break;
      }
    if (!read && Text.compare(i, 2, "&#") == 0) {
      size_t end = i + 2;
      int code = 0;
      while (end < Text.size() && std::isdigit(static_cast<unsigned char>(Text[end])) && code < 256)
        code = code * 10 + (Text[end++] - '0');
      if (end > i + 2 && end < Text.size() && Text[end] == ';' && code > 0 && code < 256) {
        out += static_cast<char>(code);
        i = end;
        read = true;
      }
    }
    if (!read) out += Text[i];
  }
  return out;
}

std::string CollapseBlanks(const std::string& Text) {
  std::string out;
  for (char c : Text) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!blank) {
      out += c;
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The text that opens the element whose start tag holds the tag ending at After.
std::string CaptionAfter(std::string_view Page, size_t After) {
  const size_t close = Page.find('>', After);
  const size_t open = Page.find('<', After);
  if (close == std::string_view::npos || open < close) return {};
  const size_t end = Page.find('<', close + 1);
  const std::string text(
      Page.substr(close + 1, end == std::string_view::npos ? end : end - close - 1));
  return ReadReferences(CollapseBlanks(text));
}

std::string LabelOf(const TRegisterLabels& Labels, const std::string& Name) {
  for (const auto& [name, label] : Labels)
    if (AnsiCompareText(name, Name) == 0) return label;
  return {};
}

std::string Cell(const std::string& Text) {
  return "<td>" + HtmlEscape(Text) + "</td>";
}

std::string Row(const TRegisterDifference& D, TComparePart Part) {
  const std::string absent = "<td class=\"none\">-</td>";
  return "<tr><td class=\"code\">" + HtmlEscape(D.Name) + "</td>" + Cell(D.Label) +
         (Part == TComparePart::OnlyInPreset ? absent : Cell(D.Device)) +
         (Part == TComparePart::OnlyOnDevice ? absent : Cell(D.Preset)) + "</tr>\r\n";
}

bool PartNamed(const std::string& Name, TComparePart& Part) {
  if (SameWord(Name, "differ")) return Part = TComparePart::Differ, true;
  if (SameWord(Name, "device")) return Part = TComparePart::OnlyOnDevice, true;
  if (SameWord(Name, "preset")) return Part = TComparePart::OnlyInPreset, true;
  return false;
}

}  // namespace

TRegisterLabels RegisterLabels(std::string_view Page) {
  TRegisterLabels labels;
  for (const TIncludeTagSpan& span : FindIncludeTags(Page)) {
    if (!SameWord(span.Tag.Command, "hl") || span.Tag.Params.empty()) continue;
    const std::string name = NameOf(span.Tag.Params.front());
    const std::string caption = CaptionAfter(Page, span.Start + span.Length);
    if (!name.empty() && !caption.empty() && LabelOf(labels, name).empty())
      labels.emplace_back(name, caption);
  }
  return labels;
}

TPresetComparison ComparePreset(TParameterList& Device, TParameterList& Preset,
                                const TRegisterLabels& Labels) {
  TPresetComparison result;
  auto entry = [&](const std::string& Line) {
    TRegisterDifference d;
    d.Name = NameOf(Line);
    d.Label = LabelOf(Labels, d.Name);
    return d;
  };
  auto value = [](const std::string& Line) { return Line.substr(Line.find('=') + 1); };
  // Both lists keep their entries sorted by the same name order: one walk through both.
  int32_t i = 0, j = 0;
  while (i < Device.Count() || j < Preset.Count()) {
    const std::string held = i < Device.Count() ? Device.GetLine(i) : std::string();
    const std::string wanted = j < Preset.Count() ? Preset.GetLine(j) : std::string();
    const int order = i >= Device.Count()   ? 1
                      : j >= Preset.Count() ? -1
                                            : AnsiCompareText(NameOf(held), NameOf(wanted));
    if (order < 0) {
      TRegisterDifference d = entry(held);
      d.Device = value(held);
      result.OnlyOnDevice.push_back(std::move(d));
      ++i;
    } else if (order > 0) {
      TRegisterDifference d = entry(wanted);
      d.Preset = value(wanted);
      result.OnlyInPreset.push_back(std::move(d));
      ++j;
    } else {
      if (value(held) != value(wanted)) {
        TRegisterDifference d = entry(held);
        d.Device = value(held);
        d.Preset = value(wanted);
        result.Differ.push_back(std::move(d));
      }
      ++i, ++j;
    }
  }
  return result;
}

std::string_view ComparePartHeading(TComparePart Part) {
  switch (Part) {
    case TComparePart::Differ:
      return "Values that differ";
    case TComparePart::OnlyOnDevice:
      return "Only on the device";
    case TComparePart::OnlyInPreset:
      break;
  }
  return "Only in the preset";
}

const std::vector<TRegisterDifference>& ComparePart(const TPresetComparison& Comparison,
                                                    TComparePart Part) {
  switch (Part) {
    case TComparePart::Differ:
      return Comparison.Differ;
    case TComparePart::OnlyOnDevice:
      return Comparison.OnlyOnDevice;
    case TComparePart::OnlyInPreset:
      break;
  }
  return Comparison.OnlyInPreset;
}

std::string CompareSummary(const TPresetComparison& Comparison) {
  if (Comparison.Same()) return "The device's registers match the preset";
  return std::to_string(Comparison.Differ.size()) + " differ, " +
         std::to_string(Comparison.OnlyOnDevice.size()) + " only on the device, " +
         std::to_string(Comparison.OnlyInPreset.size()) + " only in the preset";
}

bool FillCompareTag(const std::string& Command, const std::vector<std::string>& Params,
                    const TPresetComparison& Comparison, const std::string& PresetName,
                    std::string& Replacement) {
  if (!SameWord(Command, "cmp") || Params.empty()) return false;
  const std::string& first = Params.front();
  const std::string what = NameOf(first);
  const std::string part = first.substr(what.size() + (what.size() < first.size()));
  TComparePart p{};
  if (SameWord(what, "summary")) {
    Replacement = HtmlEscape(CompareSummary(Comparison));
  } else if (SameWord(what, "preset")) {
    Replacement = HtmlEscape(PresetName);
  } else if (SameWord(what, "count") && PartNamed(part, p)) {
    Replacement = std::to_string(ComparePart(Comparison, p).size());
  } else if (SameWord(what, "rows") && PartNamed(part, p)) {
    Replacement.clear();
    for (const TRegisterDifference& d : ComparePart(Comparison, p)) Replacement += Row(d, p);
    if (Replacement.empty()) Replacement = "<tr><td colspan=\"4\" class=\"none\">None</td></tr>";
  } else {
    return false;
  }
  return true;
}
