// The current date as the date/time units see it. Two-digit years are read
// relative to the current year, so tests fix the clock to stay reproducible.
#pragma once

#include <cstdint>

#include "util/uCalendar.h"

// Today (local time), midnight; or the fixed date while a test has set one.
TDateTime CurrentDate();
uint16_t CurrentYear();

// Fixes the clock at the given date until ResetClock.
void SetClockForTesting(uint16_t Year, uint16_t Month = 1, uint16_t Day = 1);
void ResetClock();
