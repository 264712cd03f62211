#include "settings/uRegText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

TRegText OneValue(const std::string& Name, uint32_t Type, const std::string& Data) {
  TRegText text;
  text.AddKey("HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility").Put(Name, Type, Data);
  return text;
}

std::string ValueLine(const std::string& Formatted) {
  const size_t key = Formatted.find("]\n");
  return key == std::string::npos ? "" : Formatted.substr(key + 2);
}

}  // namespace

TEST(RegText, WritesEachValueTypeInItsOwnForm) {
  const struct {
    std::string Name;
    uint32_t Type;
    std::string Data;
    std::string Line;
  } cases[] = {
      {"IP", REG_SZ, "127.0.0.2\0"s, "\"IP\"=\"127.0.0.2\"\n"},
      {"Empty", REG_SZ, "\0"s, "\"Empty\"=\"\"\n"},
      {"Path", REG_SZ, "C:\\a \"b\"\0"s, "\"Path\"=\"C:\\\\a \\\"b\\\"\"\n"},
      {"Bytes", REG_SZ, "\xA9\r\n\t\x7F\0"s, "\"Bytes\"=\"\\xa9\\x0d\\x0a\\x09\\x7f\"\n"},
      {"Inner", REG_SZ, "a\0b\0"s, "\"Inner\"=\"a\\x00b\"\n"},
      {"NoZero", REG_SZ, "ab", "\"NoZero\"=hex(1):61,62\n"},
      {"Nothing", REG_SZ, "", "\"Nothing\"=hex(1):\n"},
      {"ComPort", REG_DWORD, "\xff\xff\xff\xff"s, "\"ComPort\"=dword:ffffffff\n"},
      {"Method", REG_DWORD, "\x02\0\0\0"s, "\"Method\"=dword:00000002\n"},
      {"Short", REG_DWORD, "\x02"s, "\"Short\"=hex(4):02\n"},
      {"Bin", REG_BINARY, "\x01\xAB"s, "\"Bin\"=hex:01,ab\n"},
      {"Exp", REG_EXPAND_SZ, "%T%\0"s, "\"Exp\"=hex(2):25,54,25,00\n"},
      {"", REG_SZ, "default\0"s, "@=\"default\"\n"},
      // Long binary values wrap onto continuation lines.
      {"Blob", REG_BINARY, std::string(30, '\x5a'),
       "\"Blob\"=hex:5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,5a,"
       "\\\n"
       "  5a,5a,5a,5a,5a\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string formatted = FormatRegText(OneValue(c.Name, c.Type, c.Data));
    EXPECT_EQ(formatted.substr(0, 9), "REGEDIT4\n");
    EXPECT_EQ(ValueLine(formatted), c.Line);
    TRegText back;
    ASSERT_TRUE(ParseRegText(formatted, back)) << formatted;
    EXPECT_EQ(back, OneValue(c.Name, c.Type, c.Data));
  }
}

TEST(RegText, ReadsWhatAPersonMightWrite) {
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "\r\n"
      "; saved by hand\r\n"
      "[HKEY_CURRENT_USER\\Software\\Orvane\\TallyboxUtility]\r\n"
      "\"IP\"=\"old\"\r\n"
      "  \"ComPort\" = dword:3\r\n"
      "\"Blob\"=hex:01, 02,\\\r\n"
      "    03\r\n"
      "\"ip\"=\"new\"\r\n"
      "\"Tab\"=\"a\tb\xE9\"\r\n"
      "[hkey_current_user\\software\\orvane\\tallyboxutility]\r\n"
      "\"Method\"=dword:00000002";
  TRegText parsed;
  ASSERT_TRUE(ParseRegText(text, parsed));
  ASSERT_EQ(parsed.Keys.size(), 1u);
  const TRegKey& key = parsed.Keys[0];
  ASSERT_EQ(key.Values.size(), 5u);
  // A later line for the same name (any case) replaces the value and keeps its first spelling.
  EXPECT_EQ(key.Values[0], (TRegValue{"IP", REG_SZ, "new\0"s}));
  EXPECT_EQ(key.Values[1], (TRegValue{"ComPort", REG_DWORD, "\x03\0\0\0"s}));
  EXPECT_EQ(key.Values[2], (TRegValue{"Blob", REG_BINARY, "\x01\x02\x03"s}));
  EXPECT_EQ(key.Values[3], (TRegValue{"Tab", REG_SZ, "a\tb\xE9\0"s}));
  EXPECT_EQ(key.Values[4], (TRegValue{"Method", REG_DWORD, "\x02\0\0\0"s}));
  EXPECT_NE(parsed.FindKey("HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\TallyboxUtility"), nullptr);
  EXPECT_NE(key.Find("COMPORT"), nullptr);
}

TEST(RegText, RefusesTextsThatAreNotAWholeStore) {
  std::vector<std::string> bad = {"",
                                  "REGEDIT5\n",
                                  "REGEDIT4 junk\n",
                                  "\"A\"=\"no key yet\"\n",
                                  "REGEDIT4\n\"A\"=\"no key yet\"\n",
                                  "REGEDIT4\n[K\n",
                                  "REGEDIT4\n[]\n",
                                  "REGEDIT4\n[-K]\n",
                                  "REGEDIT4\n[K] x\n",
                                  "REGEDIT4\n[K]\n\"A\"=\"x\"\r"};
  // Value lines that are wrong under a good key.
  for (const char* line : {"\"A\"=\"unterminated",
                           "\"A\"=\"bad \\q escape\"",
                           "\"A\"=\"short \\x4\"",
                           "\"A\"=\"raw\x01control\"",
                           "\"A\"=\"text\" trailing",
                           "\"A\"=-",
                           "\"A\"",
                           "A=\"unquoted name\"",
                           "\"A\"=dword:",
                           "\"A\"=dword:123456789",
                           "\"A\"=dword:12x",
                           "\"A\"=hex:1",
                           "\"A\"=hex:01,",
                           "\"A\"=hex:01,,02",
                           "\"A\"=hex:01 02",
                           "\"A\"=hex:01,\\",
                           "\"A\"=hex(:01",
                           "\"A\"=hex(1:01",
                           "\"A\"=hex(123456789):01",
                           "\"A\"=string",
                           "garbage"})
    bad.push_back("REGEDIT4\n[K]\n" + std::string(line) + "\n");
  for (const std::string& text : bad) {
    TRegText parsed;
    EXPECT_FALSE(ParseRegText(text, parsed)) << text;
    EXPECT_TRUE(parsed.Keys.empty());
  }
}

TEST(RegText, KeyNamesTheTextCannotHoldAreRecognised) {
  EXPECT_TRUE(IsValidRegKeyName("HKEY_CURRENT_USER\\Software\\Orvane\\Tallybox Utility\xE9"));
  EXPECT_FALSE(IsValidRegKeyName(""));
  EXPECT_FALSE(IsValidRegKeyName("-deleted"));
  EXPECT_FALSE(IsValidRegKeyName("line\nbreak"));
}

// A store of many keys and values, each name also given again in another case further down:
// the first spelling and place stay, the last data wins, exactly as one Put after another.
TEST(RegText, AStoreOfManyValuesReadsAsPutOneAfterAnother) {
  const auto dword = [](uint32_t N) {
    return std::string{char(N), char(N >> 8), char(N >> 16), char(N >> 24)};
  };
  std::string text = "REGEDIT4\n";
  TRegText expected;
  for (int k = 0; k < 3; ++k) expected.Keys.push_back({"hkey_x\\k" + std::to_string(k), {}});
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = 0; k < 3; ++k) {
      text += "\n[" + std::string(pass ? "HKEY_X\\K" : "hkey_x\\k") + std::to_string(k) + "]\n";
      for (uint32_t v = 0; v < 20000; ++v) {
        const std::string name = (pass ? "Value" : "vALUE") + std::to_string(v);
        char data[16];
        std::snprintf(data, sizeof data, "%08x", pass * 0x100000 + v);
        text += "\"" + name + "\"=dword:" + data + "\n";
        if (pass == 0)
          expected.Keys[k].Values.push_back({name, REG_DWORD, dword(v)});
        else
          expected.Keys[k].Values[v].Data = dword(0x100000 + v);
      }
    }
  }
  TRegText parsed;
  ASSERT_TRUE(ParseRegText(text, parsed));
  ASSERT_EQ(parsed.Keys.size(), 3u);
  EXPECT_EQ(parsed.Keys[2].Values[7].Name, "vALUE7");
  EXPECT_TRUE(parsed == expected);
  TRegText again;
  ASSERT_TRUE(ParseRegText(FormatRegText(parsed), again));
  EXPECT_TRUE(again == parsed);
}

