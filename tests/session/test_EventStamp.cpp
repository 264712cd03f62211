#include "session/uEventStamp.h"

#include <gtest/gtest.h>

#include <string>

#include "rtl/DateTime.h"

namespace {
// A literal with its NUL bytes kept.
template <size_t N>
std::string Bytes(const char (&Text)[N]) {
  return std::string(Text, N - 1);
}
const std::string Marker("\0\t\x1b[31m", 7);
const std::string Reset = "\x1b[0m";
}  // namespace

TEST(EventStamp, MarkersBecomeTheStampAndColourResetsGo) {
  const std::string stamp = "12:34:56 ";
  const std::pair<std::string, std::string> cases[] = {
      {Marker + "Power up" + Reset + "\r\n", "12:34:56 Power up\r\n"},
      {Marker + "a" + Reset + "\r\n" + Marker + "b" + Reset + "\r\n",
       "12:34:56 a\r\n12:34:56 b\r\n"},
      {Bytes("\0\tplain\r\n"), "12:34:56 plain\r\n"},  // no red: no stray NUL TAB
      {Bytes("\0\t\x1b[32mx\r\n"), "12:34:56 \x1b[32mx\r\n"},
      {"no marker" + Reset, "no marker"},
      {Bytes("lone\0nul\t"), Bytes("lone\0nul\t")},
      {"", ""},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(StampEvents(text, stamp), shown) << text;
}

TEST(EventStamp, StampIsTheLocalTimeOfDisplay) {
  std::tm at{};
  at.tm_hour = 7;
  at.tm_min = 5;
  at.tm_sec = 9;
  const std::string sep = TimeSeparator();
  EXPECT_EQ(EventStamp(at), "07" + sep + "05" + sep + "09 ");
  at.tm_hour = 23;
  SetLocalNowSource([&] { return at; });
  EXPECT_EQ(StampEvents(Marker + "e" + Reset), "23" + sep + "05" + sep + "09 e");
  SetLocalNowSource(nullptr);
}
