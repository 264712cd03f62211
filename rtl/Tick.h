// The millisecond tick counter: a 32-bit count that wraps about every 49.7 days. Deadlines
// are tick values; tests replace the source to drive a wrap-around.
#pragma once

#include <cstdint>
#include <functional>

uint32_t GetTickCount();

// An empty source restores the steady clock.
void SetTickSource(std::function<uint32_t()> Source);
