#include "uProcessFigures.h"

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// "Name:   1234 kB" lines of a /proc file, each value in Into when its name matches.
void ReadFields(const std::string& File, const std::map<std::string, long*>& Into) {
  std::ifstream in(File);
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto field = Into.find(line.substr(0, colon));
    if (field != Into.end()) *field->second += std::stol(line.substr(colon + 1));
  }
}

}  // namespace

TProcessFigures& TProcessFigures::operator+=(const TProcessFigures& Other) {
  RssKiB += Other.RssKiB;
  AnonKiB += Other.AnonKiB;
  PeakKiB += Other.PeakKiB;
  PssKiB += Other.PssKiB;
  PrivateKiB += Other.PrivateKiB;
  Threads += Other.Threads;
  Descriptors += Other.Descriptors;
  return *this;
}

std::vector<pid_t> ProcessesBelow(pid_t Root, const std::string& NamePrefix) {
  std::map<pid_t, pid_t> parent;
  std::map<pid_t, std::string> name;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    parent[std::stoi(pid)] = std::atoi(text.c_str() + close + 4);  // after ") S "
    name[std::stoi(pid)] = text.substr(open + 1, close - open - 1);
  }
  std::vector<pid_t> below;
  for (const auto& [pid, ppid] : parent) {
    bool under = false;
    for (pid_t up = ppid; up > 1 && !under; up = parent.count(up) ? parent[up] : 0)
      under = up == Root;
    if (under && name[pid].rfind(NamePrefix, 0) == 0) below.push_back(pid);
  }
  return below;
}

TProcessFigures ReadProcessFigures(pid_t Pid) {
  const std::string folder = "/proc/" + std::to_string(Pid) + "/";
  TProcessFigures figures;
  long privateClean = 0, privateDirty = 0;
  ReadFields(folder + "status", {{"VmRSS", &figures.RssKiB},
                                 {"RssAnon", &figures.AnonKiB},
                                 {"VmHWM", &figures.PeakKiB},
                                 {"Threads", &figures.Threads}});
  ReadFields(folder + "smaps_rollup", {{"Pss", &figures.PssKiB},
                                       {"Private_Clean", &privateClean},
                                       {"Private_Dirty", &privateDirty}});
  figures.PrivateKiB = privateClean + privateDirty;
  std::error_code ec;
  for (fs::directory_iterator fd(folder + "fd", ec), end; !ec && fd != end; fd.increment(ec))
    ++figures.Descriptors;
  return figures;
}

TProcessFigures SumBelow(pid_t Root, const std::string& NamePrefix) {
  TProcessFigures sum;
  for (pid_t pid : ProcessesBelow(Root, NamePrefix)) sum += ReadProcessFigures(pid);
  return sum;
}
