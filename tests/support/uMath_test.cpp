#include "support/uMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(UMathRoundAway, RoundsHalfAwayFromZeroAndTruncatesTheRest) {
  struct Case {
    long double Value;
    int64_t Expected;
  };
  const Case Cases[] = {
      {0.0L, 0},   {0.5L, 1},     {-0.5L, -1},  {-0.4L, 0},    {0.49L, 0},
      {2.49L, 2},  {2.5L, 3},     {-2.5L, -3},  {-2.49L, -2},  {2.51L, 3},
      {1e15L + 0.5L, 1000000000000001LL},       {-1e15L - 0.5L, -1000000000000001LL},
      // The largest double below 0.5 must not round up.
      {0.49999999999999994L, 0},
  };
  for (const auto& C : Cases) EXPECT_EQ(RoundAway(C.Value), C.Expected) << double(C.Value);
}

TEST(UMathRoundAway, SaturatesOutsideTheInt64RangeAndMapsNaNToZero) {
  EXPECT_EQ(RoundAway(1e30L), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(RoundAway(-1e30L), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(RoundAway(std::numeric_limits<long double>::infinity()),
            std::numeric_limits<int64_t>::max());
  EXPECT_EQ(RoundAway(std::nanl("")), 0);
}
