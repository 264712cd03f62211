#include "settings/uRegText.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr size_t kHexBytesPerLine = 25;

char LowerAscii(char C) {
  return (C >= 'A' && C <= 'Z') ? char(C - 'A' + 'a') : C;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

bool IsControl(unsigned char C) {
  return C < 0x20 || C == 0x7F;
}

// The places of the names in one list (of keys, or of one key's values), found by name as
// SameRegName compares them, so that reading a store of many names takes linear time.
class TNameIndex {
 public:
  // The place of Name among the Count names of the list (NameAt(i) is the i-th), or Count
  // when it is not among them, and the caller then appends it there.
  template <class TNameAt>
  size_t FindOrAdd(std::string_view Name, size_t Count, const TNameAt& NameAt) {
    if ((Count + 1) * 2 > FSlots.size()) Grow();
    const uint64_t hash = Hash(Name);
    const size_t mask = FSlots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      TSlot& slot = FSlots[i];
      if (slot.Place == kEmpty) {
        slot = {hash, Count};
        return Count;
      }
      if (slot.Hash == hash && SameRegName(NameAt(slot.Place), Name)) return slot.Place;
    }
  }

 private:
  static constexpr size_t kEmpty = size_t(-1);
  struct TSlot {
    uint64_t Hash = 0;
    size_t Place = kEmpty;
  };
  static uint64_t Hash(std::string_view Name) {
    uint64_t h = 14695981039346656037u;
    for (const char c : Name) h = (h ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211u;
    return h ^ (h >> 29);
  }
  void Grow() {
    std::vector<TSlot> old(std::max<size_t>(16, FSlots.size() * 2));
    old.swap(FSlots);
    const size_t mask = FSlots.size() - 1;
    for (const TSlot& slot : old) {
      if (slot.Place == kEmpty) continue;
      size_t i = slot.Hash & mask;
      while (FSlots[i].Place != kEmpty) i = (i + 1) & mask;
      FSlots[i] = slot;
    }
  }
  std::vector<TSlot> FSlots;
};

// A cursor over the whole text; every Parse* returns false at the first thing it cannot take.
class TRegParser {
 public:
  explicit TRegParser(std::string_view Text) : S(Text) {}

  bool Parse(TRegText& Out) {
    if (S.substr(0, 3) == "\xEF\xBB\xBF") P = 3;  // an editor may have added a UTF-8 mark
    SkipBlankLines();
    if (S.substr(P, kHeader.size()) != kHeader) return false;
    P += kHeader.size();
    if (!EndOfLine()) return false;
    size_t key = kNoKey;
    while (P < S.size()) {
      SkipSpaces();
      if (EndOfLine()) continue;
      if (S[P] == ';') {
        while (P < S.size() && S[P] != '\n') ++P;
        if (P < S.size()) ++P;
      } else if (S[P] == '[') {
        std::string name;
        if (!ParseKeyLine(name)) return false;
        key = PlaceKey(Out, std::move(name));
      } else {
        if (key == kNoKey) return false;
        TRegValue value;
        if (!ParseValueLine(value)) return false;
        PlaceValue(Out.Keys[key], FValueIndex[key], std::move(value));
      }
    }
    return true;
  }

 private:
  static constexpr size_t kNoKey = size_t(-1);

  // As TRegText::AddKey and TRegKey::Put do, but through an index.
  size_t PlaceKey(TRegText& Out, std::string Name) {
    std::vector<TRegKey>& keys = Out.Keys;
    const size_t at = FKeyIndex.FindOrAdd(
        Name, keys.size(), [&](size_t I) -> std::string_view { return keys[I].Name; });
    if (at == keys.size()) {
      keys.push_back({std::move(Name), {}});
      FValueIndex.emplace_back();
    }
    return at;
  }
  static void PlaceValue(TRegKey& Key, TNameIndex& Index, TRegValue Value) {
    std::vector<TRegValue>& values = Key.Values;
    const size_t at = Index.FindOrAdd(Value.Name, values.size(),
                                      [&](size_t I) -> std::string_view { return values[I].Name; });
    if (at == values.size()) {
      values.push_back(std::move(Value));
      return;
    }
    values[at].Type = Value.Type;
    values[at].Data = std::move(Value.Data);
  }

  bool AtEol() const {
    return P >= S.size() || S[P] == '\n' || (S[P] == '\r' && P + 1 < S.size() && S[P + 1] == '\n');
  }
  // Steps over the end of the current line when the cursor stands on it.
  bool EndOfLine() {
    SkipSpaces();
    if (!AtEol()) return false;
    if (P < S.size()) P += S[P] == '\r' ? 2 : 1;
    return true;
  }
  void SkipSpaces() {
    while (P < S.size() && (S[P] == ' ' || S[P] == '\t')) ++P;
  }
  void SkipBlankLines() {
    for (;;) {
      const size_t start = P;
      if (P >= S.size() || !EndOfLine() || P == start) {
        P = start;
        return;
      }
    }
  }

  bool ParseKeyLine(std::string& Name) {
    size_t end = P;
    while (end < S.size() && S[end] != '\n') ++end;
    std::string_view line = S.substr(P + 1, end - P - 1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
      line.remove_suffix(1);
    if (line.empty() || line.back() != ']') return false;
    line.remove_suffix(1);
    if (!IsValidRegKeyName(line)) return false;
    Name.assign(line);
    P = end < S.size() ? end + 1 : end;
    return true;
  }

  bool ParseValueLine(TRegValue& Value) {
    if (S[P] == '@') {
      ++P;
    } else if (!ParseQuoted(Value.Name)) {
      return false;
    }
    SkipSpaces();
    if (P >= S.size() || S[P] != '=') return false;
    ++P;
    SkipSpaces();
    if (!ParseData(Value)) return false;
    return EndOfLine();
  }

  bool ParseData(TRegValue& Value) {
    std::string_view rest = S.substr(P);
    if (!rest.empty() && rest[0] == '"') {
      Value.Type = REG_SZ;
      if (!ParseQuoted(Value.Data)) return false;
      Value.Data.push_back('\0');
      return true;
    }
    if (rest.substr(0, 6) == "dword:") {
      P += 6;
      return ParseDword(Value);
    }
    if (rest.substr(0, 4) == "hex:") {
      P += 4;
      Value.Type = REG_BINARY;
      return ParseHexList(Value.Data);
    }
    if (rest.substr(0, 4) == "hex(") {
      P += 4;
      if (!ParseHexNumber(Value.Type) || P + 1 >= S.size() || S.substr(P, 2) != "):") return false;
      P += 2;
      return ParseHexList(Value.Data);
    }
    return false;
  }

  bool ParseHexNumber(uint32_t& Number) {
    Number = 0;
    size_t digits = 0;
    for (; P < S.size() && HexDigit(S[P]) >= 0; ++P, ++digits) {
      if (digits == 8) return false;
      Number = Number << 4 | uint32_t(HexDigit(S[P]));
    }
    return digits > 0;
  }

  bool ParseDword(TRegValue& Value) {
    uint32_t n;
    if (!ParseHexNumber(n)) return false;
    Value.Type = REG_DWORD;
    Value.Data = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    return true;
  }

  // Bytes as two hex digits joined by commas; a line may end in ",\" and go on below.
  bool ParseHexList(std::string& Data) {
    SkipSpaces();
    if (AtEol()) return true;
    for (;;) {
      if (P + 1 >= S.size() || HexDigit(S[P]) < 0 || HexDigit(S[P + 1]) < 0) return false;
      Data.push_back(char(HexDigit(S[P]) << 4 | HexDigit(S[P + 1])));
      P += 2;
      SkipSpaces();
      if (AtEol()) return true;
      if (S[P] != ',') return false;
      ++P;
      SkipSpaces();
      if (P < S.size() && S[P] == '\\') {
        ++P;
        if (P >= S.size() || !EndOfLine() || P >= S.size()) return false;
        SkipSpaces();
      }
    }
  }

  // How many bytes from the cursor on stand for themselves inside quotes.
  size_t PlainRun() const {
    size_t end = P;
    while (end < S.size()) {
      const auto c = static_cast<unsigned char>(S[end]);
      if (c == '"' || c == '\\' || (IsControl(c) && c != '\t')) break;
      ++end;
    }
    return end - P;
  }

  // "text" with \\, \" and \xHH for bytes that cannot stand in the line as they are.
  bool ParseQuoted(std::string& Out) {
    if (P >= S.size() || S[P] != '"') return false;
    for (++P; P < S.size(); ++P) {
      const size_t run = PlainRun();
      Out.append(S.substr(P, run));
      P += run;
      if (P >= S.size()) break;
      const char c = S[P];
      if (c == '"') {
        ++P;
        return true;
      }
      if (c == '\\') {
        if (++P >= S.size()) return false;
        if (S[P] == '\\' || S[P] == '"') {
          Out.push_back(S[P]);
        } else if (S[P] == 'x' && P + 2 < S.size() && HexDigit(S[P + 1]) >= 0 &&
                   HexDigit(S[P + 2]) >= 0) {
          Out.push_back(char(HexDigit(S[P + 1]) << 4 | HexDigit(S[P + 2])));
          P += 2;
        } else {
          return false;
        }
      } else if (IsControl(static_cast<unsigned char>(c)) && c != '\t') {
        return false;
      } else {
        Out.push_back(c);
      }
    }
    return false;
  }

  std::string_view S;
  size_t P = 0;
  TNameIndex FKeyIndex;
  std::vector<TNameIndex> FValueIndex;  // one per key of Out, in the same order
};

void AppendQuoted(std::string& Out, std::string_view Text) {
  Out.push_back('"');
  for (const char c : Text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      Out.push_back('\\');
      Out.push_back(c);
    } else if (b < 0x20 || b >= 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02x", b);
      Out += esc;
    } else {
      Out.push_back(c);
    }
  }
  Out.push_back('"');
}

void AppendHexList(std::string& Out, std::string_view Data) {
  for (size_t i = 0; i < Data.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(Data[i]));
    Out += hex;
    if (i + 1 < Data.size()) Out += (i + 1) % kHexBytesPerLine == 0 ? ",\\\n  " : ",";
  }
}

