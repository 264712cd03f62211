// Include tag scanning and expansion on page text, without a display.
#include "markup/uIncludeTags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every call shown as "[command|p1|p2]" so one string tells what the handler saw, in order.
std::string ShowCalls(const std::string& Page) {
  return ExpandIncludeTags(Page,
                           [](const std::string& Command, const std::vector<std::string>& Params) {
                             std::string shown = "[" + Command;
                             for (const std::string& p : Params) shown += "|" + p;
                             return shown + "]";
                           });
}

struct TExpandCase {
  const char* Page;
  const char* Expanded;
};

TEST(IncludeTags, ExpandsEveryTagFormAndLeavesTheRestByteForByte) {
  const TExpandCase cases[] = {
      {"<!--#txt i900=\"\"-->", "[txt|i900=]"},
      {"a<!--#cb r200=\"on\"-->b", "a[cb|r200=on]b"},
      {"<!--#op r1='x y'-->", "[op|r1=x y]"},
      {"<!--#val r1=abc-->", "[val|r1=abc]"},
      {"<!--#val bare-->", "[val|bare=]"},
      {"<!--#hl  r1 = \"v\"   second  third=3 -->", "[hl|r1=v|second=|third=3]"},
      {"<!--#x_9 a=\"1\" b='2' c=3 d-->", "[x_9|a=1|b=2|c=3|d=]"},
      {"<!--#val-->", "[val]"},
      {"<!--#val\tname=\"a>b\"\n-->", "[val|name=a>b]"},
      {"<!--#cb a=\"it's\" b='say \"hi\"'-->", "[cb|a=it's|b=say \"hi\"]"},
      {"<!--#txt a=\"open-->", "[txt|a=open]"},
      {"<!--#VAL R1=\"\"-->", "[VAL|R1=]"},
      {"<!--#txt =x-->", "[txt|=x=]"},
      {"<!--#txt a=\"\xe9\x80\"-->", "[txt|a=\xe9\x80]"},
      {"<input <!--#val name=reg1--> size=8>", "<input [val|name=reg1] size=8>"},
      {"<td <!--#hl r1=\"\"-->><!--#txt r1=\"\"--></td>", "<td [hl|r1=]>[txt|r1=]</td>"},
      {"<option <!--#op r=\"a\"-->>a<option <!--#op r=\"b\"-->>b",
       "<option [op|r=a]>a<option [op|r=b]>b"},
      {"<!--#a--><!--#b-->", "[a][b]"},
      {"<!--#txt a=1--!>x", "[txt|a=1]x"},
      // Not include tags: left exactly as written.
      {"<!-- plain -->", "<!-- plain -->"},
      {"<!--# txt a=1-->", "<!--# txt a=1-->"},
      {"<!--#-->", "<!--#-->"},
      {"<!--#\xe9t-->", "<!--#\xe9t-->"},
      {"<!-- #txt a=1-->", "<!-- #txt a=1-->"},
      {"<!--#txt a=1", "<!--#txt a=1"},
      {"<!-- <!--#txt a=1--> -->", "<!-- <!--#txt a=1--> -->"},
      {"<!--><!--#t-->", "<!-->[t]"},
      {"<!---><!--#t-->", "<!--->[t]"},
      {"<!-- x --!><!--#t-->", "<!-- x --!>[t]"},
      {"", ""},
      {"no tags at all", "no tags at all"},
      {"<!--", "<!--"},
  };
  for (const TExpandCase& c : cases) EXPECT_EQ(ShowCalls(c.Page), c.Expanded) << "page: " << c.Page;
}

TEST(IncludeTags, HandlerTextIsNotScannedAgainAndNoHandlerRemovesTags) {
  const std::string page = "x<!--#a-->y<!--#b p=1-->z";
  const std::string nested = ExpandIncludeTags(
      page, [](const std::string&, const std::vector<std::string>&) { return "<!--#again-->"; });
  EXPECT_EQ(nested, "x<!--#again-->y<!--#again-->z");
  EXPECT_EQ(ExpandIncludeTags(page, TIncludeHandler()), "xyz");
  const std::string withNul("a\0<!--#t-->b", 12);
  EXPECT_EQ(ExpandIncludeTags(withNul, TIncludeHandler()), std::string("a\0b", 3));
}

TEST(IncludeTags, SpansCoverTheWholeComment) {
  const std::string page = "ab<!--#val r1=\"\"--> <!-- c --> <!--#txt-->";
  const std::vector<TIncludeTagSpan> spans = FindIncludeTags(page);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(page.substr(spans[0].Start, spans[0].Length), "<!--#val r1=\"\"-->");
  EXPECT_EQ(spans[0].Tag.Command, "val");
  EXPECT_EQ(spans[0].Tag.Params, std::vector<std::string>{"r1="});
  EXPECT_EQ(page.substr(spans[1].Start, spans[1].Length), "<!--#txt-->");
  EXPECT_TRUE(spans[1].Tag.Params.empty());
}

}  // namespace
