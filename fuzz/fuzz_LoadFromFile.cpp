// Loads arbitrary bytes as a preset file, saves the list and loads it again. By the file
// format's rules the second load gives the same names; values differ only where a quoted
// value ended in blanks or tabs, which the raw written form cannot keep; highlights are not
// written, so only names holding the marker keep one. A third round changes nothing.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "params/uStorage.h"

namespace {

struct TSnapshot {
  std::vector<std::string> Names, Values;
  std::vector<bool> Highlights;
};

TSnapshot Take(TParameterList& List) {
  TSnapshot s;
  for (int32_t i = 0; i < List.Count(); ++i) {
    const std::string line = List.GetLine(i);
    const size_t eq = line.find('=');
    s.Names.push_back(line.substr(0, eq));
    s.Values.push_back(line.substr(eq + 1));
    s.Highlights.push_back(List.IsHighlighted(s.Names.back()));
  }
  return s;
}

std::string WithoutTrailingBlanks(const std::string& S) {
  const size_t last = S.find_last_not_of(" \t");
  return last == std::string::npos ? std::string() : S.substr(0, last + 1);
}

// One folder per run, removed at exit; on tmpfs when there is one, so that the fsync of
// every save costs little.
struct TFolder {
  TFolder() {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    Path = (base / "fuzz-load-XXXXXX").string();
    if (!::mkdtemp(Path.data())) std::abort();
  }
  ~TFolder() { std::filesystem::remove_all(Path); }
  std::string Path;
};

const std::string& Folder() {
  static const TFolder folder;
  return folder.Path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string input = Folder() + "/in.rgp";
  const std::string saved = Folder() + "/saved.rgp";
  std::ofstream(input, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));

  TParameterList list;
  list.LoadFromFile(input);
  const TSnapshot first = Take(list);
  list.SaveToFile(saved);
  list.LoadFromFile(saved);
  const TSnapshot second = Take(list);
  if (second.Names != first.Names) std::abort();
  for (size_t i = 0; i < first.Values.size(); ++i) {
    if (second.Values[i] != WithoutTrailingBlanks(first.Values[i])) std::abort();
    // No marker is written, so only a name that holds one keeps a highlight.
    if (second.Highlights[i] != (second.Names[i].find(";**") != std::string::npos)) std::abort();
  }

  list.SaveToFile(saved);
  list.LoadFromFile(saved);
  const TSnapshot third = Take(list);
  if (third.Names != second.Names || third.Values != second.Values ||
      third.Highlights != second.Highlights)
    std::abort();
  return 0;
}