void AppendValue(std::string& Out, const TRegValue& Value) {
  if (Value.Name.empty()) {
    Out.push_back('@');
  } else {
    AppendQuoted(Out, Value.Name);
  }
  Out.push_back('=');
  const std::string& d = Value.Data;
  if (Value.Type == REG_SZ && !d.empty() && d.back() == '\0') {
    AppendQuoted(Out, std::string_view(d).substr(0, d.size() - 1));
  } else if (Value.Type == REG_DWORD && d.size() == 4) {
    const auto byte = [&](int i) { return uint32_t(static_cast<unsigned char>(d[i])); };
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x",
                  byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24);
    Out += text;
  } else {
    if (Value.Type == REG_BINARY) {
      Out += "hex:";
    } else {
      char text[16];
      std::snprintf(text, sizeof text, "hex(%x):", Value.Type);
      Out += text;
    }
    AppendHexList(Out, d);
  }
  Out.push_back('\n');
}

}  // namespace

bool SameRegName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerAscii(A[i]) != LowerAscii(B[i])) return false;
  return true;
}

bool IsValidRegKeyName(std::string_view Name) {
  if (Name.empty() || Name[0] == '-') return false;
  for (const char c : Name)
    if (IsControl(static_cast<unsigned char>(c))) return false;
  return true;
}

