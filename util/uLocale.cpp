#include "util/uLocale.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/uSysUtils.h"

constexpr uint32_t EnglishUS = MakeLCID(MakeLangID(9, 1), 0);

uint32_t LocaleEnglishUS = EnglishUS;

namespace {

const TLocaleInfo* FindLocale(uint32_t LCID) {
  for (const TLocaleInfo& L : LocaleTable())
    if (L.LCID == LCID) return &L;
  return nullptr;
}

// POSIX semantics: an empty variable counts as unset.
const char* LocaleVariable() {
  for (const char* Name : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* V = std::getenv(Name);
    if (V != nullptr && *V != '\0') return V;
  }
  return nullptr;
}

// Identifier 0 and identifiers not in the tables stand for the user's default.
const TFormatSettings& SettingsOf(uint32_t LCID) {
  const TLocaleInfo* L = LCID == 0 ? nullptr : FindLocale(LCID);
  if (L == nullptr) L = FindLocale(UserDefaultLCID());
  if (L == nullptr) return EnglishUSFormatSettings();
  return L->Settings;
}

// The default locale start-up read, 0 until then. Atomic: the first use may
// come from several checking threads at once (they all find the same value).
std::atomic<const TLocaleInfo*> KeptDefault{nullptr};

const TLocaleInfo& ReadDefault() {
  const TLocaleInfo* L = FindLocale(UserDefaultLCID());
  if (L == nullptr) L = FindLocale(EnglishUS);
  KeptDefault.store(L, std::memory_order_release);
  return *L;
}

const TLocaleInfo& KeptDefaultLocale() {
  const TLocaleInfo* L = KeptDefault.load(std::memory_order_acquire);
  return L != nullptr ? *L : ReadDefault();
}

}  // namespace

bool IsValidLCID(uint32_t LCID) { return LCID == 0 || FindLocale(LCID) != nullptr; }

uint32_t LCIDFromLocaleName(const char* Name) {
  if (Name == nullptr) return 0;
  // language[_territory][.codeset][@modifier]
  const std::string Full = Name;
  const std::string Base = Full.substr(0, Full.find_first_of(".@"));
  const auto Sep = Base.find('_');
  const std::string Language = Base.substr(0, Sep);
  const std::string Territory = Sep == std::string::npos ? std::string() : Base.substr(Sep + 1);
  const TLocaleInfo* SameLanguage = nullptr;
  for (const TLocaleInfo& L : LocaleTable()) {
    if (Language != L.Language) continue;
    if (Territory == L.Territory) return L.LCID;
    if (SameLanguage == nullptr) SameLanguage = &L;
  }
  return SameLanguage != nullptr ? SameLanguage->LCID : 0;
}

uint32_t UserDefaultLCID() {
  const uint32_t LCID = LCIDFromLocaleName(LocaleVariable());
  return LCID != 0 ? LCID : EnglishUS;
}

TFormatSettings GetLocaleFormatSettings(uint32_t LCID) {
  return SettingsOf(LCID);
}

uint32_t DefaultLCID() { return KeptDefaultLocale().LCID; }

const TFormatSettings& LocaleSettings(uint32_t LCID) {
  const TLocaleInfo* L = LCID == 0 ? nullptr : FindLocale(LCID);
  return L != nullptr ? L->Settings : KeptDefaultLocale().Settings;
}

const TFormatSettings& LocaleNameSettings(uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  return LocaleSettings(LCID);
}

TDynStringArray GetShortDayNames(uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  const auto& N = SettingsOf(LCID).ShortDayNames;
  return TDynStringArray(N.begin(), N.end());
}

TDynStringArray GetLongDayNames(uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  const auto& N = SettingsOf(LCID).LongDayNames;
  return TDynStringArray(N.begin(), N.end());
}

TDynStringArray GetShortMonthNames(uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  const auto& N = SettingsOf(LCID).ShortMonthNames;
  return TDynStringArray(N.begin(), N.end());
}

TDynStringArray GetLongMonthNames(uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  const auto& N = SettingsOf(LCID).LongMonthNames;
  return TDynStringArray(N.begin(), N.end());
}

void InitLocale() {
  LocaleEnglishUS = EnglishUS;
  TFormatSettings Settings = ReadDefault().Settings;
  Settings.TwoDigitYearCenturyWindow = 50;
  ProcessFormatSettings() = Settings;
}
