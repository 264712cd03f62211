#include "RasSimBook.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

namespace {

std::mutex fileLock;  // the book and the log are read and written from several threads

std::string Environment(const char* Name) {
  const char* value = std::getenv(Name);
  return value ? value : "";
}

std::vector<std::string> Split(const std::string& Line, char Separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(Line);
  while (std::getline(in, field, Separator)) fields.push_back(field);
  if (!Line.empty() && Line.back() == Separator) fields.push_back("");
  return fields;
}

uint32_t Number(const std::string& Text) {
  return uint32_t(std::strtoul(Text.c_str(), nullptr, 0));
}

TSimStep ParseStep(const std::string& Token) {
  TSimStep step;
  const size_t colon = Token.find(':');
  const size_t bang = Token.find('!');
  if (Token == "hold") {
    step.Kind = TSimStep::TKind::Hold;
  } else if (colon != std::string::npos) {
    step.Kind = Token.compare(0, colon, "sleep") == 0 ? TSimStep::TKind::Sleep
                                                      : TSimStep::TKind::HangUpDelay;
    step.Ms = Number(Token.substr(colon + 1));
  } else {
    const std::string head = Token.substr(0, bang);
    if (head == "refuse") step.Kind = TSimStep::TKind::Refuse;
    step.State = int32_t(std::strtol(head.c_str(), nullptr, 0));
    if (bang != std::string::npos) step.Error = Number(Token.substr(bang + 1));
  }
  return step;
}

// The folder this library was loaded from, with its separator; "" when unknown.
std::string LibraryFolder() {
#ifdef _WIN32
  HMODULE self = nullptr;
  char path[MAX_PATH];
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&LibraryFolder), &self))
    return "";
  const DWORD n = GetModuleFileNameA(self, path, sizeof path);
  const std::string library(path, n < sizeof path ? n : 0);
  return library.substr(0, library.find_last_of("\\/") + 1);
#else
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) || !info.dli_fname) return "";
  const std::string library = info.dli_fname;
  return library.substr(0, library.rfind('/') + 1);
#endif
}

}  // namespace

std::string SimBookPath() {
  const std::string path = Environment("TALLYBOX_RASSIM_BOOK");
  if (!path.empty()) return path;
  return LibraryFolder() + "rassim-phonebook.txt";
}

std::vector<TSimEntry> SimReadBook() {
  std::lock_guard<std::mutex> guard(fileLock);
  std::vector<TSimEntry> entries;
  std::ifstream in(SimBookPath());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = Split(line, '|');
    f.resize(6);
    entries.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
  }
  return entries;
}

bool SimFindEntry(const std::string& Name, TSimEntry& Entry) {
  for (const TSimEntry& e : SimReadBook())
    if (e.Name == Name) {
      Entry = e;
      return true;
    }
  return false;
}

bool SimAppendEntry(const TSimEntry& Entry) {
  std::lock_guard<std::mutex> guard(fileLock);
  std::ofstream out(SimBookPath(), std::ios::app);
  out << Entry.Name << '|' << Entry.Phone << '|' << Entry.User << '|' << Entry.Password << '|'
      << Entry.Server << '|' << Entry.Script << '\n';
  return bool(out.flush());
}

std::vector<TSimStep> SimParseScript(const std::string& Script) {
  std::vector<TSimStep> steps;
  std::istringstream in(Script.empty() ? "0 1 2 3 4 5 14 8192" : Script);
  for (std::string token; in >> token;) steps.push_back(ParseStep(token));
  return steps;
}

void SimLog(const std::string& Line) {
  const std::string path = Environment("TALLYBOX_RASSIM_LOG");
  if (path.empty()) return;
  std::lock_guard<std::mutex> guard(fileLock);
  std::ofstream(path, std::ios::app) << Line << '\n';
}
