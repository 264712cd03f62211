// Text made safe to put into a page: used for device values filled into include tags and for
// file names shown on the view's notice pages.
#pragma once

#include <string>

// Text with &, <, >, " and ' written as character references: safe as element text and
// inside a single- or double-quoted attribute value. Every other byte is kept as it is.
std::string HtmlEscape(const std::string& Text);
