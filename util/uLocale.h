// Locale identifiers (32-bit numbers, 1033 for English, United States) and the
// locale data behind them. Linux has no locale data by identifier, so the
// library carries tables of its own for a handful of common locales;
// identifier 0 stands for the user's default locale, taken from the
// environment (LC_ALL, LC_TIME, LANG). The date/time conversions take it as
// start-up read it (DefaultLCID), never from the environment per call.
#pragma once

#include <cstdint>
#include <vector>

#include "support/udroot.h"
#include "util/uFormatSettings.h"

// English (United States). Constant-initialised so that it can be read even
// before start-up; InitLocale sets it again.
extern uint32_t LocaleEnglishUS;

constexpr uint16_t MakeLangID(uint16_t Primary, uint16_t Sub) {
  return static_cast<uint16_t>((Sub << 10) | Primary);
}
constexpr uint32_t MakeLCID(uint16_t LangID, uint16_t Sort) {
  return (static_cast<uint32_t>(Sort) << 16) | LangID;
}
constexpr uint16_t LangIDFromLCID(uint32_t LCID) { return static_cast<uint16_t>(LCID & 0xFFFF); }

// True for 0 and for every identifier in the library's locale tables.
bool IsValidLCID(uint32_t LCID);
// The identifier that 0 stands for: the user's default locale from the
// environment; "C", "POSIX" and unknown locales give English (United States).
uint32_t UserDefaultLCID();
// The identifier of a POSIX locale name such as "de_DE.UTF-8", or 0 if unknown.
uint32_t LCIDFromLocaleName(const char* Name);

// The settings of a locale; an identifier not in the tables gives those of
// the user's default locale. The two-digit-year window is 50.
TFormatSettings GetLocaleFormatSettings(uint32_t LCID);

// The user's default locale as start-up (InitLocale) read it from the
// environment, or as the first call read it when start-up has not run.
uint32_t DefaultLCID();
// The settings of a locale by reference, valid for the life of the process:
// 0 and identifiers not in the tables give those of DefaultLCID. Reads no
// environment, copies nothing: what the conversions use per call.
const TFormatSettings& LocaleSettings(uint32_t LCID);
// LocaleSettings for the name lists: assertion "Invalid LCID", as the name
// functions below, when not IsValidLCID(LCID).
const TFormatSettings& LocaleNameSettings(uint32_t LCID);

// Seven names Sunday first / twelve names January first. Assertion "Invalid
// LCID" when not IsValidLCID(LCID).
TDynStringArray GetShortDayNames(uint32_t LCID);
TDynStringArray GetLongDayNames(uint32_t LCID);
TDynStringArray GetShortMonthNames(uint32_t LCID);
TDynStringArray GetLongMonthNames(uint32_t LCID);

// One locale of the library's tables: its identifier, the POSIX language
// and territory it stands for ("de", "DE") and its settings.
struct TLocaleInfo {
  uint32_t LCID;
  const char* Language;
  const char* Territory;
  TFormatSettings Settings;
};
// The tables; the first entry of a language stands for its other territories.
const std::vector<TLocaleInfo>& LocaleTable();

// Start-up: reads the default locale from the environment once, keeps it as
// DefaultLCID, puts its settings into the process-wide settings and sets
// LocaleEnglishUS.
void InitLocale();
