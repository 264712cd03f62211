// What one submission of the registers page sends to the device and in which order. The main
// window's hvMainFormSubmit runs it, and so does the command-line front end, so both program
// a device the same way: every register in the list, the last one as the awaited request.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TParameterList;

inline constexpr uint32_t kProgrammingTimeoutMs = 10000;
inline constexpr std::string_view kProgrammingStatus = "Programming...";
inline constexpr std::string_view kProgrammedStatus = "Connected";
inline constexpr std::string_view kNothingToProgram =
    "There are no registers to program. Read the registers or load a preset first.";

struct TSubmitPlan {
  enum class TKind {
    Send,     // Lines then Request go to the device
    Refused,  // a control byte in a field or entry: nothing is sent, the list is unchanged
    Nothing,  // the list is empty: nothing is sent
  };
  TKind Kind = TKind::Nothing;
  std::vector<std::string> Lines;  // written straight to the device, each followed by CR LF
  std::string Request;             // sent as a command awaiting the reply, kProgrammingTimeoutMs
  std::string Message;             // what to tell the user when Kind is not Send
};

// Adds every submitted name=value field to List (existing names take the new value) and
// plans the run: entries 0 .. Count-2 in the list's order, skipping those beginning with ";",
// as Lines, and the last entry as Request. A field or a list entry holding a control byte
// (below 0x20, or 0x7F) would reach the device's line editor, where CR and LF start a further
// command and BS and DEL rub out the register's own text, so such a submission is Refused
// before List is touched, with a Message naming the register. An empty list after the fields
// is Nothing.
TSubmitPlan PlanSubmit(TParameterList& List, const std::vector<std::string>& Fields);

// Carries out a Send plan: each line with CR LF through WriteOutput, in order, then the
// request through SendCommand with kProgrammingTimeoutMs (the dialogue adds its CR LF).
// A plan of any other kind sends nothing.
void SendSubmitPlan(
    const TSubmitPlan& Plan, const std::function<void(const std::string& Bytes)>& WriteOutput,
    const std::function<void(const std::string& Text, uint32_t TimeoutMs)>& SendCommand);
