#include "session/uRetrySpacing.h"

uint32_t RetryDelayMs(int32_t Retry) {
  uint32_t delay = RetryFirstMs;
  for (int32_t i = 0; i < Retry && delay < RetryLongestMs; ++i) delay *= 2;
  return delay < RetryLongestMs ? delay : RetryLongestMs;
}
