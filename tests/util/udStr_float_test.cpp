// Number tests, conversion under explicit separators, separator detection and
// float formatting.
#include <gtest/gtest.h>

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "support/uSysUtils.h"
#include "util/uLocale.h"
#include "util/udStr.h"

namespace {

const long double NaN = std::numeric_limits<long double>::quiet_NaN();
const long double Inf = std::numeric_limits<long double>::infinity();

template <typename F>
void ExpectConvertError(const std::string& Message, F Body) {
  try {
    Body();
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), Message);
  }
}

// Numbers of up to 19 digits are read without the C library; the value must
// be the one the C library reads, to the last bit, on both sides of every
// limit of that shortcut (digits, power of ten, zeros, sign).
TEST(UdstrNumberTests, ReadsEveryNumberToTheBitAsTheCLibraryDoes) {
  const locale_t C = newlocale(LC_ALL_MASK, "C", locale_t{});
  for (const char* S :
       {"0.1", "-0.3", "1.5", "-500", "8388607", "0.0001", "123.456", "1e-5", "2.5E+3", "-0", "0.000",
        "000123.4500", "9007199254740993", "9223372036854775807", "9999999999999999999",
        "99999999999999999999", "1.2345678901234567890", "0.30000000000000000001", "1e27", "1e28",
        "123456789012345678e-27", "123456789012345678e-28", "0.000000000000000000000000001",
        "1.7976931348623157e308", "4.9e-324", "1e-99999", "7e-4950", "0e99999", ".5", "5.", "+.25"}) {
    const long double Expected = strtold_l(S, nullptr, C);
    const long double Got = StrToFloatSep(S, '.', '\0');
    EXPECT_EQ(Got, Expected) << S;
    EXPECT_EQ(std::signbit(Got), std::signbit(Expected)) << S;
  }
  freelocale(C);
}

// IsNumber takes '.' and the process separator L in its place (under ','
// both "1.5" and "1,5" pass); IsFloat takes L alone.
TEST(UdstrNumberTests, IsNumberAndIsFloatFollowTheProcessSeparator) {
  struct Case {
    std::string S;
    bool NumberDot, NumberComma, FloatDot, FloatComma;
  };
  const Case Cases[] = {
      {" 256 ", 1, 1, 1, 1}, {"+1E3", 1, 1, 1, 1}, {"1.5", 1, 1, 1, 0}, {"1,5", 0, 1, 0, 1},
      {"-500,5", 0, 1, 0, 1}, {",", 0, 1, 0, 1}, {".", 1, 1, 1, 0}, {"-.", 1, 1, 1, 0}, {"E5", 1, 1, 0, 0},
      {"+e1", 1, 1, 0, 0}, {"", 0, 0, 0, 0}, {"-", 0, 0, 0, 0}, {"1e", 0, 0, 0, 0}, {"1e+", 0, 0, 0, 0},
      {"- 5", 0, 0, 0, 0}, {"1 2", 0, 0, 0, 0}, {"1.2.3", 0, 0, 0, 0}, {"1,5.3", 0, 0, 0, 0},
      {"1,5,3", 0, 0, 0, 0}, {"0x10", 0, 0, 0, 0}, {"inf", 0, 0, 0, 0}, {"-1.7e308", 1, 1, 1, 0},
      {"1.8e308", 0, 0, 1, 0}, {"1e5000", 0, 0, 0, 0}, {"1e-99999", 1, 1, 1, 1}};
  for (const Case& C : Cases) {
    TFormatSettingsGuard Guard;
    ProcessFormatSettings().DecimalSeparator = '.';
    EXPECT_EQ(IsNumber(C.S), C.NumberDot) << '"' << C.S << '"';
    EXPECT_EQ(IsFloat(C.S), C.FloatDot) << '"' << C.S << '"';
    ProcessFormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(IsNumber(C.S), C.NumberComma) << '"' << C.S << "\" L=,";
    EXPECT_EQ(IsFloat(C.S), C.FloatComma) << '"' << C.S << "\" L=,";
    EXPECT_EQ(IsNumberSep(C.S, '.'), C.NumberDot) << '"' << C.S << "\" L=, given .";
  }
}

