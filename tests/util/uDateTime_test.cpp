#include "util/uDateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/uSysUtils.h"
#include "util/uCalendar.h"
#include "util/uClock.h"
#include "util/uLocale.h"

namespace {

TDateTime DT(uint16_t Y, uint16_t M, uint16_t D, uint16_t H = 0, uint16_t N = 0, uint16_t S = 0,
             uint16_t MS = 0) {
  return EncodeDateTime(Y, M, D, H, N, S, MS);
}

TDateTime Time(uint16_t H, uint16_t N, uint16_t S = 0, uint16_t MS = 0) {
  return EncodeTime(H, N, S, MS);
}

// Fixed clock and separators, so no case depends on today or on the machine's locale.
class DateTimeTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetClockForTesting(2024, 6, 1);
    TFormatSettings& P = ProcessFormatSettings();
    P = EnglishUSFormatSettings();
    P.DateSeparator = '/';
    P.TimeSeparator = ':';
  }
  void TearDown() override { ResetClock(); }
  TFormatSettingsGuard Guard;
};

// ---- calendar ----

TEST(UCalendar, DayNumbersMatchTheDateTimeEpoch) {
  struct Case {
    uint16_t Y, M, D;
    double Day;
    uint16_t Weekday;  // 1 = Sunday
  };
  for (const Case& C : std::vector<Case>{{1899, 12, 30, 0, 7},
                                         {1900, 1, 1, 2, 2},
                                         {1951, 8, 2, 18842, 5},
                                         {2004, 1, 1, 37987, 5},
                                         {2004, 2, 29, 38046, 1},
                                         {1, 1, 1, -693593, 2},
                                         {9999, 12, 31, 2958465, 6}}) {
    EXPECT_EQ(EncodeDate(C.Y, C.M, C.D), C.Day) << C.Y << "-" << C.M << "-" << C.D;
    uint16_t Y = 0, M = 0, D = 0;
    DecodeDate(C.Day + (C.Day >= 0 ? 0.75 : -0.75), Y, M, D);
    EXPECT_EQ(Y * 10000 + M * 100 + D, C.Y * 10000 + C.M * 100 + C.D);
    EXPECT_EQ(DayOfWeek(C.Day), C.Weekday) << C.Day;
  }
}

