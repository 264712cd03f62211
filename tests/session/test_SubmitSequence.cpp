#include "session/uSubmitSequence.h"

#include <gtest/gtest.h>

#include "params/uStorage.h"

namespace {

using TKind = TSubmitPlan::TKind;

std::vector<std::string> Entries(TParameterList& List) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < List.Count(); ++i) lines.push_back(List.GetLine(i));
  return lines;
}

struct TSubmitCase {
  const char* What;
  std::vector<std::string> Before, Fields;
  TKind Kind;
  std::vector<std::string> Lines;
  std::string Request;
  std::vector<std::string> After;
};

const TSubmitCase SubmitCases[] = {
    {"one field sends every register, the last as the request",
     {"r1=1", "r2=2", "r3=3"},
     {"r2=20"},
     TKind::Send,
     {"r1=1", "r2=20"},
     "r3=3",
     {"r1=1", "r2=20", "r3=3"}},
    {"fields merge by name ignoring case and keep the first spelling",
     {"r1=1", "R2=2"},
     {"r2=5", "r9=9"},
     TKind::Send,
     {"r1=1", "R2=5"},
     "r9=9",
     {"r1=1", "R2=5", "r9=9"}},
    {"entries beginning with ; are not written",
     {"r1=1", "r2=2"},
     {"; x=1", ";y=2"},
     TKind::Send,
     {"r1=1"},
     "r2=2",
     {"; x=1", ";y=2", "r1=1", "r2=2"}},
    {"the last entry is the request even when it begins with ;",
     {";a=1"},
     {";b=2"},
     TKind::Send,
     {},
     ";b=2",
     {";a=1", ";b=2"}},
    {"a lone field into an empty list is only the request",
     {},
     {"r9=5"},
     TKind::Send,
     {},
     "r9=5",
     {"r9=5"}},
    {"fields without = are ignored", {"r1=1"}, {"junk"}, TKind::Send, {}, "r1=1", {"r1=1"}},
    {"nothing to send", {}, {}, TKind::Nothing, {}, "", {}},
    {"nothing to send from fields without =", {}, {"junk"}, TKind::Nothing, {}, "", {}},
    {"CR LF in a value",
     {"r1=1", "r2=2"},
     {"r1=7", "r2=2\r\nr900=0"},
     TKind::Refused,
     {},
     "",
     {"r1=1", "r2=2"}},
    {"lone LF in a value", {"r1=1"}, {"r1=1\nbye"}, TKind::Refused, {}, "", {"r1=1"}},
    {"lone CR in a name", {"r1=1"}, {"r\r1=5"}, TKind::Refused, {}, "", {"r1=1"}},
    {"line break in a field without =", {"r1=1"}, {"x\ny"}, TKind::Refused, {}, "", {"r1=1"}},
    {"backspaces in a value", {"r1=1"}, {"r1=x\b\b\bhelp"}, TKind::Refused, {}, "", {"r1=1"}},
    {"DEL or a tab in a value", {"r1=1"}, {"r2=\x7f", "r3=a\tb"}, TKind::Refused, {}, "", {"r1=1"}},
    {"escape already in the list", {"r1=\x1b[2J"}, {}, TKind::Refused, {}, "", {"r1=\x1b[2J"}},
    {"line break already in the list",
     {"r1=1\rbye"},
     {"r2=2"},
     TKind::Refused,
     {},
     "",
     {"r1=1\rbye"}},
};

}  // namespace

TEST(SubmitSequence, PlansEveryRegisterInNameOrderAndRefusesControlBytes) {
  for (const TSubmitCase& c : SubmitCases) {
    SCOPED_TRACE(c.What);
    TParameterList list;
    for (const std::string& line : c.Before) list.AddLine(line);
    const TSubmitPlan plan = PlanSubmit(list, c.Fields);
    EXPECT_EQ(plan.Kind, c.Kind);
    EXPECT_EQ(plan.Lines, c.Lines);
    EXPECT_EQ(plan.Request, c.Request);
    EXPECT_EQ(plan.Message.empty(), c.Kind == TKind::Send);
    EXPECT_EQ(Entries(list), c.After);
  }
}

TEST(SubmitSequence, RefusalNamesTheFieldOnOneLine) {
  TParameterList list;
  const TSubmitPlan plan = PlanSubmit(list, {"r1=1", "r\n2=2\r\nr900=0"});
  EXPECT_EQ(plan.Message,
            "The register \"r 2\" holds a line break, which the Tallybox would take as a further "
            "command. Nothing was programmed.");
  EXPECT_EQ(PlanSubmit(list, {"r401=0800\b"}).Message,
            "The register \"r401\" holds the control character 0x08, which the Tallybox's line "
            "editor would act on. Nothing was programmed.");
  EXPECT_EQ(PlanSubmit(list, {}).Message, kNothingToProgram);
}

TEST(SubmitSequence, SendsLinesWithCrLfThenTheRequestWithItsLongTimeout) {
  TParameterList list;
  for (const char* line : {"r1=1", ";c=x", "r2=2", "r3=3"}) list.AddLine(line);

  std::string written;
  std::vector<std::pair<std::string, uint32_t>> requests;
  const auto write = [&](const std::string& Bytes) {
    EXPECT_TRUE(requests.empty()) << "a line written after the request";
    written += Bytes;
  };
  const auto send = [&](const std::string& Text, uint32_t Ms) { requests.emplace_back(Text, Ms); };

  SendSubmitPlan(PlanSubmit(list, {"r2=22"}), write, send);
  EXPECT_EQ(written, "r1=1\r\nr2=22\r\n");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], std::make_pair(std::string("r3=3"), uint32_t{10000}));

  written.clear();
  requests.clear();
  SendSubmitPlan(PlanSubmit(list, {"r2=\r\nr900=0"}), write, send);
  SendSubmitPlan(PlanSubmit(*std::make_unique<TParameterList>(), {}), write, send);
  EXPECT_EQ(written, "");
  EXPECT_TRUE(requests.empty());
}
