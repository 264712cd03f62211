// The named values the device last reported or a preset file supplied: one entry per name,
// ordered and looked up without regard to case, filled from name=value lines, and saved to
// and loaded from register preset files. The main window is the only user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "params/ListofLists.h"
#include "params/uResponseSplitter.h"

struct TParamEntry {
  std::string Name;        // spelling of the line that first introduced it
  std::string Value;       // after unquoting
  bool Highlight = false;  // the line that last set it held ";**"
};

class TParamSortedList : public THugeSortedList {
 public:
  static constexpr int32_t SubListSize = 1024;

  TParamSortedList();
  ~TParamSortedList() override;

  int32_t Compare(void* Item1, void* Item2) override;
  void FreeItem(void* Item) override;

  void ParseLine(const std::string& Line);
  void SetEntry(const std::string& Name, const std::string& Value, bool Highlight);
  TParamEntry* FindEntry(const std::string& Name);  // nullptr when there is none
  TParamEntry* GetEntry(int32_t Index) { return static_cast<TParamEntry*>(Get(Index)); }

 private:
  std::unique_ptr<TParamEntry> FSearchKey;
};

// The value part of a line after the comment is cut and quotes are removed.
std::string StripComment(const std::string& S);
std::string UnquoteValue(const std::string& S);

class TParameterList {
 public:
  TParameterList();
  ~TParameterList();

  void AddLine(const std::string& Line);
  void Clear();
  std::string GetValue(const std::string& Name);
  bool IsHighlighted(const std::string& Name);
  int32_t Count();
  std::string GetLine(int32_t Index);
  void LoadFromFile(const std::string& FileName);
  // FileName is one the user named: written as WriteNamedFile writes it.
  void SaveToFile(const std::string& FileName);

  // The text of a preset file as SaveToFile writes it; the reading of one replaces the
  // whole content as LoadFromFile does.
  std::string SaveToText();
  void LoadFromText(const std::string& Text);

 private:
  std::unique_ptr<TParamSortedList> FEntries;
  std::vector<std::string> FLines;
};

// Splits text by the preset file's line-end rule: CR LF, a lone CR or a lone LF ends a line;
// a NUL byte ends the text; a last line without a line end counts.
std::vector<std::string> SplitTextLines(const std::string& Text);