TEST(UCalendar, RejectsImpossibleDatesAndTimes) {
  TDateTime V = 123;
  EXPECT_FALSE(TryEncodeDate(2003, 2, 29, V));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, V));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, V));
  EXPECT_FALSE(TryEncodeDate(2004, 13, 1, V));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, V));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, V));
  EXPECT_EQ(V, 123) << "untouched on failure";
  EXPECT_THROW(EncodeDate(2003, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
}

TEST(UCalendar, DecodingRoundsToMillisecondsAndCarriesIntoTheNextDay) {
  uint16_t Y = 0, M = 0, D = 0, H = 0, N = 0, S = 0, MS = 0;
  DecodeDateTime(37987.0 + 86399.9996 / 86400.0, Y, M, D, H, N, S, MS);
  EXPECT_EQ((std::vector<int>{Y, M, D, H, N, S, MS}), (std::vector<int>{2004, 1, 2, 0, 0, 0, 0}));
  // Before day 0 the time of day counts away from zero.
  DecodeDateTime(-1.25, Y, M, D, H, N, S, MS);
  EXPECT_EQ((std::vector<int>{Y, M, D, H}), (std::vector<int>{1899, 12, 29, 6}));
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
  DecodeDate(std::nan(""), Y, M, D);
  EXPECT_EQ(Y + M + D, 0);
}

// ---- conversion ----

struct ParseCase {
  std::string S;
  std::string Format;
  uint32_t LCID;
  std::optional<TDateTime> Expected;  // nullopt: invalid
};

TEST_F(DateTimeTest, ReadsStringsUnderFormats) {
  const std::vector<ParseCase> Cases = {
      {"01.02.03", "dd.mm.yy", 0, DT(2003, 2, 1)},
      {"1.02.03", "dd.mm.yy", 0, std::nullopt},       // day needs two digits
      {"01.02.2003", "dd.mm.yy", 0, std::nullopt},    // greedy year run of four
      {"01.02.03xyz", "dd.mm.yy", 0, DT(2003, 2, 1)}, // the rest is ignored
      {"+1.02.03", "dd.mm.yy", 0, DT(2003, 2, 1)},
      {"01+.02.03", "dd.mm.yy", 0, std::nullopt},     // plus only in front
      {"31.02.04", "dd.mm.yy", 0, 0.0},               // no date: a bare time
      {"01.13.04", "dd.mm.yy", 0, 0.0},
      {"23.59.59", "hh.nn.ss", 0, 86399.0 / 86400.0},
      {"24.00.00", "hh.nn.ss", 0, std::nullopt},
      {"01.01.2004 25.00.00", "dd.mm.yyyy hh.nn.ss", 0, std::nullopt},
      {"18.02.2004 17.06.00", "dd.mm.yyyy hh.nn.ss", 0, 38035.0 + (17 * 60 + 6) / 1440.0},
      {"02-AUG-1951", "dd-mmm-yyyy", 1033, 18842.0},
      {"02-aug-1951", "dd-mmm-yyyy", 1033, 18842.0},
      {"02-AUGUST-1951", "dd-mmm-yyyy", 1033, std::nullopt},
      {"02 August 1951", "dd mmmm yyyy", 1033, 18842.0},
      {"02/08/1951", "dd?mm?yyyy", 0, DT(1951, 8, 2)},
      {"02x08x1951", "dd?mm?yyyy", 0, DT(1951, 8, 2)},
      {"12:30", "hh:mm", 0, Time(12, 30)},            // minutes after an hour
      {"12.03", "hh.mm", 0, 0.5},                     // month: no date, 12:00
      {"01.02.2004", "dd.mm.yyyyy", 0, 0.0},          // the five y end the format
      {"Sun 01.02.04", "ddd dd.mm.yy", 1033, DT(2004, 2, 1)},
      {"Mon 01.02.04", "ddd dd.mm.yy", 1033, DT(2004, 2, 1)},  // weekday not compared
      {"01.02.04", "ddd dd.mm.yy", 1033, std::nullopt},
      {"Sunday, 1 Feb 2004", "dddd, d mmm yyyy", 1033, DT(2004, 2, 1)},
      {"1:05 pm", "h:nn am/pm", 0, Time(13, 5)},
      {"12:30 AM", "h:nn am/pm", 0, Time(12, 30)},    // 12 stays 12
      {"12:30 pm", "h:nn am/pm", 0, Time(12, 30)},
      {"1:05 xm", "h:nn am/pm", 0, std::nullopt},
      {"1:05 p", "h:nn a/p", 0, Time(13, 5)},
      {"1:05 PM", "h:nn ampm", 0, Time(13, 5)},
      {"10:20:05.250", "hh:nn:ss.zzz", 0, Time(10, 20, 5, 250)},
      {"10:20:05.25", "hh:nn:ss.zzz", 0, std::nullopt},
      {"10:20:05.7", "h:n:s.z", 0, Time(10, 20, 5, 7)},
      {"38000 12:00", "ddddddd hh:nn", 0, 38000.5},
      {"05T10", "dd'T'hh", 0, Time(10, 0)},
      {"05t10", "dd'T'hh", 0, Time(10, 0)},           // literals ignore case
      {"05/01/2004", "dd/mm/yyyy", 0, DT(2004, 1, 5)},
      {"05-01-2004", "dd/mm/yyyy", 0, std::nullopt},  // "/" is the date separator
      {"10.20", "hh:nn", 0, std::nullopt},
      {"", "hh:nn", 0, std::nullopt},
      {"x", "?", 0, 0.0},
      {"", "?", 0, 0.0},                              // any-char passes the end
  };
  for (const ParseCase& C : Cases) {
    SCOPED_TRACE(C.S + " / " + C.Format);
    TDateTime V = -7;
    EXPECT_EQ(IsValidDateTimeStr(C.S, C.Format, C.LCID), C.Expected.has_value());
    EXPECT_EQ(TryStrToDateTimeFmt(C.S, C.Format, V, C.LCID), C.Expected.has_value());
    if (C.Expected) {
      EXPECT_DOUBLE_EQ(V, *C.Expected);
      EXPECT_DOUBLE_EQ(StrToDateTimeFmt(C.S, C.Format, C.LCID), *C.Expected);
    } else {
      EXPECT_EQ(V, -7) << "left as it was";
      try {
        StrToDateTimeFmt(C.S, C.Format, C.LCID);
        ADD_FAILURE() << "no error";
      } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(), "Invalid date/time string format");
      }
    }
  }
}

