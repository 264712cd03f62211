#include "session/uIncludeFiller.h"

#include <gtest/gtest.h>

#include "params/uStorage.h"

namespace {

// What the device last reported: plain values, a highlighted one, and values that would
// break the page if they went in raw.
void AddDeviceValues(TParameterList& List) {
  for (const char* line : {"r1=12", "r2=ON", "r5=7 ;** changed", "r3=a\"b<c>&d'e",
                           "r4=<script>alert(1)</script>", "i100=Tally & Co <b>"})
    List.AddLine(line);
}

struct TTagCase {
  std::string Command;
  std::vector<std::string> Params;
  std::string Expected;
  std::string Initial = "";
};

const TTagCase TagCases[] = {
    // val: the list's value under the tag's name
    {"val", {"r1="}, R"(name="r1" value="12")"},
    {"VaL", {"R1=ignored"}, R"(name="R1" value="12")"},
    {"val", {"zz="}, R"(name="zz" value="")"},
    {"val", {"r1=", "r2="}, R"(name="r1" value="12")"},
    {"val", {"r1="}, R"(name="r1" value="12")", "replaced"},
    // txt: the bare value
    {"txt", {"r1="}, "12"},
    {"TXT", {"r1"}, "12"},
    {"txt", {"zz="}, ""},
    // hl: only for a highlighted register
    {"hl", {"r5="}, R"(class="fill")"},
    {"Hl", {"R5="}, R"(class="fill")"},
    {"hl", {"r1="}, ""},
    {"hl", {"zz="}, ""},
    // cb: the tag's own value, checked when the register holds it, in any case
    {"cb", {"r2=on"}, R"(name="r2" value="on" checked)"},
    {"CB", {"r2=On"}, R"(name="r2" value="On" checked)"},
    {"cb", {"r2=off"}, R"(name="r2" value="off")"},
    {"cb", {"zz=on"}, R"(name="zz" value="on")"},
    {"cb", {"r2=on"}, R"(<input name="r2" value="on" checked)", "<input "},
    // op: likewise, selected
    {"op", {"r2=on"}, R"(value="on" selected)"},
    {"oP", {"r2=Off"}, R"(value="Off")"},
    {"op", {"zz=on"}, R"(value="on")"},
    // nothing for no parameters or an unknown command word
    {"val", {}, ""},
    {"cb", {}, "", "<input "},
    {"txt", {}, ""},
    {"vals", {"r1="}, ""},
    {"", {"r1="}, ""},
    {std::string("val\0x", 5), {"r1="}, ""},
    // device text and tag text are escaped for where they go
    {"val", {"r3="}, R"(name="r3" value="a&quot;b&lt;c&gt;&amp;d&#39;e")"},
    {"txt", {"r4="}, "&lt;script&gt;alert(1)&lt;/script&gt;"},
    {"txt", {"i100="}, "Tally &amp; Co &lt;b&gt;"},
    {"val", {"a\"b="}, R"(name="a&quot;b" value="")"},
    {"cb", {"r2=x\" onclick=\"y"}, R"(name="r2" value="x&quot; onclick=&quot;y")"},
    {"op",
     {"r4=<script>alert(1)</script>"},
     R"(value="&lt;script&gt;alert(1)&lt;/script&gt;" selected)"},
};

}  // namespace

TEST(IncludeFiller, EachTagKindFillsFromTheListAndEscapesWhatItInserts) {
  for (const TTagCase& c : TagCases) {
    TParameterList list;
    AddDeviceValues(list);
    std::string replacement = c.Initial;
    FillIncludeTag(c.Command, c.Params, list, replacement);
    EXPECT_EQ(replacement, c.Expected.empty() ? c.Initial : c.Expected)
        << "command " << c.Command << " first parameter "
        << (c.Params.empty() ? "(none)" : c.Params.front());
  }
}

TEST(IncludeFiller, EscapeLeavesOrdinaryBytesAlone) {
  EXPECT_EQ(HtmlEscape("&<>\"'"), "&amp;&lt;&gt;&quot;&#39;");
  const std::string plain("r1 = 12; \xE9\t\0z", 12);
  EXPECT_EQ(HtmlEscape(plain), plain);
}
