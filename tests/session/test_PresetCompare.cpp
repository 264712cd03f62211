#include "session/uPresetCompare.h"

#include <gtest/gtest.h>

#include "params/uStorage.h"

namespace {

std::string Names(const std::vector<TRegisterDifference>& Part) {
  std::string out;
  for (const TRegisterDifference& d : Part)
    out += d.Name + "|" + d.Label + "|" + d.Device + "|" + d.Preset + ";";
  return out;
}

}  // namespace

TEST(PresetCompare, ListsWhatDiffersWhatOnlyEachSideHoldsWithTheRegistersPagesCaptions) {
  // The registers page's own markup; a caption with references, one that opens with an
  // element (none), and an "hl" outside any element's start tag (none).
  const TRegisterLabels labels = RegisterLabels(
      "<td class=\"code\">r100</td><td <!--#hl r100=\"\"-->>Site number</td>\r\n"
      "<td <!--#hl R400=\"\"-->>\r\n  Site &amp; name&#33; </td>"
      "<td <!--#hl r401=\"\"-->><b>Report</b> number</td><!--#hl r402=\"\"--> Backup<");
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[1].second, "Site & name!");

  TParameterList device, preset;
  for (const char* line : {"r100=42", "r200=on", "r300=pulse", "r400=\"Depot north\" ;** changed",
                           "r401=0800", "r500=1"})
    device.AddLine(line);
  for (const char* line : {"; Saved 2026-12-07 18:00:00", "R100=5", "r200=ON", "r300=pulse",
                           "r400=Depot <south>", "r401=0800", "r999=7"})
    preset.AddLine(line);
  const TPresetComparison c = ComparePreset(device, preset, labels);
  EXPECT_EQ(Names(c.Differ),
            "r100|Site number|42|5;r200||on|ON;r400|Site & name!|Depot north|"
            "Depot <south>;");
  EXPECT_EQ(Names(c.OnlyOnDevice), "r500||1|;");
  EXPECT_EQ(Names(c.OnlyInPreset), "r999|||7;");
  EXPECT_FALSE(c.Same());
  EXPECT_EQ(CompareSummary(c), "3 differ, 1 only on the device, 1 only in the preset");
  EXPECT_TRUE(ComparePreset(device, device, labels).Same());

  // The page's tags: counts, rows with every text escaped, "None" for an empty part.
  std::string out = "kept";
  EXPECT_FALSE(FillCompareTag("val", {"r100="}, c, "a.rgp", out));
  EXPECT_FALSE(FillCompareTag("cmp", {"rows=elsewhere"}, c, "a.rgp", out));
  EXPECT_EQ(out, "kept");
  ASSERT_TRUE(FillCompareTag("CMP", {"count=differ"}, c, "a.rgp", out));
  EXPECT_EQ(out, "3");
  ASSERT_TRUE(FillCompareTag("cmp", {"rows=differ"}, c, "a.rgp", out));
  EXPECT_NE(out.find("<td>Depot &lt;south&gt;</td>"), std::string::npos) << out;
  EXPECT_EQ(out.find("<south>"), std::string::npos);
  ASSERT_TRUE(FillCompareTag("cmp", {"rows=device"}, c, "a.rgp", out));
  EXPECT_EQ(out,
            "<tr><td class=\"code\">r500</td><td></td><td>1</td><td class=\"none\">-</td>"
            "</tr>\r\n");
  ASSERT_TRUE(FillCompareTag("cmp", {"rows=preset"}, TPresetComparison{}, "a.rgp", out));
  EXPECT_EQ(out, "<tr><td colspan=\"4\" class=\"none\">None</td></tr>");
  ASSERT_TRUE(FillCompareTag("cmp", {"preset="}, c, "<a>.rgp", out));
  EXPECT_EQ(out, "&lt;a&gt;.rgp");
}
