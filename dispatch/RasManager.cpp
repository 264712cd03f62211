#include "dispatch/RasManager.h"

namespace {
constexpr int32_t FirstPausedState = 0x1000;
constexpr int32_t FirstEndState = 0x2000;

constexpr const char* RunningStates[] = {
    "Opening port",
    "Port opened",
    "Connecting device",
    "Device connected",
    "All devices connected",
    "Start authenticating",
    "Authentication: notify",
    "Authentication: retry",
    "Authentication: callback",
    "Authentication: change password",
    "Authentication: projecting",
    "Authentication: link speed",
    "Authentication: acknowledge",
    "Authentication: reauthenticate",
    "Authenticated",
    "Preparing for callback",
    "Waiting for modem reset",
    "Waiting for callback",
    "Projected",
    "Start authentication",
    "Callback complete",
    "Logging on network",
};
constexpr const char* PausedStates[] = {
    "Interactive",
    "Retry Authentication",
    "Callback set by caller",
    "Password expired",
};
constexpr const char* EndStates[] = {
    "Connected",
    "Disconnected",
};

template <size_t N>
const char* Lookup(const char* const (&Texts)[N], int32_t Index) {
  return Index >= 0 && Index < int32_t(N) ? Texts[Index] : nullptr;
}
}  // namespace

std::string RasStateText(int32_t State) {
  const char* text = nullptr;
  if (State < FirstPausedState)
    text = Lookup(RunningStates, State);
  else if (State < FirstEndState)
    text = Lookup(PausedStates, State - FirstPausedState);
  else
    text = Lookup(EndStates, State - FirstEndState);
  return text ? text : "Unknown state";
}
