// Where the device's prompt stands in the terminal text: the one search the dialogue and the
// debug port's opening make for it, whole or still arriving.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TSFSegment;

inline const std::string kPromptStart = "\x1b[34;1m<Tallybox";
inline const std::string kPromptEnd = ">\x1b[0m";

struct TPromptAt {
  bool Started = false;  // the prompt start is there, at Start
  bool Whole = false;    // and its end too, which ends just before End
  // Not started: where a trailing partial prompt start begins, or the text's size.
  int32_t Start = 0;
  int32_t End = 0;
};

// The first prompt in Terminal at or after the offset From.
TPromptAt FindPrompt(TSFSegment& Terminal, int32_t From = 0);

// How many bytes at the front of Text a console sends after its prompt rather than as part of
// a reply: blanks, line ends and control sequences such as an erase to the end of the line.
// Colour sequences are not among them: a reply keeps its own colours.
size_t PromptFiller(const std::string& Text);
