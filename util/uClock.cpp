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
  // Every two-digit year asks for this, so the local calendar is consulted
  // once per year and thread: the year is kept with the span of clock time
  // it covers, and a clock reading inside the span needs nothing more.
  struct TKeptYear {
    std::time_t From = 0;
    std::time_t Until = 0;  // an empty span until a year is kept
    uint16_t Year = 0;
  };
  thread_local TKeptYear Kept;
  const std::time_t Now = std::time(nullptr);
  if (!FixedDate() && Now >= Kept.From && Now < Kept.Until) return Kept.Year;

  uint16_t Year = 0;
  uint16_t Month = 0;
  uint16_t Day = 0;
  DecodeDate(CurrentDate(), Year, Month, Day);
  if (FixedDate()) return Year;
  std::tm Local{};
  localtime_r(&Now, &Local);
  std::tm Start{};
  Start.tm_year = Local.tm_year;
  Start.tm_mday = 1;
  Start.tm_isdst = -1;
  std::tm End = Start;
  ++End.tm_year;
  const std::time_t From = std::mktime(&Start);
  const std::time_t Until = std::mktime(&End);
  // Kept only when the year read is the year of this clock reading.
  if (Local.tm_year + 1900 == Year && From != -1 && Until != -1 && Now >= From && Now < Until)
    Kept = {From, Until, Year};
  return Year;
}

void SetClockForTesting(uint16_t Year, uint16_t Month, uint16_t Day) {
  FixedDate() = EncodeDate(Year, Month, Day);
}

void ResetClock() { FixedDate().reset(); }
