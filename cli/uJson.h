// JSON text for the --json output of tallybox-cli. Device text is 8-bit in the Windows code
// page; it is written as ASCII JSON with every other byte escaped, so any tool reads it.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Text as a JSON string literal. Bytes 0x80-0xFF are the code page's characters, written as
// \uXXXX (the euro sign as \u20ac); control bytes and 0x7F as escapes; NUL as \u0000.
std::string JsonString(const std::string& Text);
// An object from (name, JSON value text) pairs, in the order given; values are not checked.
std::string JsonObject(const std::vector<std::pair<std::string, std::string>>& Members);
// An array from JSON value texts.
std::string JsonArray(const std::vector<std::string>& Items);
