#include "params/uStorage.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include "support/ErrorText.h"
#include "support/TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "rtl/DateTime.h"
#include "rtl/Exceptions.h"

namespace fs = std::filesystem;

namespace {

std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2005 - 1900;
  t.tm_mon = 1;
  t.tm_mday = 11;
  t.tm_hour = 14;
  t.tm_min = 3;
  t.tm_sec = 9;
  return t;
}

// A fresh folder per test and a fixed clock for the header line.
class ParameterList : public ::testing::Test {
 protected:
  void SetUp() override { SetLocalNowSource(FixedTime); }
  void TearDown() override { SetLocalNowSource({}); }
  std::string Path(const std::string& Name) const { return Temp.Path(Name); }
  void Put(const std::string& Name, const std::string& Bytes) const {
    std::ofstream(Path(Name), std::ios::binary) << Bytes;
  }
  std::string Slurp(const std::string& Name) const {
    std::ifstream in(Path(Name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(Folder), {}));
  }
  static std::string Header() {
    const std::string sep = TimeSeparator();
    return "; Saved 2005-02-11 14" + sep + "03" + sep + "09\r\n";
  }
  static std::vector<std::string> Lines(TParameterList& List) {
    std::vector<std::string> lines;
    for (int32_t i = 0; i < List.Count(); ++i) lines.push_back(List.GetLine(i));
    return lines;
  }
  TTempFolder Temp{"params"};
  const fs::path& Folder = Temp.Folder;
};

struct TWorkedLine {
  std::string Line;
  bool Stored;
  std::string Name, Value;
  bool Highlight;
};

const TWorkedLine WorkedLines[] = {
    {"r5=12 ;** changed", true, "r5", "12", true},
    {"r5=12", true, "r5", "12", false},
    {"r1 =5", true, "r1 ", "5", false},
    {"r1= 5", true, "r1", " 5", false},
    {"a=b=c", true, "a", "b=c", false},
    {"name=", true, "name", "", false},
    {"=x", true, "", "x", false},
    {"t=\"hello world\" ; note", true, "t", "hello world", false},
    {"t=\"x;y\"", true, "t", "x", false},
    {"t=\"abc", true, "t", "abc", false},
    {"t=\"", true, "t", "", false},
    {"t=\"a\"b", true, "t", "a", false},
    {"abc", false, "", "", false},
    {"t=\tv \t", true, "t", "\tv", false},
    {"x;**=1", true, "x;**", "1", true},
};

}  // namespace

TEST_F(ParameterList, WorkedLinesGiveTheSameEntryFromResponseFormAndFile) {
  const std::vector<
      std::pair<std::string, std::function<void(TParameterList&, const std::string&)>>>
      ways = {
          {"response",
           [](TParameterList& List, const std::string& Line) {
             TResponseSplitter splitter;
             splitter.Append(Line + "\r\n");
             while (!splitter.IsEmpty()) List.AddLine(splitter.NextLine());
           }},
          {"form", [](TParameterList& List, const std::string& Line) { List.AddLine(Line); }},
          {"file",
           [this](TParameterList& List, const std::string& Line) {
             Put("w.rgp", Header() + Line + "\r\n");
             List.LoadFromFile(Path("w.rgp"));
           }},
      };
  for (const auto& [way, addLine] : ways) {
    for (const TWorkedLine& w : WorkedLines) {
      SCOPED_TRACE(way + ": " + w.Line);
      TParameterList list;
      addLine(list, w.Line);
      if (!w.Stored) {
        EXPECT_EQ(list.Count(), 0);
        continue;
      }
      ASSERT_EQ(list.Count(), 1);
      EXPECT_EQ(list.GetLine(0), w.Name + "=" + w.Value);
      EXPECT_EQ(list.GetValue(w.Name), w.Value);
      EXPECT_EQ(list.IsHighlighted(w.Name), w.Highlight);
    }
  }
}

TEST_F(ParameterList, NameDifferingInCaseUpdatesTheFirstSpellingInCaseInsensitiveOrder) {
  TParameterList list;
  list.AddLine("r5=12 ;** changed");
  list.AddLine("R5=7");
  EXPECT_FALSE(list.IsHighlighted("r5")) << "a later line without the marker clears it";
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetLine(0), "r5=7");
  EXPECT_EQ(list.GetValue("R5"), "7");
  list.SaveToFile(Path("c.rgp"));
  EXPECT_EQ(Slurp("c.rgp"), Header() + "r5=7\r\n");
  list.AddLine("\xC4rger=1");  // Ä
  list.AddLine("\xE4RGER=2");  // ä
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetValue("\xE4rger"), "2");
  list.Clear();
  for (const char* line : {"r2=b", "R10=a", "r1=c", "B=1", "a=2"}) list.AddLine(line);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a=2", "B=1", "r1=c", "R10=a", "r2=b"}));
}

