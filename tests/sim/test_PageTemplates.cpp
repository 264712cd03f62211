// The shipped page templates against the simulated device: every register and information
// item the device reports has its include tags, every tag names something the device
// reports, and the pages use every tag kind, a form, the stylesheet and real images.
#include "sim/uSimDevice.h"
#include "sim/uSimRegisters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

struct TTag {
  std::string Kind, Name, Value;
};

std::string ReadPage(const std::string& Relative) {
  std::ifstream file(std::string(TALLYBOX_PAGES_DIR) + "/" + Relative, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<TTag> Tags(const std::string& Page) {
  static const std::regex tag(R"re(<!--#(\w+)\s+([^=\s]+)="([^"]*)"\s*-->)re");
  std::vector<TTag> tags;
  for (auto it = std::sregex_iterator(Page.begin(), Page.end(), tag); it != std::sregex_iterator();
       ++it)
    tags.push_back({(*it)[1], (*it)[2], (*it)[3]});
  return tags;
}

// Every include tag in the page parses as a tag: nothing malformed is left for the view.
std::size_t CountTagOpenings(const std::string& Page) {
  std::size_t count = 0;
  for (auto at = Page.find("<!--#"); at != std::string::npos; at = Page.find("<!--#", at + 1))
    ++count;
  return count;
}

std::set<std::string> InfoNames(const std::string& Version) {
  TSimDevice device(Version, 0);
  std::set<std::string> names;
  std::istringstream reply(device.InfoReply(0));
  for (std::string line; std::getline(reply, line);) names.insert(line.substr(0, line.find('=')));
  return names;
}

class PageTemplates : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(PageTemplates, RegistersPageHasAFieldForEveryRegisterOfItsVersion) {
  const std::string version = GetParam();
  const auto page = ReadPage("v" + version + "/regs.htm");
  ASSERT_FALSE(page.empty());
  const auto tags = Tags(page);
  EXPECT_EQ(tags.size(), CountTagOpenings(page));
  std::map<std::string, std::multiset<std::string>> byName;  // name -> "kind:value"
  for (const auto& tag : tags) byName[tag.Name].insert(tag.Kind + ":" + tag.Value);

  const TSimRegisterSet set(SimPageVersionNumber(version));
  for (std::size_t i = 0; i < set.Count(); ++i) {
    const auto& def = set.Def(i);
    SCOPED_TRACE(def.Name);
    std::multiset<std::string> expected{"hl:"};
    switch (def.Kind) {
      case TSimRegisterKind::Number:
      case TSimRegisterKind::Text:
        expected.insert("val:");
        break;
      case TSimRegisterKind::Flag:
        expected.insert("cb:on");
        EXPECT_NE(page.find("<input type=\"hidden\" name=\"" + def.Name + "\" value=\"off\">"),
                  std::string::npos);
        break;
      case TSimRegisterKind::Choice:
        for (const auto& choice : def.Choices)
          expected.insert((def.Choices.size() <= 3 ? "cb:" : "op:") + choice);
        break;
    }
    EXPECT_EQ(byName[def.Name], expected);
    byName.erase(def.Name);
  }
  byName.erase("i100");
  EXPECT_TRUE(byName.empty()) << "tags for something the device lacks: " << byName.begin()->first;
  EXPECT_NE(page.find("<form"), std::string::npos);
  EXPECT_NE(page.find("<button type=\"submit\""), std::string::npos);
  EXPECT_EQ(page.find("<button type=\"submit\" name="), std::string::npos)
      << "a named button would be programmed as a register";
}

TEST_P(PageTemplates, StatusPageShowsEveryInformationItem) {
  const std::string version = GetParam();
  const auto page = ReadPage("v" + version + "/info.htm");
  ASSERT_FALSE(page.empty());
  std::set<std::string> shown, highlighted;
  for (const auto& tag : Tags(page)) {
    if (tag.Kind == "txt") shown.insert(tag.Name);
    if (tag.Kind == "hl") highlighted.insert(tag.Name);
  }
  EXPECT_EQ(shown, InfoNames(version));
  EXPECT_EQ(highlighted, InfoNames(version));
}

INSTANTIATE_TEST_SUITE_P(Versions, PageTemplates, ::testing::Values("1.00", "1.10"),
                         [](const auto& info) {
                           std::string name = "v" + info.param;
                           name.erase(name.find('.'), 1);
                           return name;
                         });

TEST(PageTemplateSet, UsesEveryTagKindStylesheetAndImageKind) {
  std::set<std::string> kinds;
  std::string all;
  for (const char* page : {"home.htm", "wait.htm", "v1.00/info.htm", "v1.00/regs.htm",
                           "v1.10/info.htm", "v1.10/regs.htm"}) {
    const auto text = ReadPage(page);
    ASSERT_FALSE(text.empty()) << page;
    all += text;
    for (const auto& tag : Tags(text)) kinds.insert(tag.Kind);
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"cb", "hl", "op", "txt", "val"}));
  EXPECT_NE(ReadPage("tallybox.css").find(".fill"), std::string::npos);
  EXPECT_NE(all.find("<table"), std::string::npos);
  struct {
    const char* File;
    std::string Magic;
  } const images[] = {{"img/logo.png", "\x89PNG\r\n\x1a\n"},
                      {"img/spinner.gif", "GIF89a"},
                      {"img/device.jpg", "\xff\xd8\xff"}};
  for (const auto& image : images) {
    EXPECT_NE(all.find(std::filesystem::path(image.File).filename().string()), std::string::npos);
    EXPECT_EQ(ReadPage(image.File).substr(0, image.Magic.size()), image.Magic) << image.File;
  }
}
