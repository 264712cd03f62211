// Counts global operator new calls made by the current thread, so a test or benchmark can
// show that warm queue traffic allocates nothing. Link AllocationCounter.cpp into the program.
#pragma once

#include <cstdint>

namespace AllocationCounter {
// Number of operator new calls made by this thread since it started.
uint64_t Count();
}  // namespace AllocationCounter
