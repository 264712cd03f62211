#include "session/uEventStamp.h"

#include "rtl/DateTime.h"
#include "streams/uStreamFork.h"

namespace {
const std::string RedMarker("\0\t\x1b[31m", 7);
const std::string BareMarker("\0\t", 2);
const std::string ColourReset("\x1b[0m");
}  // namespace

std::string EventStamp(const std::tm& Time) {
  return FormatDateTime("hh:mm:ss", Time) + " ";
}

std::string StampEvents(const std::string& Text, const std::string& Stamp) {
  if (Text.empty()) return Text;
  std::string out = ReplaceAll(Text, RedMarker, Stamp);
  out = ReplaceAll(out, BareMarker, Stamp);
  return ReplaceAll(out, ColourReset, "");
}

std::string StampEvents(const std::string& Text) {
  if (Text.empty()) return Text;
  return StampEvents(Text, EventStamp(LocalNow()));
}
