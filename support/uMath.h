// Rounding the way the date/time units need it, and integer arithmetic that
// saturates instead of overflowing, for positions and sizes taken from
// untrusted headers.
#pragma once

#include <cstdint>

// Rounds half away from zero: 2.5 -> 3, -2.5 -> -3, 2.49 -> 2, -0.4 -> 0.
// Values beyond the int64_t range saturate; NaN gives 0.
int64_t RoundAway(long double Value);

// A + B, A - B, A * B clamped to the int64_t range.
int64_t SaturatingAdd(int64_t A, int64_t B);
int64_t SaturatingSub(int64_t A, int64_t B);
int64_t SaturatingMul(int64_t A, int64_t B);
