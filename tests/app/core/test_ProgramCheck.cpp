#include <gtest/gtest.h>

#include "app/core/uPresetCheck.h"
#include "app/core/uProgramCheck.h"
#include "params/uStorage.h"

namespace {

void Fill(TParameterList& List, const std::vector<std::string>& Lines) {
  for (const std::string& line : Lines) List.AddLine(line);
}

}  // namespace

TEST(ProgramCheck, EveryRegisterSentIsComparedWithTheReadBack) {
  TSubmitPlan plan;
  plan.Lines = {"r100=abc", "r101=0", ";note=x", "r400=Depot north", "r402="};
  plan.Request = "r500=9";
  TParameterList held;
  Fill(held, {"R100=42 ;** changed", "r101=0", "r400=\"Depot north\"", "r402="});
  const std::vector<TProgramDifference> d = CompareProgrammed(plan, held);
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].Name, "r100");
  EXPECT_EQ(d[0].Sent, "abc");
  EXPECT_EQ(d[0].Held, "42");
  EXPECT_TRUE(d[0].Reported);
  EXPECT_EQ(d[1].Name, "r500");
  EXPECT_FALSE(d[1].Reported);

  EXPECT_EQ(ProgrammingErrorText(false, {}), "");
  EXPECT_EQ(ProgrammingErrorText(false, d),
            "These registers do not hold what was programmed (name: value sent, value held):\r\n"
            "r100: \"abc\", \"42\"\r\nr500: \"9\", not reported\r\n"
            "The registers page shows what the device holds now.");
  EXPECT_EQ(ProgrammingErrorText(true, {}),
            "The Tallybox did not confirm the programming in time (10 s).\r\n"
            "The registers page shows what the device holds now.");
}

TEST(PresetCheck, ThePagesRegistersThePresetLacksAreNamedAndMarked) {
  const std::string page =
      "<td <!--#hl r100=\"\"-->>Count</td><input <!--#val r100=\"\"-->>"
      "<input <!--#CB r200=\"on\"-->><option <!--#op r302=\"9600\"-->><option <!--#op "
      "r302=\"2400\"-->>"
      "<!--#txt i900=\"\"--><!-- #val r999 -->";
  const std::vector<std::string> registers = PageRegisters(page);
  EXPECT_EQ(registers, (std::vector<std::string>{"r100", "r200", "r302"}));
  TParameterList preset;
  Fill(preset, {"R100=7", "r302="});
  const std::vector<std::string> missing = MissingRegisters(registers, preset);
  EXPECT_EQ(missing, std::vector<std::string>{"r200"});
  EXPECT_EQ(MissingRegistersText(missing),
            "These registers are not in the preset and would be programmed empty: r200");
  EXPECT_EQ(MissingRegistersText({}), "");
  EXPECT_TRUE(MarksMissingRegister("HL", {"R200="}, missing));
  EXPECT_FALSE(MarksMissingRegister("hl", {"r100="}, missing));
  EXPECT_FALSE(MarksMissingRegister("val", {"r200="}, missing));
  EXPECT_FALSE(MarksMissingRegister("hl", {}, missing));
}
