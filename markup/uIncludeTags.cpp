// Include tag scanning and expansion for the page templates.
#include "markup/uIncludeTags.h"

namespace {

constexpr std::string_view CommentOpen = "<!--";

bool IsWordChar(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_';
}

bool IsSpace(char C) {
  return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f';
}

size_t SkipSpaces(std::string_view Text, size_t Pos) {
  while (Pos < Text.size() && IsSpace(Text[Pos])) ++Pos;
  return Pos;
}

// The value after "=": quoted up to the matching quote, otherwise up to the next space.
std::string_view ReadValue(std::string_view Text, size_t& Pos) {
  if (Pos < Text.size() && (Text[Pos] == '"' || Text[Pos] == '\'')) {
    const char quote = Text[Pos++];
    size_t end = Text.find(quote, Pos);
    if (end == std::string_view::npos) end = Text.size();
    std::string_view value = Text.substr(Pos, end - Pos);
    Pos = end < Text.size() ? end + 1 : end;
    return value;
  }
  const size_t start = Pos;
  while (Pos < Text.size() && !IsSpace(Text[Pos])) ++Pos;
  return Text.substr(start, Pos - start);
}

// An "=" where a name should start belongs to the name, as in an HTML attribute list.
std::string_view ReadName(std::string_view Text, size_t& Pos) {
  const size_t start = Pos++;
  while (Pos < Text.size() && !IsSpace(Text[Pos]) && Text[Pos] != '=') ++Pos;
  return Text.substr(start, Pos - start);
}

std::vector<std::string> ParseParams(std::string_view Text) {
  std::vector<std::string> params;
  size_t pos = SkipSpaces(Text, 0);
  while (pos < Text.size()) {
    std::string param(ReadName(Text, pos));
    param += '=';
    const size_t afterName = SkipSpaces(Text, pos);
    if (afterName < Text.size() && Text[afterName] == '=') {
      pos = SkipSpaces(Text, afterName + 1);
      param += ReadValue(Text, pos);
    }
    params.push_back(std::move(param));
    pos = SkipSpaces(Text, pos);
  }
  return params;
}

// Where the comment opened at Open ends (one past its closing delimiter), following the
// HTML rules: "<!-->" and "<!--->" are empty comments, and "--!>" closes as "-->" does.
// Returns npos for a comment left open, and sets BodyEnd to the end of the comment's text.
size_t CommentEnd(std::string_view Page, size_t Open, size_t& BodyEnd) {
  const size_t body = Open + CommentOpen.size();
  if (Page.substr(body, 1) == ">") return BodyEnd = body, body + 1;
  if (Page.substr(body, 2) == "->") return BodyEnd = body, body + 2;
  const size_t plain = Page.find("-->", body);
  const size_t bang = Page.find("--!>", body);
  if (plain == std::string_view::npos && bang == std::string_view::npos)
    return std::string_view::npos;
  if (bang < plain) return BodyEnd = bang, bang + 4;
  return BodyEnd = plain, plain + 3;
}

}  // namespace

bool ParseIncludeTag(std::string_view CommentText, TIncludeTag& Tag) {
  if (CommentText.size() < 2 || CommentText[0] != '#' || !IsWordChar(CommentText[1])) return false;
  size_t end = 1;
  while (end < CommentText.size() && IsWordChar(CommentText[end])) ++end;
  Tag.Command = std::string(CommentText.substr(1, end - 1));
  Tag.Params = ParseParams(CommentText.substr(end));
  return true;
}

std::vector<TIncludeTagSpan> FindIncludeTags(std::string_view Page) {
  std::vector<TIncludeTagSpan> spans;
  size_t pos = 0;
  for (;;) {
    const size_t open = Page.find(CommentOpen, pos);
    if (open == std::string_view::npos) break;
    size_t bodyEnd = 0;
    const size_t end = CommentEnd(Page, open, bodyEnd);
    if (end == std::string_view::npos) break;
    const size_t body = open + CommentOpen.size();
    TIncludeTagSpan span;
    if (bodyEnd >= body && ParseIncludeTag(Page.substr(body, bodyEnd - body), span.Tag)) {
      span.Start = open;
      span.Length = end - open;
      spans.push_back(std::move(span));
    }
    pos = end;
  }
  return spans;
}

std::string ExpandIncludeTags(std::string_view Page, const TIncludeHandler& Handler) {
  std::string out;
  out.reserve(Page.size());
  size_t copied = 0;
  for (const TIncludeTagSpan& span : FindIncludeTags(Page)) {
    out.append(Page.substr(copied, span.Start - copied));
    if (Handler) out += Handler(span.Tag.Command, span.Tag.Params);
    copied = span.Start + span.Length;
  }
  out.append(Page.substr(copied));
  return out;
}
