// Rounding the way the date/time units need it.
#pragma once

#include <cstdint>

// Rounds half away from zero: 2.5 -> 3, -2.5 -> -3, 2.49 -> 2, -0.4 -> 0.
// Values beyond the int64_t range saturate; NaN gives 0.
int64_t RoundAway(long double Value);
