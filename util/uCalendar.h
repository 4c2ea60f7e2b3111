// Encoding and decoding of date-time values (days since 30 December 1899, the
// fraction is the time of day) through the std::chrono civil calendar:
// proleptic Gregorian, years 1 to 9999.
#pragma once

#include <cstdint>

using TDateTime = double;

// The day 30 December 1899 is 0; 1 January 1970 is this many days later.
constexpr int32_t UnixDateDelta = 25569;

bool IsValidDate(uint16_t Year, uint16_t Month, uint16_t Day);
bool IsValidTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec);

bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Date);
bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Time);
bool TryEncodeDateTime(uint16_t Year, uint16_t Month, uint16_t Day, uint16_t Hour, uint16_t Min,
                       uint16_t Sec, uint16_t MSec, TDateTime& Value);
// EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day);
TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec);
TDateTime EncodeDateTime(uint16_t Year, uint16_t Month, uint16_t Day, uint16_t Hour, uint16_t Min,
                         uint16_t Sec, uint16_t MSec);

// Decoding rounds to whole milliseconds first, so 23:59:59.9996 is the next
// midnight. Values outside years 1 to 9999 decode to all zeros.
void DecodeDate(TDateTime Value, uint16_t& Year, uint16_t& Month, uint16_t& Day);
void DecodeTime(TDateTime Value, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec);
void DecodeDateTime(TDateTime Value, uint16_t& Year, uint16_t& Month, uint16_t& Day,
                    uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec);
// 1 = Sunday ... 7 = Saturday.
uint16_t DayOfWeek(TDateTime Value);
