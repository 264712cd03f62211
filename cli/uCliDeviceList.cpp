#include "cli/uCliDeviceList.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli/uCliExit.h"
#include "rtl/FileBytes.h"
#include "transport/uNetSerialPort.h"

namespace {

const std::string Blanks = " \t";
const std::string PasswordOption = "password-file=";

std::string Trimmed(const std::string& Text) {
  const size_t first = Text.find_first_not_of(Blanks);
  if (first == std::string::npos) return "";
  return Text.substr(first, Text.find_last_not_of(Blanks) - first + 1);
}

// The line up to a "#" that starts it or follows a blank.
std::string WithoutComment(const std::string& Line) {
  for (size_t i = 0; i < Line.size(); ++i)
    if (Line[i] == '#' && (i == 0 || Blanks.find(Line[i - 1]) != std::string::npos))
      return Line.substr(0, i);
  return Line;
}

std::string Folded(std::string Text) {
  for (char& c : Text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return Text;
}

class TLineReader {
 public:
  TLineReader(const std::string& Source, int32_t Line) : FSource(Source), FLine(Line) {}

  [[noreturn]] void Fail(const std::string& What) const {
    throw TCliFailure(kExitUsage, FSource + ", line " + std::to_string(FLine) + ": " + What);
  }

  // A NUL would cut a host name short for the system and a control byte could drive the
  // terminal the line is shown on; neither belongs in a device list.
  void RefuseControl(const std::string& Line) const {
    for (const char c : Line) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", byte);
        Fail(std::string("the control byte ") + code + " has no place in a device list");
      }
    }
  }

  // Kind, then the rest of the line, with a final password-file= word taken off.
  TFleetDevice Read(const std::string& Text) const {
    TFleetDevice device;
    device.Line = FLine;
    const size_t kindEnd = Text.find_first_of(Blanks);
    const std::string kind = Text.substr(0, kindEnd);
    std::string rest = kindEnd == std::string::npos ? "" : Trimmed(Text.substr(kindEnd));
    const size_t lastBlank = rest.find_last_of(Blanks);
    const size_t lastWord = lastBlank == std::string::npos ? 0 : lastBlank + 1;
    if (rest.compare(lastWord, PasswordOption.size(), PasswordOption) == 0) {
      device.PasswordFile = rest.substr(lastWord + PasswordOption.size());
      if (device.PasswordFile.empty()) Fail("password-file= needs a path");
      rest = Trimmed(rest.substr(0, lastWord));
    }
    if (kind == "host") {
      device.Route.Kind = TRouteKind::Tcp;
      device.Route.Host = OneWord(rest, "host needs a host name or address");
    } else if (kind == "com") {
      device.Route.Kind = TRouteKind::Serial;
      device.Route.ComPort = PortNumber(OneWord(rest, "com needs a port number"));
    } else if (kind == "port") {
      device.Route.Kind = TRouteKind::Serial;
      device.Route.DevicePath =
          OneWord(rest, "port needs a device path or a terminal server's URL");
      TNetSerialAddress address;
      if (IsNetSerialUrl(device.Route.DevicePath) &&
          !ParseNetSerialUrl(device.Route.DevicePath, address))
        Fail("port takes tcp://HOST:PORT or rfc2217://HOST:PORT");
    } else if (kind == "dial") {
      device.Route.Kind = TRouteKind::DialUp;
      if (rest.empty()) Fail("dial needs a phone-book entry");
      device.Route.DialEntry = rest;
    } else {
      Fail("unknown device kind \"" + kind + "\" (host, com, port or dial)");
    }
    return device;
  }

 private:
  std::string OneWord(const std::string& Rest, const std::string& Missing) const {
    if (Rest.empty()) Fail(Missing);
    if (Rest.find_first_of(Blanks) != std::string::npos)
      Fail("unexpected \"" + Trimmed(Rest.substr(Rest.find_first_of(Blanks))) + "\"");
    return Rest;
  }

  int32_t PortNumber(const std::string& Word) const {
    int32_t n = 0;
    const auto [at, error] = std::from_chars(Word.data(), Word.data() + Word.size(), n);
    if (error != std::errc() || at != Word.data() + Word.size() || n < 1 || n > 255)
      Fail("com needs a port number from 1 to 255");
    return n;
  }

  const std::string& FSource;
  int32_t FLine;
};

// A name Windows opens as a device whatever its extension: CON, PRN, AUX, NUL, the console's
// two, COM1-COM9 and LPT1-LPT9 (with the code page's superscript digits too), any case.
bool WindowsDeviceName(std::string Base) {
  Base = Folded(Base);
  if (Base == "con" || Base == "prn" || Base == "aux" || Base == "nul" || Base == "conin$" ||
      Base == "conout$")
    return true;
  return Base.size() == 4 && (Base.starts_with("com") || Base.starts_with("lpt")) &&
         std::string("123456789\xB9\xB2\xB3").find(Base[3]) != std::string::npos;
}

// On Windows "a:b" names the stream b of the file a and a device name opens the device: the
// characters Windows refuses in a name become "_", and a device name gets a "_" after its
// first part (before the first dot; blanks at its end do not count there).
[[maybe_unused]] std::string WindowsFileStem(std::string Stem) {
  for (char& c : Stem)
    if (std::string(":*?\"<>|").find(c) != std::string::npos) c = '_';
  std::string base = Stem.substr(0, Stem.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  if (WindowsDeviceName(base)) Stem.insert(base.size(), "_");
  return Stem;
}

}  // namespace

std::string TFleetDevice::Name() const {
  switch (Route.Kind) {
    case TRouteKind::Serial:
      return Route.DevicePath.empty() ? "com " + std::to_string(Route.ComPort)
                                      : "port " + Route.DevicePath;
    case TRouteKind::DialUp:
      return "dial " + Route.DialEntry;
    default:
      return "host " + Route.Host;
  }
}

std::string TFleetDevice::FileStem() const {
  std::string stem = Route.Name();
  for (char& c : stem)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  if (stem.starts_with(".")) stem[0] = '_';
#ifdef _WIN32
  stem = WindowsFileStem(stem);
#endif
  return stem;
}

std::vector<TFleetDevice> ParseDeviceList(const std::string& Text, const std::string& Source) {
  std::vector<TFleetDevice> devices;
  std::map<std::string, int32_t> seen;  // folded name to its line
  std::istringstream in(Text);
  int32_t number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.ends_with("\r")) line.pop_back();
    const TLineReader reader(Source, number);
    reader.RefuseControl(line);
    const std::string text = Trimmed(WithoutComment(line));
    if (text.empty()) continue;
    TFleetDevice device = reader.Read(text);
    const auto [earlier, added] = seen.emplace(Folded(device.Name()), number);
    if (!added)
      reader.Fail(device.Name() + " is already listed on line " + std::to_string(earlier->second));
    devices.push_back(std::move(device));
  }
  return devices;
}

std::vector<TFleetDevice> ReadDeviceList(const std::string& FileName) {
  std::string text;
  try {
    text = ReadUserFile(FileName);
  } catch (const std::exception& e) {
    throw TCliFailure(kExitUsage, e.what());
  }
  std::vector<TFleetDevice> devices = ParseDeviceList(text, FileName);
  const std::filesystem::path folder = std::filesystem::path(FileName).parent_path();
  for (TFleetDevice& device : devices)
    if (!device.PasswordFile.empty() && std::filesystem::path(device.PasswordFile).is_relative())
      device.PasswordFile = (folder / device.PasswordFile).string();
  return devices;
}
