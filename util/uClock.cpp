#include "util/uClock.h"

#include <ctime>
#include <optional>

namespace {

std::optional<TDateTime>& FixedDate() {
  static std::optional<TDateTime> Date;
  return Date;
}

}  // namespace

TDateTime CurrentDate() {
  if (FixedDate()) return *FixedDate();
  const std::time_t Now = std::time(nullptr);
  std::tm Local{};
  localtime_r(&Now, &Local);
  TDateTime Result = 0;
  TryEncodeDate(static_cast<uint16_t>(Local.tm_year + 1900), static_cast<uint16_t>(Local.tm_mon + 1),
                static_cast<uint16_t>(Local.tm_mday), Result);
  return Result;
}

uint16_t CurrentYear() {
  uint16_t Year = 0;
  uint16_t Month = 0;
  uint16_t Day = 0;
  DecodeDate(CurrentDate(), Year, Month, Day);
  return Year;
}

void SetClockForTesting(uint16_t Year, uint16_t Month, uint16_t Day) {
  FixedDate() = EncodeDate(Year, Month, Day);
}

void ResetClock() { FixedDate().reset(); }
