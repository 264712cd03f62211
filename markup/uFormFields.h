// Turns the query of a captured form submission (application/x-www-form-urlencoded, as the
// engine encodes a GET form in the page's 8-bit charset) into the "name=value" strings the
// HTML view hands to its submit handler. Plain C++; THtmlView and the tests use it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Decodes one encoded name or value: "+" is a space, "%hh" the byte hh; a "%" not followed
// by two hex digits is kept as it is. Bytes come out exactly as encoded (no charset change).
std::string DecodeFormComponent(std::string_view Encoded);

// The fields of Query ("a=1&b=2", without "?") in order, each as decoded name "=" decoded
// value. A piece without "=" is a name with an empty value; empty pieces ("&&") are skipped.
// A field whose name or value holds "=" stays ambiguous in this form; the name is what lies
// before the first "=".
std::vector<std::string> DecodeFormFields(std::string_view Query);
