#include "util/uHPDateTime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/uSysUtils.h"
#include "util/uCalendar.h"
#include "util/uLocale.h"

namespace {

constexpr int64_t kSecond = 1'000'000'000'000;

std::shared_ptr<THPDateTime> HP(uint16_t Y, uint16_t M, uint16_t D, uint16_t H = 0, uint16_t N = 0,
                                uint16_t S = 0, uint16_t MS = 0) {
  return std::make_shared<THPDateTime>(EncodeDateTime(Y, M, D, H, N, S, MS));
}

// English names, colon and point: the settings the expected texts are written in.
class HPDateTimeTest : public ::testing::Test {
protected:
  void SetUp() override {
    ProcessFormatSettings() = EnglishUSFormatSettings();
    if (const char* Old = std::getenv("LC_ALL")) SavedLcAll = Old;
    setenv("LC_ALL", "en_US.UTF-8", 1);
  }
  void TearDown() override {
    if (SavedLcAll)
      setenv("LC_ALL", SavedLcAll->c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  TFormatSettingsGuard Guard;
  std::optional<std::string> SavedLcAll;
};

TEST(UHPDateTime, HoldsDaysAndPicoseconds) {
  const auto V = HP(2004, 1, 1, 12);
  EXPECT_EQ(V->Days, 37987);
  EXPECT_EQ(V->Picoseconds, 43'200 * kSecond);
  EXPECT_EQ(V->GetDateTime(), 37987.5);
  EXPECT_EQ(V->GetSeconds(), 43200.0L);
  V->SetTime(1, 2, 3.000000000004L);
  EXPECT_EQ(V->Picoseconds, 3723 * kSecond + 4);
  V->SetSeconds(-0.0000000000005L);  // half a picosecond: away from zero
  EXPECT_EQ(V->Picoseconds, -1);
  EXPECT_EQ(V->Days, 37987) << "setters leave the day alone";
}

TEST(UHPDateTime, MillisecondJustBeforeMidnightStartsTheNextDay) {
  const THPDateTime V(37987.0 + 86399.9999 / 86400.0);
  EXPECT_EQ(V.Days, 37988);
  EXPECT_EQ(V.Picoseconds, 0);
}

TEST(UHPDateTime, AddingSecondsCarriesAcrossDays) {
  struct Case {
    std::shared_ptr<THPDateTime> Start;
    long double Add;
    double Days;
    int64_t Picoseconds;
  };
  const std::vector<Case> Cases = {
      {HP(2004, 1, 1), -1, 37986, 86'399 * kSecond},
      {HP(2004, 1, 1, 23, 59, 59, 750), 86400.5L, 37989, kSecond / 4},
      {HP(2004, 1, 1), 0.000000000001L, 37987, 1},
      {HP(2004, 1, 1), -86400 * 3 - 0.5L, 37983, 86'399 * kSecond + kSecond / 2},
      {HP(2004, 1, 1, 12), 86400L * 40000, 77987, 43'200 * kSecond},
  };
  for (const Case& C : Cases) {
    C.Start->AddSeconds(C.Add);
    EXPECT_EQ(C.Start->Days, C.Days) << static_cast<double>(C.Add);
    EXPECT_EQ(C.Start->Picoseconds, C.Picoseconds) << static_cast<double>(C.Add);
  }
  auto V = HP(2004, 1, 1);
  V->AddTime(25, 1, 1.5L);
  EXPECT_EQ(V->Days, 37988);
  EXPECT_EQ(V->Picoseconds, 3661 * kSecond + kSecond / 2);
  // 30000 days is more than 32-bit seconds hold: it must still add.
  V = HP(2004, 1, 1);
  V->AddDayTime(30000, 1, 0, 0);
  EXPECT_EQ(V->Days, 37987 + 30000);
  EXPECT_EQ(V->Picoseconds, 3600 * kSecond);
}

TEST(UHPDateTime, ComparesDaysFirstThenSeconds) {
  const IHPDateTimePtr Morning = HP(2004, 1, 1, 8);
  const IHPDateTimePtr Evening = HP(2004, 1, 1, 20);
  const IHPDateTimePtr NextMorning = HP(2004, 1, 2, 1);
  struct Case {
    IHPDateTimePtr A, B;
    uint16_t Op;
    bool Expected;
  };
  for (const Case& C : std::vector<Case>{{Morning, Evening, hpLess, true},
                                         {Morning, Evening, hpGreater, false},
                                         {Evening, NextMorning, hpLess, true},
                                         {NextMorning, Evening, hpGreaterEqual, true},
                                         {Morning, Morning, hpEqual, true},
                                         {Morning, Morning, hpLessEqual, true},
                                         {Morning, Morning, hpNotEqual, false},
                                         {Morning, Evening, hpNotEqual, true},
                                         {Evening, Morning, hpLessEqual, false}})
    EXPECT_EQ(C.A->Compare(C.B, C.Op), C.Expected) << C.Op;
  EXPECT_TRUE(Morning->CompareDateTime(hpLess, EncodeDateTime(2004, 1, 1, 8, 0, 0, 1)));
  EXPECT_TRUE(Morning->CompareDateTime(hpEqual, EncodeDateTime(2004, 1, 1, 8, 0, 0, 0)));
}

TEST(UHPDateTime, MisuseRaisesTheDocumentedErrors) {
  const auto V = HP(2004, 1, 1);
  for (uint16_t Op : {0, 11, 13, 20}) {
    try {
      V->Compare(V, Op);
      ADD_FAILURE() << Op;
    } catch (const EInvalidOperation& E) {
      EXPECT_EQ(E.Message(), "Operation not supported");
    }
  }
  try {
    V->Compare(nullptr, hpEqual);
    ADD_FAILURE();
  } catch (const EAssertionFailed& E) {
    EXPECT_EQ(E.Message().rfind("Parameter is NIL (uHPDateTime, line ", 0), 0u) << E.Message();
  }
  EXPECT_THROW(V->DiffSeconds(nullptr), EAssertionFailed);
  try {
    V->Assign(nullptr);
    ADD_FAILURE();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Cannot assign a Nil to a THPDateTime");
  }
}

TEST(UHPDateTime, AssignCopiesDayAndSeconds) {
  const auto Source = HP(2004, 1, 5, 10, 20, 5);
  Source->AddSeconds(0.000000000123L);
  THPDateTime Target;
  Target.Assign(Source);
  EXPECT_EQ(Target.Days, 37991);
  EXPECT_EQ(Target.Picoseconds, Source->Picoseconds);
}

TEST(UHPDateTime, DifferencesArePositiveWhenLater) {
  const auto Later = HP(2004, 1, 2, 0, 0, 1);
  const auto Earlier = HP(2004, 1, 1, 23, 59, 59);
  EXPECT_EQ(Later->DiffSeconds(Earlier), 2.0L);
  EXPECT_EQ(Earlier->DiffSeconds(Later), -2.0L);
  Later->AddSeconds(0.000000000001L);
  EXPECT_NEAR(static_cast<double>(Later->DiffSeconds(Earlier) - 2.0L), 1e-12, 1e-14);
  EXPECT_EQ(Earlier->DiffDateTime(EncodeDate(2004, 1, 1)), 86399.0L);
}

TEST_F(HPDateTimeTest, WritesFractionalSeconds) {
  const auto V = HP(2004, 1, 5, 10, 20, 5, 250);
  EXPECT_EQ(V->ToString(), "05.Jan.2004 10:20:05.25");
  EXPECT_EQ(HP(2004, 1, 5, 10, 20, 5)->ToString(), "05.Jan.2004 10:20:05");
  struct Case {
    std::string Format;
    int Decimals;
    std::string Expected;
  };
  for (const Case& C : std::vector<Case>{{"hh:nn:ssss", 3, "10:20:05.250"},
                                         {"hh:nn:ssss", 0, "10:20:05.25"},
                                         {"hh:nn:sss", -1, "10:20:5.25"},
                                         {"sssss", 1, "37205.3"},  // half away from zero
                                         {"ssss", 1, "05.3"},
                                         {"hh:nn:ss.zzz", -1, "10:20:05.250"}})
    EXPECT_EQ(HPDateTimeToStr(C.Format, V, C.Decimals), C.Expected) << C.Format;
  V->AddSeconds(0.000000001L);
  EXPECT_EQ(HPDateTimeToStr("ssss", V, -1), "05.250000001");
  EXPECT_EQ(HPDateTimeToStr("ssss", nullptr, -1), "0");
}

TEST_F(HPDateTimeTest, RoundsFractionalSecondsHalfAwayFromZero) {
  struct Case {
    long double Seconds;
    int Decimals;
    std::string Expected;
  };
  for (const Case& C : std::vector<Case>{{9.96L, 1, "10.0"},
                                         {9.94L, 1, "09.9"},
                                         {0.04L, 1, "00.0"},
                                         {0.0L, -1, "00"},
                                         {0.125L, 2, "00.13"},
                                         {99.5L, 0, "39.5"},
                                         {0.000000000001L, -1, "00"},
                                         {0.0000000005L, -1, "00.000000001"}}) {
    auto V = std::make_shared<THPDateTime>();
    V->SetSeconds(C.Seconds);
    EXPECT_EQ(HPDateTimeToStr("ssss", V, C.Decimals), C.Expected) << static_cast<double>(C.Seconds);
  }
}

TEST_F(HPDateTimeTest, DecimalSeparatorComesFromTheLocale) {
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(HPDateTimeToStr("ssss", HP(2004, 1, 5, 10, 20, 5, 250), 2), "05,25");
}

TEST_F(HPDateTimeTest, MinuteNeverRunsAheadOfItsSeconds) {
  const auto V = HP(2004, 1, 5, 10, 20, 59);
  V->AddSeconds(0.9996L);
  EXPECT_EQ(HPDateTimeToStr("hh:nn:ssss", V, 4), "10:20:59.9996");
}

TEST_F(HPDateTimeTest, UnusableFormatFailsTheAssertion) {
  try {
    HPDateTimeToStr("y", HP(2004, 1, 1), -1);
    ADD_FAILURE();
  } catch (const EAssertionFailed& E) {
    EXPECT_EQ(E.Message().rfind("Invalid datetime format string (uHPDateTime, line ", 0), 0u)
        << E.Message();
  }
}

TEST_F(HPDateTimeTest, ReadsFractionalSeconds) {
  struct Case {
    std::string S;
    std::string Format;
    bool Valid;
    double Days;
    int64_t Picoseconds;
  };
  for (const Case& C : std::vector<Case>{
           {"05.01.2004 10:20:05.25", "dd.mm.yyyy hh:nn:ssss", true, 37991, 37205 * kSecond + kSecond / 4},
           {"05.01.2004 10:20:5.000000000001", "dd.mm.yyyy hh:nn:sss", true, 37991, 37205 * kSecond + 1},
           {"05.01.2004 37205.5", "dd.mm.yyyy sssss", true, 37991, 37205 * kSecond + kSecond / 2},
           {"05.01.2004 10:20:60", "dd.mm.yyyy hh:nn:ssss", false, 0, 0},
           {"05.01.2004 86400", "dd.mm.yyyy sssss", false, 0, 0},
           {"05.01.2004 10:20:x", "dd.mm.yyyy hh:nn:ssss", false, 0, 0},
           {"10:20:05.125", "hh:nn:ss.zzz", true, 0, 37205 * kSecond + kSecond / 8},
       }) {
    THPDateTimeStringConvertor Conv;
    Conv.SetFormatSettings(EnglishUSFormatSettings());
    Conv.SetFormat(C.Format);
    Conv.SetDateTimeText(C.S);
    EXPECT_EQ(Conv.Valid, C.Valid) << C.S;
    if (!C.Valid || !Conv.Valid) continue;
    auto* V = dynamic_cast<THPDateTime*>(Conv.HPValue.get());
    ASSERT_NE(V, nullptr);
    EXPECT_EQ(V->Days, C.Days) << C.S;
    EXPECT_EQ(V->Picoseconds, C.Picoseconds) << C.S;
  }
}

TEST_F(HPDateTimeTest, PlainConvertorRejectsFractionalSecondTokens) {
  TDateTimeStringConvertor Plain;
  THPDateTimeStringConvertor High;
  Plain.SetFormat("hh:nn:ssss");
  High.SetFormat("hh:nn:ssss");
  EXPECT_FALSE(Plain.IsFormatValid());
  EXPECT_TRUE(High.IsFormatValid());
}

}  // namespace

// Milliseconds are cut from the exact picosecond count: a value held as a
// whole millisecond must never be written one millisecond early.
TEST_F(HPDateTimeTest, WholeMillisecondsAreWrittenExactly) {
  char Expected[32];
  for (int64_t Ms = 0; Ms < 86'400'000; Ms += 1'919) {
    auto V = HP(2004, 1, 5);
    V->SetSeconds(static_cast<long double>(Ms) / 1000.0L);
    std::snprintf(Expected, sizeof Expected, "%02d:%02d:%02d.%03d", static_cast<int>(Ms / 3'600'000),
                  static_cast<int>(Ms / 60'000 % 60), static_cast<int>(Ms / 1000 % 60),
                  static_cast<int>(Ms % 1000));
    ASSERT_EQ(HPDateTimeToStr("hh:nn:ss.zzz", V, -1), Expected) << Ms << " ms";
  }
}
