#include "util/uCalendar.h"

#include <chrono>
#include <cmath>

#include "support/uSysUtils.h"

namespace {

using namespace std::chrono;

constexpr int64_t MSecsPerDay = 86'400'000;

// Day 0 of the date-time value, 30 December 1899, counted from the Unix epoch.
constexpr sys_days DayZero = sys_days{year{1899} / December / 30};

// The first and last day of years 1 to 9999, as date-time day numbers.
const int64_t MinDay = (sys_days{year{1} / January / 1} - DayZero).count();
const int64_t MaxDay = (sys_days{year{9999} / December / 31} - DayZero).count();

// Splits a value into a day number and the milliseconds of its day, rounding
// to whole milliseconds (half to even, as the FPU does) first. The day part
// truncates toward zero and the time of day is the absolute fraction, so
// -1.25 is 29 December 1899 06:00.
bool SplitValue(TDateTime Value, int64_t& DayNumber, int64_t& MSecs) {
  if (!std::isfinite(Value)) return false;
  const double Scaled = std::nearbyint(Value * static_cast<double>(MSecsPerDay));
  // Well beyond year 9999, and inside the int64 range.
  if (std::fabs(Scaled) > 1e18) return false;
  const auto Total = static_cast<int64_t>(Scaled);
  DayNumber = Total / MSecsPerDay;
  MSecs = (Total < 0 ? -Total : Total) % MSecsPerDay;
  return DayNumber >= MinDay && DayNumber <= MaxDay;
}

}  // namespace

bool IsValidDate(uint16_t Year, uint16_t Month, uint16_t Day) {
  if (Year < 1 || Year > 9999) return false;
  const year_month_day Ymd{year{Year}, month{Month}, day{Day}};
  return Ymd.ok();
}

bool IsValidTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec) {
  return Hour < 24 && Min < 60 && Sec < 60 && MSec < 1000;
}

bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Date) {
  if (!IsValidDate(Year, Month, Day)) return false;
  const sys_days Days{year_month_day{year{Year}, month{Month}, day{Day}}};
  Date = static_cast<TDateTime>((Days - DayZero).count());
  return true;
}

bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Time) {
  if (!IsValidTime(Hour, Min, Sec, MSec)) return false;
  const auto MSecs = hours{Hour} + minutes{Min} + seconds{Sec} + milliseconds{MSec};
  Time = static_cast<TDateTime>(MSecs.count()) / static_cast<TDateTime>(MSecsPerDay);
  return true;
}

bool TryEncodeDateTime(uint16_t Year, uint16_t Month, uint16_t Day, uint16_t Hour, uint16_t Min,
                       uint16_t Sec, uint16_t MSec, TDateTime& Value) {
  TDateTime Date = 0;
  TDateTime Time = 0;
  if (!TryEncodeDate(Year, Month, Day, Date) || !TryEncodeTime(Hour, Min, Sec, MSec, Time))
    return false;
  // Before day 0 the time of day counts away from zero, matching the decoding.
  Value = Date >= 0 ? Date + Time : Date - Time;
  return true;
}

TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day) {
  TDateTime Result = 0;
  if (!TryEncodeDate(Year, Month, Day, Result))
    throw EConvertError("Invalid argument to date encode");
  return Result;
}

TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec) {
  TDateTime Result = 0;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, Result))
    throw EConvertError("Invalid argument to time encode");
  return Result;
}

TDateTime EncodeDateTime(uint16_t Year, uint16_t Month, uint16_t Day, uint16_t Hour, uint16_t Min,
                         uint16_t Sec, uint16_t MSec) {
  TDateTime Result = 0;
  if (!TryEncodeDate(Year, Month, Day, Result))
    throw EConvertError("Invalid argument to date encode");
  if (!TryEncodeDateTime(Year, Month, Day, Hour, Min, Sec, MSec, Result))
    throw EConvertError("Invalid argument to time encode");
  return Result;
}

void DecodeDate(TDateTime Value, uint16_t& Year, uint16_t& Month, uint16_t& Day) {
  int64_t DayNumber = 0;
  int64_t MSecs = 0;
  Year = Month = Day = 0;
  if (!SplitValue(Value, DayNumber, MSecs)) return;
  const year_month_day Ymd{DayZero + days{DayNumber}};
  Year = static_cast<uint16_t>(static_cast<int>(Ymd.year()));
  Month = static_cast<uint16_t>(static_cast<unsigned>(Ymd.month()));
  Day = static_cast<uint16_t>(static_cast<unsigned>(Ymd.day()));
}

void DecodeTime(TDateTime Value, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec) {
  int64_t DayNumber = 0;
  int64_t MSecs = 0;
  Hour = Min = Sec = MSec = 0;
  if (!SplitValue(Value, DayNumber, MSecs)) return;
  const hh_mm_ss<milliseconds> Hms{milliseconds{MSecs}};
  Hour = static_cast<uint16_t>(Hms.hours().count());
  Min = static_cast<uint16_t>(Hms.minutes().count());
  Sec = static_cast<uint16_t>(Hms.seconds().count());
  MSec = static_cast<uint16_t>(Hms.subseconds().count());
}

void DecodeDateTime(TDateTime Value, uint16_t& Year, uint16_t& Month, uint16_t& Day,
                    uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec) {
  DecodeDate(Value, Year, Month, Day);
  DecodeTime(Value, Hour, Min, Sec, MSec);
}

uint16_t DayOfWeek(TDateTime Value) {
  int64_t DayNumber = 0;
  int64_t MSecs = 0;
  if (!SplitValue(Value, DayNumber, MSecs)) return 0;
  return static_cast<uint16_t>(weekday{DayZero + days{DayNumber}}.c_encoding() + 1);
}
