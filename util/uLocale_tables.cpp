// The locale data the library carries (Linux has none by identifier). Date and
// time formats are written in the library's own format language: nn is the
// minute, so a reader never depends on the month-after-hour rule.
#include "util/uLocale.h"

namespace {

using Names12 = std::array<std::string, 12>;
using Names7 = std::array<std::string, 7>;

struct TLocaleText {
  char DateSep, TimeSep, DecimalSep, ThousandSep;
  const char* ShortDate;
  const char* LongDate;
  const char* ShortTime;
  const char* LongTime;
  const char* AM;
  const char* PM;
  const char* Currency;
  int CurrencyFormat;
  int NegCurrFormat;
};

TFormatSettings Make(const TLocaleText& T, const Names12& ShortMonths, const Names12& LongMonths,
                     const Names7& ShortDays, const Names7& LongDays) {
  TFormatSettings S;
  S.DateSeparator = T.DateSep;
  S.TimeSeparator = T.TimeSep;
  S.DecimalSeparator = T.DecimalSep;
  S.ThousandSeparator = T.ThousandSep;
  S.ShortDateFormat = T.ShortDate;
  S.LongDateFormat = T.LongDate;
  S.ShortTimeFormat = T.ShortTime;
  S.LongTimeFormat = T.LongTime;
  S.TimeAMString = T.AM;
  S.TimePMString = T.PM;
  S.ShortMonthNames = ShortMonths;
  S.LongMonthNames = LongMonths;
  S.ShortDayNames = ShortDays;
  S.LongDayNames = LongDays;
  S.TwoDigitYearCenturyWindow = 50;
  S.CurrencyString = T.Currency;
  S.CurrencyFormat = T.CurrencyFormat;
  S.NegCurrFormat = T.NegCurrFormat;
  S.CurrencyDecimals = 2;
  return S;
}

const TFormatSettings& US() { return EnglishUSFormatSettings(); }

std::vector<TLocaleInfo> BuildTable() {
  std::vector<TLocaleInfo> T;
  T.push_back({1033, "en", "US", US()});
  T.push_back({2057, "en", "GB",
               Make({'/', ':', '.', ',', "dd/MM/yyyy", "dd MMMM yyyy", "HH:nn", "HH:nn:ss", "AM",
                     "PM", "\xC2\xA3", 0, 1},
                    US().ShortMonthNames, US().LongMonthNames, US().ShortDayNames,
                    US().LongDayNames)});
  T.push_back({1031, "de", "DE",
               Make({'.', ':', ',', '.', "dd.MM.yyyy", "dddd, d. MMMM yyyy", "HH:nn", "HH:nn:ss",
                     "", "", "\xE2\x82\xAC", 3, 8},
                    {"Jan", "Feb", "M\xC3\xA4r", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt",
                     "Nov", "Dez"},
                    {"Januar", "Februar", "M\xC3\xA4rz", "April", "Mai", "Juni", "Juli", "August",
                     "September", "Oktober", "November", "Dezember"},
                    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"},
                    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag",
                     "Samstag"})});
  T.push_back({1036, "fr", "FR",
               Make({'/', ':', ',', ' ', "dd/MM/yyyy", "dddd d MMMM yyyy", "HH:nn", "HH:nn:ss", "",
                     "", "\xE2\x82\xAC", 3, 8},
                    {"janv.", "f\xC3\xA9vr.", "mars", "avr.", "mai", "juin", "juil.",
                     "ao\xC3\xBBt", "sept.", "oct.", "nov.", "d\xC3\xA9" "c."},
                    {"janvier", "f\xC3\xA9vrier", "mars", "avril", "mai", "juin", "juillet",
                     "ao\xC3\xBBt", "septembre", "octobre", "novembre", "d\xC3\xA9" "cembre"},
                    {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."},
                    {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"})});
  T.push_back({1043, "nl", "NL",
               Make({'-', ':', ',', '.', "d-M-yyyy", "dddd d MMMM yyyy", "HH:nn", "HH:nn:ss", "",
                     "", "\xE2\x82\xAC", 2, 12},
                    {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov",
                     "dec"},
                    {"januari", "februari", "maart", "april", "mei", "juni", "juli", "augustus",
                     "september", "oktober", "november", "december"},
                    {"zo", "ma", "di", "wo", "do", "vr", "za"},
                    {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag",
                     "zaterdag"})});
  T.push_back({3082, "es", "ES",
               Make({'/', ':', ',', '.', "dd/MM/yyyy", "dddd, d' de 'MMMM' de 'yyyy", "H:nn",
                     "H:nn:ss", "", "", "\xE2\x82\xAC", 3, 8},
                    {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov",
                     "dic"},
                    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto",
                     "septiembre", "octubre", "noviembre", "diciembre"},
                    {"dom", "lun", "mar", "mi\xC3\xA9", "jue", "vie", "s\xC3\xA1" "b"},
                    {"domingo", "lunes", "martes", "mi\xC3\xA9rcoles", "jueves", "viernes",
                     "s\xC3\xA1" "bado"})});
  T.push_back({1040, "it", "IT",
               Make({'/', ':', ',', '.', "dd/MM/yyyy", "dddd d MMMM yyyy", "HH:nn", "HH:nn:ss", "",
                     "", "\xE2\x82\xAC", 3, 8},
                    {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov",
                     "dic"},
                    {"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno", "luglio",
                     "agosto", "settembre", "ottobre", "novembre", "dicembre"},
                    {"dom", "lun", "mar", "mer", "gio", "ven", "sab"},
                    {"domenica", "luned\xC3\xAC", "marted\xC3\xAC", "mercoled\xC3\xAC",
                     "gioved\xC3\xAC", "venerd\xC3\xAC", "sabato"})});
  return T;
}

}  // namespace

const std::vector<TLocaleInfo>& LocaleTable() {
  static const std::vector<TLocaleInfo> Table = BuildTable();
  return Table;
}
