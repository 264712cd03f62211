#include "sim/uSimDevice.h"

#include "sim/uSimPresetFile.h"
#include "sim/uSimText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return Text;
}

std::string Trim(const std::string& Text) {
  const auto first = Text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return Text.substr(first, Text.find_last_not_of(" \t") - first + 1);
}

std::string Line(const std::string& Text) {
  return Text + "\r\n";
}

}  // namespace

TSimDevice::TSimDevice(std::string PageVersion, uint64_t StartMs, std::size_t ExtraRegisters)
    : FPageVersion(std::move(PageVersion)),
      FStartMs(StartMs),
      FRegisters(SimPageVersionNumber(FPageVersion), ExtraRegisters) {}

TSimCommandResult TSimDevice::Execute(const std::string& Received, bool Serial, uint64_t NowMs) {
  TSimCommandResult result;
  const std::string command = Trim(Received);
  const std::string lower = Lower(command);
  if (command.empty()) return result;
  if (lower == "i900?") {
    result.Reply = VersionReply();
  } else if (lower == "i?") {
    result.Reply = InfoReply(NowMs);
  } else if (lower == "r?") {
    result.Reply = FRegisters.Reply();
  } else if (lower == "diag") {
    result.Reply = DiagReply(NowMs);
  } else if (lower == "help" || lower == "?") {
    result.Reply = HelpReply();
  } else if (lower == "cls") {
    result.Reply = std::string(simtext::kClearScreen);
  } else if (lower == "bytes") {
    result.Reply = EveryByte() + "\r\n";
  } else if (lower == "bye") {
    result.Reply = Line(Serial ? "Debug mode off" : "Goodbye");
    result.EndSession = true;
  } else if (lower.rfind("m:", 0) == 0) {
    if (Serial) {
      result.ModemLine = true;
      // "~" stands for the carriage return that ends a modem command.
      result.Modem = command.substr(2);
      std::replace(result.Modem.begin(), result.Modem.end(), '~', '\r');
    } else {
      result.Reply = Line("Modem trace is only available on the debug port");
    }
  } else if (command.find('=') != std::string::npos) {
    result.Reply = SetRegisterLine(command);
  } else {
    result.Reply = Line(std::string(simtext::kRedBold) + "Error:" + std::string(simtext::kNormal) +
                        " unknown command \"" + simtext::Printable(command) + "\"");
  }
  return result;
}

std::string TSimDevice::SetRegisterLine(const std::string& Text) {
  std::string name, value;
  SimParseRegisterLine(Text, name, value);
  name = Trim(name);
  value = Trim(value);
  bool changed = false;
  const auto error = FRegisters.Set(name, value, &changed);
  if (!error.empty())
    return Line(std::string(simtext::kRedBold) + "Error:" + std::string(simtext::kNormal) + " " +
                simtext::Printable(name) + ": " + error);
  if (changed) {
    ++FChanges;
    const int index = FRegisters.IndexOf(name);
    FEvents.push_back("Register " + FRegisters.Def(index).Name + " (" +
                      FRegisters.Def(index).Caption + ") set to " + FRegisters.Value(index));
  }
  return {};
}

std::string TSimDevice::VersionReply() const {
  return Line("i900=" + FPageVersion);
}

std::string TSimDevice::Uptime(uint64_t NowMs) const {
  const uint64_t seconds = (NowMs - FStartMs) / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%llud %02llu:%02llu:%02llu",
                static_cast<unsigned long long>(seconds / 86400),
                static_cast<unsigned long long>(seconds / 3600 % 24),
                static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60));
  return text;
}

std::string TSimDevice::InfoReply(uint64_t NowMs) const {
  std::string reply;
  reply += Line("i100=\"" + FUnit + "\"");
  reply += Line("i101=\"Tallybox T2\"");
  reply += Line("i102=\"3.2.7\"");
  reply += Line("i103=\"C\"");
  reply += Line("i104=\"2026-03-14\"");
  reply += Line("i200=\"" + Uptime(NowMs) + "\"");
  reply += Line("i201=12.4");
  reply += Line("i202=87");
  reply += Line("i203=31");
  reply += Line("i300=\"idle\"");
  reply += Line("i301=18");
  reply += Line("i302=2");
  reply += Line("i400=" + std::to_string(FPulses));
  reply += Line("i401=\"Input 2 tamper\" ;** alarm");
  reply += VersionReply();
  return reply;
}

