// The hex view's ring fills as bytes come: across its growth, a Clear while it is still
// growing, and its first wrap, every kept byte reads back at its offset with its direction.
#include <gtest/gtest.h>

#include "session/uByteHistory.h"

namespace {

std::string Kept(const TByteHistory& History) {
  std::string bytes;
  for (int64_t o = History.FirstOffset(); o < History.EndOffset(); ++o)
    bytes += static_cast<char>(History.At(o));
  return bytes;
}

}  // namespace

TEST(ByteHistory, FillsAsBytesComeThroughAClearAndItsFirstWrap) {
  TByteHistory history(32);
  EXPECT_EQ(history.Capacity(), 32);
  EXPECT_EQ(Kept(history), "");
  history.Append("abcdefghijklmnopqrst", false);  // 20 of 32
  EXPECT_EQ(Kept(history), "abcdefghijklmnopqrst");
  history.Clear();
  history.Append("0123456789", true);  // over the old bytes, offsets from 0 again
  EXPECT_EQ(history.FirstOffset(), 0);
  EXPECT_EQ(Kept(history), "0123456789");
  history.Append("ABCDEFGHIJKLMNOPQRSTUVWXYZ!?", false);  // 38 in all: the first 6 went
  EXPECT_EQ(history.FirstOffset(), 6);
  EXPECT_EQ(history.EndOffset(), 38);
  EXPECT_EQ(Kept(history), "6789ABCDEFGHIJKLMNOPQRSTUVWXYZ!?");
  EXPECT_TRUE(history.Sent(9));
  EXPECT_FALSE(history.Sent(10));
  EXPECT_FALSE(history.Sent(37));
}