TEST(UdstrNumberTests, ExplicitSeparatorsCheckGroupingAndConvertUnderEitherProcessSeparator) {
  struct Case {
    std::string S;
    char D, T;
    bool Valid;
    long double Value;
  };
  const Case Cases[] = {
      {"1.234,5", ',', '.', 1, 1234.5L},  // T equals the process separator '.'
      {"1,234.5", '.', ',', 1, 1234.5L}, {" -12.5e1 ", '.', 0, 1, -125},
      {"1,234,567", '.', ',', 1, 1234567}, {"-123,456", '.', ',', 1, -123456},
      {"+1,234", '.', ',', 1, 1234}, {"1 234,5", ',', ' ', 1, 1234.5L},
      {"1,5.3", ',', '.', 0, 0},  // decimal before thousands
      {"12.34,5", ',', '.', 0, 0},  // bad grouping
      {"1,234.5,6", '.', ',', 0, 0},  // thousands after the last decimal
      {"1234,567", '.', ',', 0, 0}, {"12,34", '.', ',', 0, 0},
      {"+123,456", '.', ',', 0, 0},  // only a leading minus may stand in a group place
      {"1,234.5", 0, ',', 0, 0}, {"", '.', ',', 0, 0}, {"E5", '.', ',', 0, 0},
      // The user's ',' is no decimal separator where the file's is '.'.
      {"1,5", '.', 0, 0, 0}, {"-500,5", '.', 0, 0, 0}, {"1.5", 0, 0, 1, 1.5L}};
  for (char L : {'.', ','}) {
    TFormatSettingsGuard Guard;
    ProcessFormatSettings().DecimalSeparator = L;
    for (const Case& C : Cases) {
      EXPECT_EQ(IsValidFloatFormat(C.S, C.D, C.T), C.Valid) << '"' << C.S << "\" L=" << L;
      long double Tried = -7;
      EXPECT_EQ(TryStrToFloatSep(C.S, C.D, C.T, Tried), C.Valid) << '"' << C.S << "\" L=" << L;
      if (C.Valid)
        EXPECT_EQ(StrToFloatSep(C.S, C.D, C.T), C.Value) << '"' << C.S << "\" L=" << L;
      else
        ExpectConvertError("Invalid Float Format", [&] { StrToFloatSep(C.S, C.D, C.T); });
      EXPECT_EQ(Tried, C.Valid ? C.Value : -7) << '"' << C.S << "\" L=" << L;
    }
  }
}

