// One device response, collected from the dialogue and handed out again line by line for
// the parameter list, the terminal and the diagnostics. Included through uStorage.h.
#pragma once

#include <string>

class TResponseSplitter {
 public:
  void Append(const std::string& Text);
  void Clear();
  bool IsEmpty();
  // Removes and returns the first line. CR, LF and any run of them end a line in one step,
  // so no empty line appears between two lines of text; only a buffer that starts with a
  // line end yields one empty line first.
  std::string NextLine();

 private:
  std::string FBuffer;
};
