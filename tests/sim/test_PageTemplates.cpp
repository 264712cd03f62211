// The shipped page templates against the simulated device: every register and information
// item the device reports has its include tags, every tag names something the device
// reports, and the pages use every tag kind, a form, the stylesheet and real images.
#include "params/uStorage.h"
#include "sim/uSimDevice.h"
#include "sim/uSimRegisters.h"

#include <gtest/gtest.h>
#include <strings.h>

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

namespace {

bool SameNoCase(const std::string& A, const std::string& B) {
  return strcasecmp(A.c_str(), B.c_str()) == 0;
}

// The page as the utility loads it: every include tag replaced from the parameter list.
std::string FillPage(const std::string& Page, TParameterList& Params) {
  static const std::regex tag(R"re(<!--#(\w+)([^>]*?)-->)re");
  static const std::regex parameter(R"re(([^\s=]+)="([^"]*)")re");
  std::string out;
  auto last = Page.cbegin();
  for (auto it = std::sregex_iterator(Page.begin(), Page.end(), tag); it != std::sregex_iterator();
       ++it) {
    out.append(last, (*it)[0].first);
    last = (*it)[0].second;
    const std::string command = (*it)[1], parameters = (*it)[2];
    std::smatch first;
    if (!std::regex_search(parameters, first, parameter)) continue;
    const std::string n = first[1], p = first[2], v = Params.GetValue(n);
    if (command == "val") {
      out += "name=\"" + n + "\" value=\"" + v + "\"";
    } else if (command == "txt") {
      out += v;
    } else if (command == "hl") {
      if (Params.IsHighlighted(n)) out += "class=\"fill\"";
    } else if (command == "cb") {
      out += "name=\"" + n + "\" value=\"" + p + "\"" + (SameNoCase(v, p) ? " checked" : "");
    } else if (command == "op") {
      out += "value=\"" + p + "\"" + (SameNoCase(v, p) ? " selected" : "");
    }
  }
  out.append(last, Page.cend());
  return out;
}

std::map<std::string, std::string> Attributes(const std::string& Text) {
  static const std::regex attribute(R"re((\w+)(?:="([^"]*)")?)re");
  std::map<std::string, std::string> attributes;
  for (auto it = std::sregex_iterator(Text.begin(), Text.end(), attribute);
       it != std::sregex_iterator(); ++it)
    attributes[(*it)[1]] = (*it)[2];
  return attributes;
}

// The fields a browser submits from the page's form, in document order, as name=value.
std::vector<std::string> SubmittedFields(const std::string& Page) {
  static const std::regex control(R"re(<input\b([^>]*)>|<select\b([^>]*)>([\s\S]*?)</select>)re");
  static const std::regex option(R"re(<option\b([^>]*)>)re");
  std::vector<std::string> fields;
  for (auto it = std::sregex_iterator(Page.begin(), Page.end(), control);
       it != std::sregex_iterator(); ++it) {
    if ((*it)[1].matched) {
      auto a = Attributes((*it)[1]);
      if (!a.count("name")) continue;
      const auto type = a["type"];
      if ((type == "checkbox" || type == "radio") && !a.count("checked")) continue;
      if (type == "submit" || type == "reset" || type == "button") continue;
      fields.push_back(a["name"] + "=" + a["value"]);
    } else {
      const auto name = Attributes((*it)[2])["name"];
      const std::string options = (*it)[3];
      std::string chosen;
      bool first = true;
      for (auto o = std::sregex_iterator(options.begin(), options.end(), option);
           o != std::sregex_iterator(); ++o) {
        auto a = Attributes((*o)[1]);
        if (first || a.count("selected")) chosen = a["value"];
        first = false;
      }
      fields.push_back(name + "=" + chosen);
    }
  }
  return fields;
}

// Submits the page: the fields go into the list, then every entry goes to the device as the
// utility writes it. Returns the device's replies that were not empty.
std::vector<std::string> Program(TSimDevice& Device, TParameterList& Params,
                                 const std::vector<std::string>& Fields) {
  for (const auto& field : Fields) Params.AddLine(field);
  std::vector<std::string> refusals;
  for (int32_t i = 0; i < Params.Count(); ++i) {
    const auto line = Params.GetLine(i);
    if (line.starts_with(";") && i + 1 < Params.Count()) continue;
    const auto reply = Device.Execute(line, false, 0).Reply;
    if (!reply.empty()) refusals.push_back(line + " -> " + reply);
  }
  return refusals;
}

// The device's reply to Command, read into the list as the utility reads it.
void ReadRegisters(TSimDevice& Device, TParameterList& Params, const char* Command = "r?") {
  TResponseSplitter splitter;
  splitter.Append(Device.Execute(Command, false, 0).Reply);
  Params.Clear();
  while (!splitter.IsEmpty()) Params.AddLine(splitter.NextLine());
}

}  // namespace

TEST_P(PageTemplates, RegistersPageSubmittedAsShownProgramsTheSameRegisters) {
  TSimDevice device(GetParam(), 0);
  const auto before = device.Registers().Reply();
  TParameterList params;
  ReadRegisters(device, params);
  const auto page = FillPage(ReadPage("v" + GetParam() + "/regs.htm"), params);
  EXPECT_EQ(page.find("<!--#"), std::string::npos);
  const auto fields = SubmittedFields(page);
  EXPECT_GE(fields.size(), device.Registers().Count());
  const auto refusals = Program(device, params, fields);
  EXPECT_TRUE(refusals.empty()) << refusals.front();
  EXPECT_EQ(device.Registers().Reply(), before);
  EXPECT_EQ(params.Count(), static_cast<int32_t>(device.Registers().Count()));
}

TEST_P(PageTemplates, RegistersPageWithEveryBoxClearedSwitchesEveryFlagOff) {
  TSimDevice device(GetParam(), 0);
  TParameterList params;
  ReadRegisters(device, params);
  auto page = FillPage(ReadPage("v" + GetParam() + "/regs.htm"), params);
  page = std::regex_replace(page, std::regex(R"re((type="checkbox"[^>]*) checked)re"), "$1");
  const auto refusals = Program(device, params, SubmittedFields(page));
  EXPECT_TRUE(refusals.empty()) << refusals.front();
  const auto& registers = device.Registers();
  for (std::size_t i = 0; i < registers.Count(); ++i)
    if (registers.Def(i).Kind == TSimRegisterKind::Flag)
      EXPECT_EQ(registers.Value(i), "off") << registers.Def(i).Name;
}

TEST(PageTemplateSet, StatusPageFilledFromTheDeviceShowsItsValues) {
  TSimDevice device("1.00", 0);
  TParameterList params;
  ReadRegisters(device, params, "i?");
  const auto page = FillPage(ReadPage("v1.00/info.htm"), params);
  EXPECT_NE(page.find("<td class=\"fill\">Input 2 tamper</td>"), std::string::npos);
  EXPECT_NE(page.find("Unit TB-204871 &middot;"), std::string::npos);
}
