// What the window says once the device took a programming run: the line in the events panel
// names the registers that took a new value, the note beside the status text counts them.
// Qt-free; TMainProgramming uses it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "params/uStorage.h"

// The submitted fields ("name=value") whose value, as the list would keep it, differs from
// what Before holds for that name (an unknown name holds ""), in the order the names first
// came; a name given twice counts with its last value. Fields without "=" are left out.
std::vector<std::string> ChangedFields(TParameterList& Before,
                                       const std::vector<std::string>& Fields);

// "Programmed 24 registers; changed: r100=77, r302=2400", the first MaxNamed changes named
// and the rest counted ("and 3 more"); "...; nothing changed" when none did.
constexpr size_t MaxNamed = 6;
std::string ProgrammedEvent(size_t Sent, const std::vector<std::string>& Changed);
// "Programmed: 3 changed" or "Programmed: nothing changed".
std::string ProgrammedNote(const std::vector<std::string>& Changed);