TEST_F(DateTimeTest, TwoDigitYearsFollowTheClockAndTheWindow) {
  struct Case {
    uint16_t ClockYear;
    int Window;
    std::string S;
    uint16_t Year;
  };
  for (const Case& C : std::vector<Case>{{2024, 50, "01.02.03", 2003},
                                         {2053, 50, "01.02.03", 2003},
                                         {2054, 50, "01.02.03", 2103},
                                         {2000, 50, "01.02.99", 2099},
                                         {2050, 50, "01.02.00", 2000},
                                         {2050, 50, "01.02.99", 2099},
                                         {2024, 10, "01.02.13", 2113},
                                         {2024, 10, "01.02.14", 2014}}) {
    SetClockForTesting(C.ClockYear);
    ProcessFormatSettings().TwoDigitYearCenturyWindow = C.Window;
    uint16_t Y = 0, M = 0, D = 0;
    DecodeDate(StrToDateTimeFmt(C.S, "dd.mm.yy"), Y, M, D);
    EXPECT_EQ(Y, C.Year) << C.ClockYear << " " << C.Window << " " << C.S;
  }
}

TEST_F(DateTimeTest, UnusableFormatsAndLocalesFailAssertions) {
  struct Case {
    std::string Format;
    uint32_t LCID;
    std::string Message;
  };
  for (const Case& C : std::vector<Case>{{"sss", 0, "Invalid datetime format string (uDateTime"},
                                         {"dd.sssss", 0, "Invalid datetime format string (uDateTime"},
                                         {"y", 0, "Invalid datetime format string (uDateTime"},
                                         {"yyyyy", 0, "Invalid datetime format string (uDateTime"},
                                         {"dd.mm.yy", 12345, "Invalid LCID (uDateTime"}}) {
    SCOPED_TRACE(C.Format);
    TDateTime V = 0;
    for (int Fn = 0; Fn < 3; ++Fn) {
      try {
        if (Fn == 0) IsValidDateTimeStr("01.02.03", C.Format, C.LCID);
        if (Fn == 1) StrToDateTimeFmt("01.02.03", C.Format, C.LCID);
        if (Fn == 2) TryStrToDateTimeFmt("01.02.03", C.Format, V, C.LCID);
        ADD_FAILURE() << "no assertion from function " << Fn;
      } catch (const EAssertionFailed& E) {
        EXPECT_EQ(E.Message().rfind(C.Message, 0), 0u) << E.Message();
      }
    }
  }
}

struct BuildCase {
  TDateTime Value;
  std::string Format;
  std::string Expected;
};

TEST_F(DateTimeTest, BuildsStringsUnderFormats) {
  const TDateTime Monday = DT(2004, 1, 5, 10, 20, 5, 250);
  const std::vector<BuildCase> Cases = {
      {Time(0, 30), "h:nn am/pm", "0:30 am"},
      {Time(12, 30), "h:nn am/pm", "12:30 pm"},
      {Time(13, 5), "h:nn am/pm", "1:05 pm"},
      {Time(13, 5), "hh:nn AM/PM", "01:05 PM"},
      {Time(13, 5), "h:nn a/p", "1:05 p"},
      {Time(9, 5), "h:nn A/P", "9:05 A"},
      {Time(13, 5), "h:nn ampm", "1:05 PM"},
      {Time(13, 5), "hh:nn", "13:05"},
      {Monday, "dd.mm.yyyy hh:nn:ss.zzz", "05.01.2004 10:20:05.250"},
      {Monday, "d/m/yy h:n:s.z", "5/1/04 10:20:5.250"},
      {Monday, "dddd, mmmm d", "Monday, January 5"},
      {Monday, "ddd dd-mmm-yyyy", "Mon 05-Jan-2004"},
      {Monday, "ddddddd", "37991"},
      {Monday, "'at' hh\"h\"", "at 10h"},
      {Monday, "dd?mm", "05?01"},
      {Monday, "hh:mm", "10:20"},
      {Monday, "hh.mm", "10.01"},
      {DT(9, 3, 4), "yyyy-m-d", "0009-3-4"},
  };
  for (const BuildCase& C : Cases) {
    TDateTimeStringConvertor Conv;
    Conv.SetLocale(1033);
    Conv.SetFormat(C.Format);
    Conv.SetDateTime(C.Value);
    EXPECT_TRUE(Conv.Valid) << C.Format;
    EXPECT_EQ(Conv.DateTimeText, C.Expected) << C.Format;
  }
}

