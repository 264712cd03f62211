#include "gui/uHeapPolicy.h"

#if defined(__linux__)
#include <malloc.h>
#endif

namespace {
[[maybe_unused]] constexpr int LargeBlockBytes = 128 * 1024;  // the C library's own starting limit
}  // namespace

void KeepLargeBlocksApart() {
#if defined(M_MMAP_THRESHOLD)
  // Setting the limit at all is what keeps it from moving.
  mallopt(M_MMAP_THRESHOLD, LargeBlockBytes);
#endif
}
