#include "session/uProgrammedNote.h"

#include <gtest/gtest.h>

// What a confirmed run says: the fields that took a new value (a check box's last value
// counts, a quoted value as the list keeps it, names in any case), a few named, the rest
// counted.
TEST(ProgrammedNote, NamesWhatChangedAndCountsTheRest) {
  TParameterList before;
  for (const char* line : {"r100=7", "r200=on", "r405=\"collector.test\"", "R500=Abc"})
    before.AddLine(line);
  const std::vector<std::string> changed =
      ChangedFields(before, {"r100=7", "r200=off", "r200=on", "r405=\"collector.test\"", "r500=abc",
                             "r600=1", "no equals sign"});
  EXPECT_EQ(changed, (std::vector<std::string>{"r500=abc", "r600=1"}));
  EXPECT_EQ(ProgrammedEvent(24, changed), "Programmed 24 registers; changed: r500=abc, r600=1");
  EXPECT_EQ(ProgrammedNote(changed), "Programmed: 2 changed");
  EXPECT_EQ(ProgrammedEvent(1, {}), "Programmed 1 register; nothing changed");
  EXPECT_EQ(ProgrammedNote({}), "Programmed: nothing changed");
  const std::vector<std::string> many = {"a=1", "b=2", "c=3", "d=4", "e=5", "f=6", "g=7", "h=8"};
  EXPECT_EQ(ProgrammedEvent(8, many),
            "Programmed 8 registers; changed: a=1, b=2, c=3, d=4, e=5, f=6 and 2 more");
}