TEST_F(DateTimeTest, SeparatorTokensUseTheProcessWideSeparators) {
  ProcessFormatSettings().DateSeparator = '-';
  ProcessFormatSettings().TimeSeparator = '.';
  TDateTimeStringConvertor Conv;
  Conv.SetFormat("dd/mm/yyyy hh:nn");
  Conv.SetDateTime(DT(2004, 1, 5, 10, 20));
  EXPECT_EQ(Conv.DateTimeText, "05-01-2004 10.20");
  EXPECT_TRUE(IsValidDateTimeStr("05-01-2004 10.20", "dd/mm/yyyy hh:nn"));
  EXPECT_FALSE(IsValidDateTimeStr("05/01/2004 10:20", "dd/mm/yyyy hh:nn"));
}

TEST_F(DateTimeTest, NormalisesFormats) {
  TDateTimeStringConvertor Conv;
  TFormatSettings Mine = EnglishUSFormatSettings();
  Mine.ShortDateFormat = "d/m/yyyy";
  Mine.LongDateFormat = "dddd d mmmm yyyy";
  Mine.ShortTimeFormat = "hh:mm";
  Mine.LongTimeFormat = "hh:mm:ss";
  Conv.SetFormatSettings(Mine);
  ProcessFormatSettings().ShortDateFormat = "yyyy-mm-dd";
  ProcessFormatSettings().LongTimeFormat = "h:mm:ss";
  struct Case {
    std::string In, Out;
  };
  for (const Case& C : std::vector<Case>{
           {"dd.mm.yy", "DD.MM.YY"},
           {"hh.nn.ss", "HH.NN.SS"},
           {"dd-mmm-yyyy", "DD-MMM-YYYY"},
           {"hh:mm", "HH:NN"},
           {"hh/m", "HH/N"},
           {"hh?mm", "HH?NN"},
           {"hhmm", "HHNN"},
           {"hh.mm", "HH.MM"},   // a literal between keeps the month
           {"h mm", "H MM"},
           {"am/pm 'x'", "am/pm 'x'"},
           {"c", "D/M/YYYY h:mm:ss"},       // long time of the process, as it stands
           {"ddddd", "D/M/YYYY"},
           {"dddddd", "DDDD D MMMM YYYY"},
           {"t", "HH:NN"},
           {"tt", "HH:NN:SS"},
           {"t mm", "HH:NN MM"},             // after an expansion the month stays
           {"", "yyyy-mm-dd h:mm:ss"},       // not normalised
           {"dd.mm.yyyyy.dd", "DD.MM."},
       })
    EXPECT_EQ(Conv.NormalizeFormat(C.In), C.Out) << C.In;
}

TEST_F(DateTimeTest, SelfReferringLocaleFormatDoesNotRecurseForever) {
  TDateTimeStringConvertor Conv;
  TFormatSettings Loop = EnglishUSFormatSettings();
  Loop.ShortDateFormat = "ddddd.c";
  Conv.SetFormatSettings(Loop);
  EXPECT_NO_THROW(Conv.NormalizeFormat("c"));
}

TEST_F(DateTimeTest, EmptyFormatStandsForTheProcessWideFormats) {
  ProcessFormatSettings().ShortDateFormat = "dd/mm/yyyy";
  ProcessFormatSettings().LongTimeFormat = "hh:nn:ss";
  EXPECT_DOUBLE_EQ(StrToDateTimeFmt("05/01/2004 10:20:30", ""), DT(2004, 1, 5, 10, 20, 30));
}

TEST_F(DateTimeTest, ConvertorReportsAnUnusableFormatAsInvalid) {
  TDateTimeStringConvertor Conv;
  EXPECT_FALSE(Conv.IsFormatValid()) << "a new convertor has no format";
  Conv.SetFormat("dd.mm.yy");
  Conv.SetDateTime(DT(2004, 1, 5));
  EXPECT_EQ(Conv.DateTimeText, "05.01.04");
  Conv.SetFormat("sss");
  EXPECT_FALSE(Conv.Valid);
  EXPECT_EQ(Conv.DateTimeText, "");
  Conv.SetDateTimeText("12.03.04");
  EXPECT_FALSE(Conv.Valid);
  EXPECT_EQ(Conv.DateTimeText, "12.03.04") << "the string is kept";
}

