// tallybox-sim: plays a Tallybox on TCP port 6024 and/or a pseudo-terminal serial debug port
// for the utility's tests, benchmarks and demos. Stops cleanly on SIGINT and SIGTERM.
#include "settings/QueryVersion.h"
#include "sim/uSimDevice.h"
#include "sim/uSimLoop.h"
#include "sim/uSimOptions.h"
#include "sim/uSimPresetFile.h"
#include "sim/uSimStop.h"

#include <iostream>

int main(int argc, char** argv) {
  TSimOptions options;
  const std::string error =
      SimParseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
  if (options.Help) {
    std::cout << SimUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << "tallybox-sim " << TVersionReader(OwnExecutable()).FileVersion << "\n";
    return 0;
  }
  if (!error.empty()) {
    std::cerr << "tallybox-sim: " << error << "\n";
    return 2;
  }
  TSimDevice device(options.PageVersion, TSimLoop::NowMs(), options.ExtraRegisters);
  if (!options.RegisterFile.empty()) {
    std::vector<std::string> warnings;
    if (!SimLoadRegisterFile(options.RegisterFile, device.Registers(), warnings)) {
      std::cerr << "tallybox-sim: cannot read " << options.RegisterFile << "\n";
      return 1;
    }
    for (const auto& warning : warnings)
      std::cerr << "tallybox-sim: " << options.RegisterFile << ": skipped " << warning << "\n";
  }
  const int stopFd = InstallStopHandlers();
  if (stopFd < 0) {
    std::cerr << "tallybox-sim: cannot install signal handlers\n";
    return 1;
  }
  TSimLoop loop(options, device, std::cout);
  std::string openError;
  if (!loop.Open(openError)) {
    std::cerr << "tallybox-sim: " << openError << "\n";
    return 1;
  }
  loop.Run(stopFd);
  std::cout << "tallybox-sim: stopped" << std::endl;
  return 0;
}
