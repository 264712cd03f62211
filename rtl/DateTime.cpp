#include "rtl/DateTime.h"

#include <mutex>

#include "rtl/Exceptions.h"

namespace {
std::mutex sourceLock;
std::function<std::tm()> nowSource;

std::tm SystemNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string TwoDigits(int Value) {
  return Format("%02d", Value);
}
}  // namespace

std::tm LocalNow() {
  std::lock_guard<std::mutex> guard(sourceLock);
  return nowSource ? nowSource() : SystemNow();
}

void SetLocalNowSource(std::function<std::tm()> Source) {
  std::lock_guard<std::mutex> guard(sourceLock);
  nowSource = std::move(Source);
}

std::string FormatDateTime(const std::string& Pattern, const std::tm& Time,
                           const std::string& TimeSep) {
  std::string out;
  bool afterHour = false;
  size_t i = 0;
  auto takes = [&](const char* Token) {
    const std::string t(Token);
    if (Pattern.compare(i, t.size(), t) != 0) return false;
    i += t.size();
    return true;
  };
  while (i < Pattern.size()) {
    if (takes("yyyy")) {
      out += Format("%04d", Time.tm_year + 1900);
    } else if (takes("yy")) {
      out += TwoDigits((Time.tm_year + 1900) % 100);
    } else if (takes("mm")) {
      out += TwoDigits(afterHour ? Time.tm_min : Time.tm_mon + 1);
      afterHour = false;
      continue;
    } else if (takes("dd")) {
      out += TwoDigits(Time.tm_mday);
    } else if (takes("hh")) {
      out += TwoDigits(Time.tm_hour);
      afterHour = true;
      continue;
    } else if (takes("nn")) {
      out += TwoDigits(Time.tm_min);
    } else if (takes("ss")) {
      out += TwoDigits(Time.tm_sec);
    } else if (Pattern[i] == ':') {
      out += TimeSep;
      ++i;
      continue;
    } else if (Pattern[i] == '"') {
      const size_t close = Pattern.find('"', i + 1);
      const size_t end = close == std::string::npos ? Pattern.size() : close;
      out += Pattern.substr(i + 1, end - i - 1);
      i = end == Pattern.size() ? end : end + 1;
    } else {
      out += Pattern[i++];
      continue;
    }
    afterHour = false;
  }
  return out;
}

std::string FormatDateTime(const std::string& Pattern, const std::tm& Time) {
  return FormatDateTime(Pattern, Time, TimeSeparator());
}