// LC_ALL set for one scope, as the user's session would set it.
class TLcAllGuard {
public:
  explicit TLcAllGuard(const char* Value) {
    if (const char* Old = std::getenv("LC_ALL")) FSaved = Old;
    setenv("LC_ALL", Value, 1);
  }
  ~TLcAllGuard() {
    if (FSaved)
      setenv("LC_ALL", FSaved->c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  TLcAllGuard(const TLcAllGuard&) = delete;
  TLcAllGuard& operator=(const TLcAllGuard&) = delete;

private:
  std::optional<std::string> FSaved;
};

// Start-up under a locale that writes '1,5': the header number checks (the
// same calls the header records and the field reasons make) still read '.'
// only, so one file gets one verdict on every machine; and once a program
// has set '.' at its start, IsNumber reads '.' alone as well.
TEST(UdstrNumberTests, HeaderNumbersReadTheSameUnderEveryCommaLocale) {
  struct Case {
    std::string S;
    bool Valid;
    long double Value;
  };
  const Case Cases[] = {{"1,5", 0, 0}, {"-500,5", 0, 0}, {"1.5", 1, 1.5L}, {"-500.5", 1, -500.5L}};
  for (const char* Locale :
       {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", "it_IT.UTF-8", "nl_NL.UTF-8"}) {
    TLcAllGuard Env(Locale);
    TFormatSettingsGuard Guard;
    InitLocale();
    ASSERT_EQ(ProcessFormatSettings().DecimalSeparator, ',') << Locale;
    for (const Case& C : Cases) {
      EXPECT_EQ(IsValidFloatFormat(C.S, '.', '\0'), C.Valid) << '"' << C.S << "\" " << Locale;
      EXPECT_EQ(IsNumberSep(C.S, '.'), C.Valid) << '"' << C.S << "\" " << Locale;
      if (C.Valid)
        EXPECT_EQ(StrToFloatSep(C.S, '.', '\0'), C.Value) << '"' << C.S << "\" " << Locale;
      else
        ExpectConvertError("Invalid Float Format", [&] { StrToFloatSep(C.S, '.', '\0'); });
    }
    UsePointAsDecimalSeparator();
    EXPECT_NE(ProcessFormatSettings().ThousandSeparator, '.') << Locale;
    for (const Case& C : Cases) EXPECT_EQ(IsNumber(C.S), C.Valid) << '"' << C.S << "\" started under " << Locale;
  }
}

TEST(UdstrSeparators, DetectSeparatorsGuessesFromTheShapeOfTheText) {
  struct Case {
    std::string S;
    char D, T;
    bool PreferLast, Result;
    char DAfter, TAfter;
  };
  const Case Cases[] = {
      {"12.5", 0, 0, 0, 0, '.', 0}, {"1,234.5", 0, 0, 0, 1, '.', ','},
      {"1.234", 0, 0, 0, 0, 0, '.'}, {"1.234", 0, 0, 1, 0, '.', 0},
      {"-1.234.567,89", 0, 0, 0, 1, ',', '.'}, {"1,234,567", 0, 0, 1, 0, ',', 0},
      {"12,5", 0, ',', 0, 0, 0, ','},  // the known T is no decimal
      {"12,5", 0, '.', 0, 1, ',', '.'}, {"", 0, 0, 0, 0, 0, 0}};
  for (const Case& C : Cases) {
    char D = C.D, T = C.T;
    EXPECT_EQ(DetectSeparators(C.S, D, T, C.PreferLast), C.Result) << C.S;
    EXPECT_EQ(D, C.DAfter) << C.S;
    EXPECT_EQ(T, C.TAfter) << C.S;
  }
  // A leading separator, or a decimal out of step with the groups.
  for (const std::string S : {"abc", ".5", "1,23.4"}) {
    char D = 0, T = 0;
    ExpectConvertError("Invalid Float Format", [&] { DetectSeparators(S, D, T, false); });
  }
}

TEST(UdstrFormat, FloatToStrFSepFormatsLikeTheClassicFormats) {
  using F = TFloatFormat;
  struct Case {
    long double Value;
    TFloatFormat Format;
    int Precision, Digits;
    char D, T;
    std::string Expected;
  };
  const Case Cases[] = {
      {0.25L, F::ffGeneral, 15, 0, ',', 0, "0,25"}, {1.5e20L, F::ffGeneral, 15, 0, 0, 0, "1.5E+20"},
      {1e-6L, F::ffGeneral, 15, 2, 0, 0, "1E-06"}, {0.00001L, F::ffGeneral, 15, 0, 0, 0, "0.00001"},
      {12345678, F::ffGeneral, 8, 0, 0, 0, "12345678"},
      {123456789, F::ffGeneral, 8, 0, 0, 0, "1.2345679E+8"},
      {99999.5L, F::ffGeneral, 5, 0, 0, 0, "1E+5"},  // rounding adds a digit
      {1.0L / 3, F::ffGeneral, 40, 0, 0, 0, "0.333333333333333333"},
      {1234567, F::ffGeneral, 1, 0, 0, 0, "1.2E+6"},
      {-0.125L, F::ffGeneral, 2, 0, 0, 0, "-0.13"},  // half away from zero
      {1234.5L, F::ffExponent, 4, 2, 0, 0, "1.235E+03"},
      {-0.00123L, F::ffExponent, 3, 4, 0, 0, "-1.23E-0003"},
      {123.456L, F::ffFixed, 4, 2, 0, 0, "123.50"}, {-0.001L, F::ffFixed, 15, 2, 0, 0, "0.00"},
      {0.006L, F::ffFixed, 15, 2, 0, 0, "0.01"}, {1e20L, F::ffFixed, 15, 2, 0, 0, "1E+20"},
      {-1234567.891L, F::ffNumber, 15, 2, ',', '.', "-1.234.567,89"},
      {-1234.5L, F::ffCurrency, 15, 2, '.', ',', "($1,234.50)"},
      {NaN, F::ffGeneral, 15, 0, 0, 0, "NAN"}, {-Inf, F::ffFixed, 15, 2, 0, 0, "-INF"}};
  for (const Case& C : Cases)
    EXPECT_EQ(FloatToStrFSep(C.Value, C.Format, C.Precision, C.Digits, C.D, C.T), C.Expected)
        << static_cast<double>(C.Value) << " format " << static_cast<int>(C.Format);
}

TEST(UdstrFormat, FloatToStrFSepReadsTheCurrencySettingsButChangesNoSettings) {
  TFormatSettingsGuard Guard;
  TFormatSettings& Settings = ProcessFormatSettings();
  Settings.DecimalSeparator = ',';
  Settings.CurrencyString = "EUR";
  Settings.CurrencyFormat = 3;
  Settings.NegCurrFormat = 8;
  EXPECT_EQ(FloatToStrFSep(0.5L, TFloatFormat::ffGeneral, 15, 0, 0, 0), "0.5");  // none is '.'
  EXPECT_EQ(FloatToStrFSep(1.5L, TFloatFormat::ffCurrency, 15, 2, ',', '.'), "1,50 EUR");
  EXPECT_EQ(FloatToStrFSep(-1.5L, TFloatFormat::ffCurrency, 15, 2, ',', '.'), "-1,50 EUR");
  EXPECT_EQ(Settings.DecimalSeparator, ',');
  EXPECT_EQ(Settings.ThousandSeparator, ',');
  EXPECT_EQ(Settings.CurrencyString, "EUR");
}

TEST(UdstrFormat, FloatToStrFitLowersThePrecisionUntilTheTextFits) {
  struct Case {
    long double Value;
    int MaxLen;
    std::string Expected;
  };
  const Case Cases[] = {
      {0.5L, 8, "0.5"}, {1.0L / 3, 8, "0.333333"}, {0.25L, 8, "0.25"}, {-2048, 8, "-2048"},
      {-1.0L / 3, 8, "-0.33333"}, {123456789, 8, "1.235E+8"}, {5, 2, "5"}};
  for (const Case& C : Cases)
    EXPECT_EQ(FloatToStrFit(C.Value, C.MaxLen, 0, 0), C.Expected) << static_cast<double>(C.Value);
  const std::pair<long double, int> TooLong[] = {{5, 1}, {5, 0}, {5, -3}, {1e-300L, 2}, {NaN, 2}};
  for (auto [Value, MaxLen] : TooLong)
    ExpectConvertError("String exceeds max string length",
                       [&] { FloatToStrFit(Value, MaxLen, 0, 0); });
}

// Header fields written with FloatToStrFit are read back with StrToFloatSep.
TEST(UdstrFormat, FloatToStrFitNeverExceedsMaxLenAndReadsBack) {
  const long double Mantissas[] = {1, 1.5L, 1.0L / 3, 2.0L / 3, 9.99999L, 9.5L, 3.14159265358979L};
  int Fitted = 0;
  for (int Power = -30; Power <= 30; ++Power)
    for (long double M : Mantissas)
      for (long double Value : {M * std::pow(10.0L, Power), -M * std::pow(10.0L, Power)})
        for (int MaxLen = 2; MaxLen <= 12; ++MaxLen) {
          std::string Text;
          try {
            Text = FloatToStrFit(Value, MaxLen, 0, 0);
          } catch (const EConvertError&) {
            EXPECT_LT(MaxLen, 9) << static_cast<double>(Value);  // "-0.000033" needs 9
            continue;
          }
          ++Fitted;
          ASSERT_LE(static_cast<int>(Text.size()), MaxLen) << Text;
          EXPECT_LE(std::fabs(StrToFloatSep(Text, '.', 0) - Value), 0.05L * std::fabs(Value))
              << Text;
        }
  EXPECT_GT(Fitted, 61 * 7 * 2 * 4);
}

}  // namespace