TEST_F(ParameterList, SavedFileIsHeaderAndNameValueLinesEndingInCrLfAndLoadsBack) {
  TParameterList list;
  list.SaveToFile(Path("empty.rgp"));
  EXPECT_EQ(Slurp("empty.rgp"), Header());
  for (const char* line : {"r2=\"quoted\" ;** marked", "r1=a=b", "; x=1"}) list.AddLine(line);
  list.SaveToFile(Path("full.rgp"));
  EXPECT_EQ(Slurp("full.rgp"), Header() + "; x=1\r\nr1=a=b\r\nr2=quoted\r\n");
  // Loaded back: the same lines, but no highlights.
  TParameterList again;
  again.LoadFromFile(Path("full.rgp"));
  EXPECT_EQ(Lines(again), Lines(list));
  EXPECT_EQ(again.GetValue("; x"), "1");
  EXPECT_TRUE(list.IsHighlighted("r2"));
  EXPECT_FALSE(again.IsHighlighted("r2"));
}

TEST_F(ParameterList, EveryLineEndAndANulReadAlike) {
  const std::vector<std::string> three{"r1=1", "r2=2", "r3=3"};
  const std::tuple<const char*, std::string, std::vector<std::string>> files[] = {
      {"CR LF", "; Saved x\r\nr1=1\r\nr2=2\r\nr3=3\r\n", three},
      {"LF", "; Saved x\nr1=1\nr2=2\nr3=3\n", three},
      {"CR", "; Saved x\rr1=1\rr2=2\rr3=3\r", three},
      {"mixed, no final end", "r1=1\n\rr2=2\r\n\r\nr3=3", three},
      {"NUL ends the text", std::string("r1=1\r\nr2=2\r\nr3=3\r\n\0r4=4\r\n", 24), three},
      {"NUL inside a line", std::string("r1=1\r\nr2=2\r\nr3=3\0junk\r\nr4=4\r\n", 28), three},
      {"header only", Header(), {}},
  };
  for (const auto& [label, bytes, lines] : files) {
    SCOPED_TRACE(label);
    Put("e.rgp", bytes);
    TParameterList list;
    list.AddLine("old=1");
    list.LoadFromFile(Path("e.rgp"));
    EXPECT_EQ(Lines(list), lines);
  }
}

TEST_F(ParameterList, UnknownNamesBadIndexAndMissingFileGiveTheirErrors) {
  TParameterList list;
  list.AddLine("r1=1 ;**");
  EXPECT_EQ(list.GetValue("r2"), "");
  EXPECT_FALSE(list.IsHighlighted("r2"));
  EXPECT_EQ(ErrorOf<EListError>([&] { list.GetLine(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.GetLine(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf<EFOpenError>([&] { list.LoadFromFile(Path("none.rgp")); }),
            "Cannot open file \"" + Path("none.rgp") + "\". No such file or directory");
  EXPECT_EQ(list.Count(), 0) << "a missing file empties the list";
}

TEST_F(ParameterList, SavingOverADirectoryRaisesAndKeepsEverything) {
  fs::create_directory(Path("d.rgp"));
  TParameterList list;
  list.AddLine("r1=1");
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { list.SaveToFile(Path("d.rgp")); }),
            "Cannot create file \"" + Path("d.rgp") + "\". Is a directory");
  EXPECT_TRUE(fs::is_directory(Path("d.rgp")));
  EXPECT_EQ(Entries(), 1u);
  EXPECT_EQ(Lines(list), std::vector<std::string>{"r1=1"});
}

TEST_F(ParameterList, SaveFailingPartWayLeavesTheOldPresetIntact) {
  TParameterList list;
  list.AddLine("r1=old");
  list.SaveToFile(Path("p.rgp"));
  const std::string good = Slurp("p.rgp");
  for (int i = 0; i < 2000; ++i) list.AddLine("r" + std::to_string(i) + "=" + std::string(20, 'v'));
  // A file size limit cuts the write short, as a full disk does.
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error = ErrorOf<EWriteError>([&] { list.SaveToFile(Path("p.rgp")); });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error, "Stream write error");
  EXPECT_EQ(Slurp("p.rgp"), good);
  EXPECT_EQ(Entries(), 1u);  // no temporary file left behind
  EXPECT_EQ(list.Count(), 2000);
}