TEST_F(DateTimeTest, PmMarkerOfAnEarlierStringDoesNotLeakIntoTheNext) {
  TDateTimeStringConvertor Conv;
  Conv.SetFormat("h:nn am/pm");
  Conv.SetDateTimeText("1:00 pm");
  ASSERT_TRUE(Conv.Valid);
  EXPECT_DOUBLE_EQ(Conv.Value, Time(13, 0));
  Conv.SetFormat("h:nn");
  Conv.SetDateTimeText("1:00");
  ASSERT_TRUE(Conv.Valid);
  EXPECT_DOUBLE_EQ(Conv.Value, Time(1, 0));
}

TEST_F(DateTimeTest, LocaleWithoutMarkersReadsTheHourAsWritten) {
  ProcessFormatSettings().TimeAMString = "";
  ProcessFormatSettings().TimePMString = "";
  EXPECT_DOUBLE_EQ(StrToDateTimeFmt("9:00", "h:nnampm"), Time(9, 0));
  EXPECT_DOUBLE_EQ(StrToDateTimeFmt("21:00", "h:nnampm"), Time(21, 0));
}

// Building then reading under the same format gives the value back.
TEST_F(DateTimeTest, BuildThenParseRoundTrips) {
  struct Case {
    std::string Format;
    uint16_t MaxYear;
  };
  const std::vector<Case> Formats = {{"dd.mm.yyyy hh.nn.ss", 9999},
                                     {"yyyy/mm/dd hh:nn:ss.zzz", 9999},
                                     {"d-mmm-yyyy h:n:s.z am/pm", 9999},
                                     {"dddd d mmmm yyyy hh:nn:ss", 9999},
                                     {"ddddddd hh:nn:ss", 2079}};  // day count fits 16 bits
  std::mt19937 Rng(20040218);
  for (const Case& F : Formats) {
    for (int I = 0; I < 300; ++I) {
      const auto Pick = [&](int Lo, int Hi) {
        return static_cast<uint16_t>(std::uniform_int_distribution<int>(Lo, Hi)(Rng));
      };
      const uint16_t Year = F.MaxYear == 2079 ? Pick(1900, 2078) : Pick(1, F.MaxYear);
      const TDateTime V = DT(Year, Pick(1, 12), Pick(1, 28), Pick(0, 23), Pick(0, 59), Pick(0, 59),
                             F.Format.find('z') != std::string::npos ? Pick(0, 999) : 0);
      TDateTimeStringConvertor Conv;
      Conv.SetLocale(1033);
      Conv.SetFormat(F.Format);
      Conv.SetDateTime(V);
      const std::string Text = Conv.DateTimeText;
      TDateTime Back = 0;
      ASSERT_TRUE(TryStrToDateTimeFmt(Text, F.Format, Back, 1033)) << Text << " / " << F.Format;
      ASSERT_EQ(Back, V) << Text << " / " << F.Format;
    }
  }
}

// The command line checks files on several threads at once, each reading
// dates and times under the same few formats: every thread gets what one
// thread alone gets.
TEST_F(DateTimeTest, ThreadsReadTheSameValuesAsOneThread) {
  const std::vector<std::pair<std::string, std::string>> Texts = {
      {"07.12.26", "dd?mm?yy"}, {"22.30.00", "hh?nn?ss"}, {"02-AUG-1951", "dd-mmm-yyyy"},
      {"31.02.04", "dd.mm.yy"}, {"1:05 pm", "h:nn am/pm"}, {"05T10", "dd'T'hh"}};
  std::vector<TDateTime> Alone;
  for (const auto& [S, F] : Texts) Alone.push_back(StrToDateTimeFmt(S, F, 1033));
  std::vector<int> Wrong(4, 0);
  std::vector<std::thread> Threads;
  for (size_t T = 0; T < Wrong.size(); ++T)
    Threads.emplace_back([&, T] {
      for (int Round = 0; Round < 500; ++Round)
        for (size_t I = 0; I < Texts.size(); ++I)
          if (StrToDateTimeFmt(Texts[I].first, Texts[I].second, 1033) != Alone[I]) ++Wrong[T];
    });
  for (std::thread& T : Threads) T.join();
  EXPECT_EQ(Wrong, std::vector<int>(Wrong.size(), 0));
}

}  // namespace
