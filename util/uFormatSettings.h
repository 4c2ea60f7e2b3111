// The locale-dependent format settings: one record per locale, and the
// process-wide set that start-up fills from the user's default locale.
#pragma once

#include <array>
#include <string>

struct TFormatSettings {
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, MMMM d, yyyy";
  std::string ShortTimeFormat = "h:nn AMPM";
  std::string LongTimeFormat = "h:nn:ss AMPM";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  int TwoDigitYearCenturyWindow = 50;
  // Currency format (used by the currency float format only).
  std::string CurrencyString = "$";
  int CurrencyFormat = 0;     // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int NegCurrFormat = 0;      // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", ...
  int CurrencyDecimals = 2;
};

// English (United States) settings, the fallback for every unknown locale.
const TFormatSettings& EnglishUSFormatSettings();

// The process-wide settings. Start-up fills them from the user's locale;
// tests may change them (for example DecimalSeparator = ',').
TFormatSettings& ProcessFormatSettings();

// Start-up of every program, after the locale is read: numbers are read and
// written with '.' as the decimal separator whatever the user's locale, so a
// file gets the same verdict on every machine. A thousands separator that
// would now be the same character becomes ','.
void UsePointAsDecimalSeparator();

// Restores the process-wide settings on scope exit (tests and formatting).
class TFormatSettingsGuard {
public:
  TFormatSettingsGuard() : FSaved(ProcessFormatSettings()) {}
  ~TFormatSettingsGuard() { ProcessFormatSettings() = FSaved; }
  TFormatSettingsGuard(const TFormatSettingsGuard&) = delete;
  TFormatSettingsGuard& operator=(const TFormatSettingsGuard&) = delete;

private:
  TFormatSettings FSaved;
};
