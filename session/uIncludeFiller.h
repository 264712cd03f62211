// Fills the include tags of the status and registers pages from the parameter list. The main
// window's hvMainInclude calls it for each tag while a page loads; any tool that expands the
// page templates outside the window uses the same rules.
#pragma once

#include <string>
#include <vector>

#include "markup/uHtmlEscape.h"

class TParameterList;

// Fills one include tag. Command is the tag's command word, compared ignoring case; Params
// are the tag's parameters as name=value strings (a parameter without "=" is all name with
// an empty value); only the first parameter counts. With N and P the name and value of that
// parameter and V the list's value for N (empty when N is unknown):
//   "val" sets Replacement to name="N" value="V";  "txt" sets it to V;
//   "hl"  sets it to class="fill" when N is highlighted, else leaves it;
//   "cb"  appends name="N" value="P", then " checked" when V equals P ignoring case;
//   "op"  appends value="P", then " selected" when V equals P ignoring case.
// No parameters, or any other command word, leaves Replacement as it is. Every inserted N, P
// and V is escaped with HtmlEscape, so no value can close the attribute or add markup.
void FillIncludeTag(const std::string& Command, const std::vector<std::string>& Params,
                    TParameterList& List, std::string& Replacement);
