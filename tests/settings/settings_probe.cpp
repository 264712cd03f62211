// A small program the settings tests run as a separate process:
//   settings_probe session <RegisterFilename> <Connection> <ComPort> <IP> <Method>
//     loads the five saved settings as the main window does at start-up, prints them as
//     name=value lines, then saves the given values as it does at exit;
//   settings_probe churn   saves a counter and a text over and over until it is killed;
//   settings_probe count <Name> <n>   saves Name as 1, 2, ... n, each in its own open/close;
//   settings_probe version [file]   prints the version texts of file (default: itself).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/QueryVersion.h"
#include "settings/uRegistry.h"

namespace {

int Session(char** Args) {
  TOrvaneRegistry settings("TallyboxUtility");
  settings.Open();
  std::printf("RegisterFilename=%s\n", settings.ReadString("RegisterFilename", "").c_str());
  std::printf("Connection=%s\n", settings.ReadString("Connection", "").c_str());
  std::printf("ComPort=%d\n", settings.ReadInteger("ComPort", -1));
  std::printf("IP=%s\n", settings.ReadString("IP", "").c_str());
  std::printf("Method=%d\n", settings.ReadInteger("Method", 0));
  settings.Close();

  settings.Open();
  settings.WriteString("RegisterFilename", Args[0]);
  settings.WriteString("Connection", Args[1]);
  settings.WriteInteger("ComPort", std::atoi(Args[2]));
  settings.WriteString("IP", Args[3]);
  settings.WriteInteger("Method", std::atoi(Args[4]));
  settings.Close();
  return 0;
}

int Churn() {
  TOrvaneRegistry settings("TallyboxUtility");
  settings.Open();
  const std::string padding(4000, 'x');
  for (int32_t n = 1;; ++n) {
    settings.WriteInteger("Counter", n);
    settings.WriteString("Text", std::to_string(n) + " " + padding);
  }
}

int Count(const char* Name, int32_t Last) {
  TOrvaneRegistry settings("TallyboxUtility");
  for (int32_t n = 1; n <= Last; ++n) {
    settings.Open();
    settings.WriteInteger(Name, n);
    settings.Close();
  }
  return 0;
}

int Version(const std::string& FileName) {
  TVersionReader reader(FileName);
  std::printf("%s\n%s\n%s\n\n%s\n", reader.FileDescription.c_str(), reader.FileVersion.c_str(),
              reader.FileDate.c_str(), reader.LegalCopyright.c_str());
  return reader.Valid ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "session" && argc == 7) return Session(argv + 2);
    if (command == "churn") return Churn();
    if (command == "count" && argc == 4) return Count(argv[2], std::atoi(argv[3]));
    if (command == "version") return Version(argc > 2 ? std::string(argv[2]) : OwnExecutable());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: settings_probe session|churn|count|version ...\n");
  return 2;
}
