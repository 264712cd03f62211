// How long to wait before a route is tried again after its connection ended by itself, or a
// run failed on its way: 1 s before the first retry, then twice as long each time, never more
// than 30 s. The window's reconnecting and tallybox-cli's --retry space their tries alike.
#pragma once

#include <cstdint>

constexpr uint32_t RetryFirstMs = 1000;
constexpr uint32_t RetryLongestMs = 30000;

// The wait before retry number Retry (0 for the first).
uint32_t RetryDelayMs(int32_t Retry);
