// A preset checked against the registers page before it is shown: the page's registers that
// the preset lacks would be submitted empty (or unticked), so the main window names them and
// the page marks them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TParameterList;

// The registers the page's form fields are filled from (include tags "val", "cb" and "op"),
// each once, in page order.
std::vector<std::string> PageRegisters(std::string_view Page);

// Those of Registers that List does not hold, in the same order.
std::vector<std::string> MissingRegisters(const std::vector<std::string>& Registers,
                                          TParameterList& List);

// The "Info" box's text naming Missing; empty when none is missing.
std::string MissingRegistersText(const std::vector<std::string>& Missing);

// True for an "hl" include tag (command word in any case) whose register is one of Missing.
bool MarksMissingRegister(const std::string& Command, const std::vector<std::string>& Params,
                          const std::vector<std::string>& Missing);
