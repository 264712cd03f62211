#include "params/uStorage.h"

#include "rtl/DateTime.h"
#include "rtl/FileBytes.h"
#include "rtl/LocaleCompare.h"

// ---- TParamSortedList -------------------------------------------------------------------

TParamSortedList::TParamSortedList()
    : THugeSortedList(SubListSize), FSearchKey(std::make_unique<TParamEntry>()) {}

TParamSortedList::~TParamSortedList() {
  Clear();
}

int32_t TParamSortedList::Compare(void* Item1, void* Item2) {
  const int32_t c = AnsiCompareText(static_cast<TParamEntry*>(Item1)->Name,
                                    static_cast<TParamEntry*>(Item2)->Name);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void TParamSortedList::FreeItem(void* Item) {
  delete static_cast<TParamEntry*>(Item);
}

std::string StripComment(const std::string& S) {
  std::string out = S.substr(0, S.find(';'));
  const size_t last = out.find_last_not_of(" \t");
  out.erase(last == std::string::npos ? 0 : last + 1);
  return out;
}

std::string UnquoteValue(const std::string& S) {
  if (S.empty() || S[0] != '"') return S;
  const size_t close = S.find('"', 1);
  return close == std::string::npos ? S.substr(1) : S.substr(1, close - 1);
}

void TParamSortedList::ParseLine(const std::string& Line) {
  const size_t eq = Line.find('=');
  if (eq == std::string::npos) return;
  SetEntry(Line.substr(0, eq), UnquoteValue(StripComment(Line.substr(eq + 1))),
           Line.find(";**") != std::string::npos);
}

void TParamSortedList::SetEntry(const std::string& Name, const std::string& Value, bool Highlight) {
  auto entry = std::make_unique<TParamEntry>(TParamEntry{Name, Value, Highlight});
  if (Add(entry.get()) >= 0) {
    (void)entry.release();  // the list holds it now
    return;
  }
  // An entry of that name exists: it keeps its spelling and takes the new value.
  TParamEntry* existing = FindEntry(Name);
  existing->Value = Value;
  existing->Highlight = Highlight;
}

TParamEntry* TParamSortedList::FindEntry(const std::string& Name) {
  FSearchKey->Name = Name;
  int32_t index = 0;
  return Find(FSearchKey.get(), index) ? GetEntry(index) : nullptr;
}

// ---- TParameterList ---------------------------------------------------------------------

TParameterList::TParameterList() : FEntries(std::make_unique<TParamSortedList>()) {}

TParameterList::~TParameterList() = default;

void TParameterList::AddLine(const std::string& Line) {
  if (Line.find('=') != std::string::npos) FEntries->ParseLine(Line);
}

void TParameterList::Clear() {
  FEntries->Clear();
  FLines.clear();
}

std::string TParameterList::GetValue(const std::string& Name) {
  const TParamEntry* entry = FEntries->FindEntry(Name);
  return entry ? entry->Value : std::string();
}

bool TParameterList::IsHighlighted(const std::string& Name) {
  const TParamEntry* entry = FEntries->FindEntry(Name);
  return entry && entry->Highlight;
}

int32_t TParameterList::Count() {
  return FEntries->Count();
}

std::string TParameterList::GetLine(int32_t Index) {
  const TParamEntry* entry = FEntries->GetEntry(Index);
  return entry->Name + "=" + entry->Value;
}

std::vector<std::string> SplitTextLines(const std::string& Text) {
  std::vector<std::string> lines;
  const size_t end = Text.find('\0');
  const size_t size = end == std::string::npos ? Text.size() : end;
  size_t start = 0;
  while (start < size) {
    size_t stop = Text.find_first_of("\r\n", start);
    if (stop == std::string::npos || stop > size) stop = size;
    lines.push_back(Text.substr(start, stop - start));
    if (stop < size && Text[stop] == '\r') ++stop;
    if (stop < size && Text[stop] == '\n') ++stop;
    start = stop;
  }
  return lines;
}

std::string TParameterList::SaveToText() {
  FLines.clear();
  FLines.push_back("; Saved " + FormatDateTime("yyyy-mm-dd hh:nn:ss", LocalNow()));
  for (int32_t i = 0; i < Count(); ++i) FLines.push_back(GetLine(i));
  std::string text;
  for (const std::string& line : FLines) text += line + "\r\n";
  return text;
}

void TParameterList::LoadFromText(const std::string& Text) {
  Clear();
  FLines = SplitTextLines(Text);
  for (const std::string& line : FLines) FEntries->ParseLine(line);
}

void TParameterList::SaveToFile(const std::string& FileName) {
  WriteNamedFile(FileName, SaveToText());
}

void TParameterList::LoadFromFile(const std::string& FileName) {
  // Emptied before the file is opened: a file that cannot be read leaves an empty list.
  Clear();
  LoadFromText(ReadUserFile(FileName));
}