std::string TSimDevice::DiagReply(uint64_t NowMs) const {
  std::string reply;
  reply += Line("Tallybox diagnostics, unit " + FUnit);
  reply += Line("Firmware 3.2.7, hardware C, page version " + FPageVersion);
  reply += Line("Uptime " + Uptime(NowMs));
  reply += Line("Resets: power 3, watchdog 0, brown-out 1");
  reply += Line("Heap: 18432 of 65536 bytes free, lowest 15872");
  reply += Line("Flash: 14 of 512 sectors worn, 0 bad");
  reply += Line("Inputs: 1 " + std::to_string(FPulses) + " pulses, 2 tamper, 3 idle");
  reply += Line("Modem: idle, signal 18/31, 2 calls today, last result OK");
  reply += Line("Supply 12.4 V, battery 87 %, board 31 C");
  reply += Line("Registers changed since power-on: " + std::to_string(FChanges));
  reply += Line("Event log:");
  reply += Line("  07:58:12 report call OK (34 s)");
  reply += Line("  08:14:40 input 2 tamper");
  reply += Line("  08:15:02 door closed");
  return reply;
}

// As a device with a stray byte or the wrong code page sends: no byte value is left out.
std::string TSimDevice::EveryByte() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

std::string TSimDevice::HelpReply() const {
  std::string reply;
  reply += Line(std::string(simtext::kBlue) + "Commands" + std::string(simtext::kNormal));
  reply += Line("  i900?        page version");
  reply += Line("  i?           information items");
  reply += Line("  r?           registers");
  reply += Line("  diag         diagnostics dump");
  reply += Line("  name=value   set a register");
  reply += Line("  M:text~      send text to the modem (debug port)");
  reply += Line("  cls          clear the screen");
  reply += Line("  bytes        every byte value once, 0 to 255");
  reply += Line("  bye          end the session");
  return reply;
}

std::string TSimDevice::Banner() const {
  using namespace simtext;
  std::string banner(kClearScreen);
  banner += Line(std::string(kBlueBold) + "Tallybox T2" + std::string(kNormal) + " unit " + FUnit +
                 ", firmware 3.2.7");
  banner += "Self test |\b/\b-\b\\\b";
  banner += Line(std::string(kGreen) + "passed" + std::string(kNormal));
  banner += Line(std::string(kBlue) + "Counting" + std::string(kNormal) + " since power-on, " +
                 std::to_string(FPulses) + " pulses");
  banner +=
      Line(std::string(kRed) + "Alarm" + std::string(kNormal) + " input 2 tamper (unacknowledged)");
  banner += Line(std::string(kRedBold) + "Service mode" + std::string(kNormal) +
                 ": changes take effect at once" + std::string(kHidden) + " factory key 7Q2-K" +
                 std::string(kNormal));
  banner += Line("Type help for the commands.");
  return banner;
}

std::string TSimDevice::NextEventText() {
  ++FPulses;
  static const char* const kTexts[] = {"Door closed", "Supply 12.4 V",  "Report call scheduled",
                                       "Door opened", "Input 2 tamper", "Battery 87 %"};
  const std::string text = kTexts[FEventTurn % std::size(kTexts)];
  ++FEventTurn;
  return text + " (pulses " + std::to_string(FPulses) + ")";
}

std::string TSimDevice::NextTerminalText() {
  using namespace simtext;
  std::string text;
  switch (FTextTurn++ % 4) {
    case 0:
      // The service code is written in the background colour: there, but not to be seen.
      text = std::string(kBlue) + "status" + std::string(kNormal) + " counting, " +
             std::to_string(FPulses) + " pulses" + std::string(kHidden) + " svc 7Q2" +
             std::string(kNormal);
      break;
    case 1:
      text = std::string(kBlueBold) + "modem" + std::string(kNormal) + " idle, signal " +
             std::string(kGreen) + "18/31" + std::string(kNormal);
      break;
    case 2:
      text = "Checking line |\b/\b-\b\\\b" + std::string(kGreen) + "ok" + std::string(kNormal);
      break;
    default:
      text = std::string(kRedBold) + "alarm" + std::string(kNormal) + " input 2 tamper, " +
             std::string(kRed) + "unacknowledged" + std::string(kNormal);
      break;
  }
  return Line(text);
}

std::string TSimDevice::NextModemTrace() {
  static const char* const kTrace[] = {
      "AT\r",         "\r\nOK\r\n", "AT+CSQ\r",          "\r\n+CSQ: 18,0\r\n\r\nOK\r\n",
      "\r\nRING\r\n", "ATA\r",      "\r\nNO CARRIER\r\n"};
  std::string bytes = kTrace[FModemTurn % std::size(kTrace)];
  ++FModemTurn;
  return bytes;
}

std::vector<std::string> TSimDevice::TakeEvents() {
  std::vector<std::string> events;
  events.swap(FEvents);
  return events;
}
