#include "util/uLocale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/uSysUtils.h"
#include "util/uDateTime.h"

namespace {

// Sets the three locale variables for one scope and restores them after.
class LocaleEnvGuard {
public:
  LocaleEnvGuard(const char* All, const char* Time, const char* Lang) {
    for (int I = 0; I < 3; ++I) {
      const char* Old = std::getenv(kNames[I]);
      FSaved[I] = Old ? std::optional<std::string>(Old) : std::nullopt;
    }
    Set(0, All);
    Set(1, Time);
    Set(2, Lang);
  }
  ~LocaleEnvGuard() {
    for (int I = 0; I < 3; ++I) Set(I, FSaved[I] ? FSaved[I]->c_str() : nullptr);
  }

private:
  static void Set(int I, const char* V) {
    if (V)
      setenv(kNames[I], V, 1);
    else
      unsetenv(kNames[I]);
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_TIME", "LANG"};
  std::optional<std::string> FSaved[3];
};

TEST(ULocale, IdentifiersAreBuiltFromLanguageSubLanguageAndSort) {
  EXPECT_EQ(MakeLangID(9, 1), 1033);
  EXPECT_EQ(MakeLCID(MakeLangID(9, 1), 0), 0x0409u);
  EXPECT_EQ(MakeLCID(0x0407, 1), 0x00010407u);
  EXPECT_EQ(LangIDFromLCID(0x00010407u), 0x0407);
  EXPECT_EQ(LocaleEnglishUS, 1033u) << "usable before start-up";
}

TEST(ULocale, ValidIdentifiersAreZeroAndTheTabledLocales) {
  for (uint32_t Id : {0u, 1033u, 2057u, 1031u, 1036u, 1043u, 3082u, 1040u})
    EXPECT_TRUE(IsValidLCID(Id)) << Id;
  for (uint32_t Id : {1u, 9u, 12345u, 0x00010409u, 0xFFFFFFFFu}) EXPECT_FALSE(IsValidLCID(Id)) << Id;
}

TEST(ULocale, EnglishNamesAreTheUsualOnes) {
  EXPECT_EQ(GetShortMonthNames(1033),
            (TDynStringArray{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct",
                             "Nov", "Dec"}));
  EXPECT_EQ(GetLongMonthNames(1033).front(), "January");
  EXPECT_EQ(GetLongMonthNames(1033).back(), "December");
  EXPECT_EQ(GetShortDayNames(1033),
            (TDynStringArray{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}));
  EXPECT_EQ(GetLongDayNames(1033).front(), "Sunday");
  EXPECT_EQ(GetLongDayNames(1033).back(), "Saturday");
}

TEST(ULocale, EveryTabledLocaleHasSevenDaysAndTwelveMonths) {
  for (const TLocaleInfo& L : LocaleTable()) {
    EXPECT_EQ(GetShortDayNames(L.LCID).size(), 7u) << L.LCID;
    EXPECT_EQ(GetLongMonthNames(L.LCID).size(), 12u) << L.LCID;
    for (const std::string& N : GetShortMonthNames(L.LCID)) EXPECT_FALSE(N.empty()) << L.LCID;
    // Every locale format must be usable by the convertor.
    for (const std::string& F : {L.Settings.ShortDateFormat, L.Settings.LongDateFormat,
                                 L.Settings.ShortTimeFormat, L.Settings.LongTimeFormat}) {
      TDateTimeStringConvertor Conv;
      Conv.SetFormat(F);
      EXPECT_TRUE(Conv.Valid) << L.LCID << " " << F;
    }
  }
  EXPECT_EQ(GetLongMonthNames(1031)[2], "M\xC3\xA4rz");
  EXPECT_EQ(GetShortDayNames(1043)[0], "zo");
}

TEST(ULocale, NameFunctionsAssertOnAnInvalidIdentifier) {
  using Fn = TDynStringArray (*)(uint32_t);
  for (Fn F : {Fn{GetShortDayNames}, Fn{GetLongDayNames}, Fn{GetShortMonthNames},
               Fn{GetLongMonthNames}}) {
    try {
      F(12345);
      ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& E) {
      EXPECT_EQ(E.Message().rfind("Invalid LCID (uLocale, line ", 0), 0u) << E.Message();
    }
  }
}

TEST(ULocale, DefaultLocaleComesFromTheEnvironment) {
  struct Case {
    const char* All;
    const char* Time;
    const char* Lang;
    uint32_t Expected;
  };
  for (const Case& C : std::vector<Case>{
           {nullptr, nullptr, nullptr, 1033},
           {nullptr, nullptr, "de_DE.UTF-8", 1031},
           {nullptr, "fr_FR.UTF-8", "de_DE.UTF-8", 1036},
           {"nl_NL", "fr_FR.UTF-8", "de_DE.UTF-8", 1043},
           {"", "", "en_GB.UTF-8", 2057},          // empty counts as unset
           {nullptr, nullptr, "es_ES@euro", 3082},
           {nullptr, nullptr, "it_CH.UTF-8", 1040}, // the language's tabled locale
           {nullptr, nullptr, "C", 1033},
           {nullptr, nullptr, "POSIX", 1033},
           {nullptr, nullptr, "C.UTF-8", 1033},
           {nullptr, nullptr, "xx_YY", 1033},
       }) {
    LocaleEnvGuard Env(C.All, C.Time, C.Lang);
    EXPECT_EQ(UserDefaultLCID(), C.Expected) << (C.Lang ? C.Lang : "-");
  }
}

TEST(ULocale, UnknownIdentifierGetsTheDefaultLocalesSettings) {
  LocaleEnvGuard Env(nullptr, nullptr, "de_DE.UTF-8");
  EXPECT_EQ(GetLocaleFormatSettings(0).DateSeparator, '.');
  EXPECT_EQ(GetLocaleFormatSettings(12345).DecimalSeparator, ',');
  EXPECT_EQ(GetLocaleFormatSettings(1036).ShortDateFormat, "dd/MM/yyyy");
  EXPECT_EQ(GetShortMonthNames(0)[9], "Okt");
  EXPECT_EQ(GetLocaleFormatSettings(1033).TwoDigitYearCenturyWindow, 50);
}

TEST(ULocale, StartUpReadsTheDefaultLocaleIntoTheProcessSettings) {
  TFormatSettingsGuard Guard;
  LocaleEnvGuard Env(nullptr, "fr_FR.UTF-8", nullptr);
  ProcessFormatSettings().TwoDigitYearCenturyWindow = 7;
  InitLocale();
  EXPECT_EQ(ProcessFormatSettings().DecimalSeparator, ',');
  EXPECT_EQ(ProcessFormatSettings().LongMonthNames[0], "janvier");
  EXPECT_EQ(ProcessFormatSettings().TwoDigitYearCenturyWindow, 50);
  EXPECT_EQ(LocaleEnglishUS, 1033u);
}

// The conversions take the default locale that start-up read: a change of
// the environment afterwards reaches them only through the next start-up,
// while the functions that ask the environment still see it at once.
TEST(ULocale, ConversionsKeepTheLocaleStartUpRead) {
  TFormatSettingsGuard Guard;
  {
    LocaleEnvGuard German(nullptr, nullptr, "de_DE.UTF-8");
    InitLocale();
    LocaleEnvGuard French("fr_FR.UTF-8", nullptr, nullptr);
    EXPECT_EQ(DefaultLCID(), 1031u);
    EXPECT_TRUE(IsValidDateTimeStr("02-Okt-2004", "dd-mmm-yyyy"));
    EXPECT_EQ(GetLocaleFormatSettings(0).LongMonthNames[0], "janvier");
    InitLocale();
    EXPECT_EQ(DefaultLCID(), 1036u);
    EXPECT_FALSE(IsValidDateTimeStr("02-Okt-2004", "dd-mmm-yyyy"));
  }
  InitLocale();  // the environment the test started with
}

TEST(ULocale, LocaleNamesReadDatesUnderTheirLocale) {
  EXPECT_DOUBLE_EQ(StrToDateTimeFmt("02-m\xC3\xA4r-2004", "dd-mmm-yyyy", 1031),
                   EncodeDate(2004, 3, 2));
  EXPECT_DOUBLE_EQ(StrToDateTimeFmt("mardi 2 mars 2004", "dddd d mmmm yyyy", 1036),
                   EncodeDate(2004, 3, 2));
  EXPECT_FALSE(IsValidDateTimeStr("02-Mar-2004", "dd-mmm-yyyy", 1043));
}

}  // namespace