const TRegValue* TRegKey::Find(std::string_view ValueName) const {
  for (const TRegValue& v : Values)
    if (SameRegName(v.Name, ValueName)) return &v;
  return nullptr;
}

void TRegKey::Put(std::string_view ValueName, uint32_t Type, std::string Data) {
  for (TRegValue& v : Values) {
    if (SameRegName(v.Name, ValueName)) {
      v.Type = Type;
      v.Data = std::move(Data);
      return;
    }
  }
  Values.push_back({std::string(ValueName), Type, std::move(Data)});
}

const TRegKey* TRegText::FindKey(std::string_view KeyName) const {
  for (const TRegKey& k : Keys)
    if (SameRegName(k.Name, KeyName)) return &k;
  return nullptr;
}

TRegKey& TRegText::AddKey(std::string_view KeyName) {
  for (TRegKey& k : Keys)
    if (SameRegName(k.Name, KeyName)) return k;
  Keys.push_back({std::string(KeyName), {}});
  return Keys.back();
}

bool ParseRegText(std::string_view Text, TRegText& Out) {
  Out = {};
  TRegParser parser(Text);
  if (parser.Parse(Out)) return true;
  Out = {};
  return false;
}

std::string FormatRegText(const TRegText& Text) {
  std::string out(kHeader);
  out += "\n";
  for (const TRegKey& key : Text.Keys) {
    out += "\n[" + key.Name + "]\n";
    for (const TRegValue& v : key.Values) AppendValue(out, v);
  }
  return out;
}