// Any store the program can hold in memory reads back the same from its text form.
TEST(RegText, RandomStoresReadBackAsWritten) {
  const uint32_t seed = 20240611;
  std::mt19937 rng(seed);
  const auto bytes = [&](size_t max) {
    std::string s(rng() % (max + 1), '\0');
    for (char& c : s) c = char(rng() % 4 == 0 ? "\0\\\"\n\xA9"[rng() % 5] : 'a' + rng() % 26);
    return s;
  };
  const uint32_t types[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, 7, 0x1234};
  for (int round = 0; round < 300; ++round) {
    TRegText text;
    for (int k = int(rng() % 3); k >= 0; --k) {
      TRegKey& key = text.AddKey("HKEY_CURRENT_USER\\Software\\Orvane\\" + std::to_string(rng()));
      for (int v = int(rng() % 6); v > 0; --v) {
        const uint32_t type = types[rng() % std::size(types)];
        std::string data = bytes(type == REG_DWORD ? 5 : 80);
        if (type == REG_SZ && rng() % 2) data.push_back('\0');
        key.Put(bytes(12), type, data);
      }
    }
    const std::string formatted = FormatRegText(text);
    TRegText back;
    ASSERT_TRUE(ParseRegText(formatted, back)) << "seed " << seed << " round " << round << "\n"
                                               << formatted;
    ASSERT_EQ(back, text) << "seed " << seed << " round " << round << "\n" << formatted;
  }
}
