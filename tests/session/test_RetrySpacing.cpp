// The wait before each retry: 1 s, then twice as long each time, never more than 30 s.
#include <gtest/gtest.h>

#include "session/uRetrySpacing.h"

TEST(RetrySpacing, DoublesFromOneSecondUpToThirty) {
  const uint32_t expected[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
  for (int32_t retry = 0; retry < 7; ++retry)
    EXPECT_EQ(RetryDelayMs(retry), expected[retry]) << retry;
  EXPECT_EQ(RetryDelayMs(1000000), 30000u);
}
