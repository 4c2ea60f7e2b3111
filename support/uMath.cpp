#include "support/uMath.h"

#include <cmath>
#include <limits>

int64_t RoundAway(long double Value) {
  if (std::isnan(Value)) return 0;
  const long double Shifted = Value >= 0 ? Value + 0.5L : Value - 0.5L;
  // Converting an out-of-range float to an integer is undefined; saturate.
  constexpr long double Hi = 9223372036854775808.0L;  // 2^63
  if (Shifted >= Hi) return std::numeric_limits<int64_t>::max();
  if (Shifted <= -Hi) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(Shifted);  // truncates toward zero
}

int64_t SaturatingAdd(int64_t A, int64_t B) {
  int64_t R;
  if (!__builtin_add_overflow(A, B, &R)) return R;
  return B > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t SaturatingSub(int64_t A, int64_t B) {
  int64_t R;
  if (!__builtin_sub_overflow(A, B, &R)) return R;
  return B < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t SaturatingMul(int64_t A, int64_t B) {
  int64_t R;
  if (!__builtin_mul_overflow(A, B, &R)) return R;
  return (A < 0) != (B < 0) ? std::numeric_limits<int64_t>::min()
                            : std::numeric_limits<int64_t>::max();
}
