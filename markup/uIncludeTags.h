// Include tags in the page templates: an HTML comment "<!--#word name="value" ...-->" that the
// owner of the HTML view replaces with text of its own while a page loads. THtmlView expands
// every page through ExpandIncludeTags; the scanner is plain C++ so it is tested without a display.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TIncludeTag {
  std::string Command;              // the word after "#": letters, digits, underscores
  std::vector<std::string> Params;  // "name=value"; a bare name gives "name="
};

// One include tag found in a page: where the whole comment lies and what it asks for.
struct TIncludeTagSpan {
  size_t Start = 0;   // offset of "<!--"
  size_t Length = 0;  // up to and including the comment's closing "-->" (or "--!>")
  TIncludeTag Tag;
};

// Called once per tag, in page order; the returned text replaces the whole comment as it is
// (it is not scanned for tags again).
using TIncludeHandler =
    std::function<std::string(const std::string& Command, const std::vector<std::string>& Params)>;

// Reads the text of one comment (what lies between "<!--" and "-->"). Returns false, leaving
// Tag untouched, when the text is not an include tag: it does not start with "#" directly
// followed by a word character. Parameters take the attribute forms name="value", name='value',
// name=value and bare name; an unterminated quote runs to the end of the text. Never throws
// on any byte sequence.
bool ParseIncludeTag(std::string_view CommentText, TIncludeTag& Tag);

// Every include tag of Page in order. Comments that are not include tags are skipped whole,
// so a tag written inside an ordinary comment stays inert; an unterminated comment ends the
// scan. Tags may sit anywhere, also inside another tag's attribute list.
std::vector<TIncludeTagSpan> FindIncludeTags(std::string_view Page);

// Page with every include tag replaced by the handler's text; with no handler (an empty
// std::function) every tag is removed. Everything else is copied byte for byte.
std::string ExpandIncludeTags(std::string_view Page, const TIncludeHandler& Handler);
