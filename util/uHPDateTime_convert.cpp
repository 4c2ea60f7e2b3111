// The high-precision string convertor: the fractional-second tokens sss,
// ssss and sssss on top of the ordinary date/time format language.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "support/uSysUtils.h"
#include "util/uHPDateTime.h"

#include "support/uMath.h"
#include "util/uLocale.h"
#include "util/udStr.h"

namespace {

// Beyond this many decimals an extended float has nothing left to say.
constexpr int MaxPrintedDecimals = 30;

// X (not negative) with Places decimals, rounded half away from zero on its
// 18 significant decimal digits, as pattern formatting has always rounded
// (37205.25 with one decimal is 37205.3, not the binary-exact 37205.2).
void RoundedFixed(long double X, int Places, std::string& IntPart, std::string& Fraction) {
  // to_chars, not printf: the C library's decimal point follows the process
  // locale (which the Qt programs set from the user's) and may be two bytes.
  char Buffer[64];
  const auto Written =
      std::to_chars(Buffer, Buffer + sizeof Buffer, X, std::chars_format::scientific, 17);
  const std::string S(Buffer, Written.ptr);
  std::string Digits = S.substr(0, 1) + S.substr(2, 17);
  int IntDigits = std::atoi(S.c_str() + S.find('e') + 1) + 1;
  const int Keep = IntDigits + Places;
  if (Keep < 0) {
    Digits.clear();
  } else if (Keep < static_cast<int>(Digits.size())) {
    const bool Up = Digits[static_cast<size_t>(Keep)] >= '5';
    Digits.resize(static_cast<size_t>(Keep));
    if (Up) {
      int I = Keep - 1;
      for (; I >= 0 && Digits[static_cast<size_t>(I)] == '9'; --I) Digits[static_cast<size_t>(I)] = '0';
      if (I >= 0) {
        ++Digits[static_cast<size_t>(I)];
      } else {
        Digits.insert(0, 1, '1');
        ++IntDigits;
      }
    }
  } else {
    Digits.append(static_cast<size_t>(Keep) - Digits.size(), '0');
  }
  if (Keep < 0) {
    IntPart.assign(1, '0');
    Fraction.assign(static_cast<size_t>(Places), '0');
    return;
  }
  if (IntDigits > 0) {
    IntPart = Digits.substr(0, static_cast<size_t>(IntDigits));
    Fraction = Digits.substr(static_cast<size_t>(IntDigits));
  } else {
    IntPart.assign(1, '0');
    Fraction = std::string(static_cast<size_t>(-IntDigits), '0') + Digits;
  }
  const size_t FirstNonZero = IntPart.find_first_not_of('0');
  IntPart = FirstNonZero == std::string::npos ? "0" : IntPart.substr(FirstNonZero);
}

// The patterns "#####0.000" (fixed decimals) and "####00.#########"
// (optional decimals): at least MinIntDigits integer digits, then Decimals
// decimals, trailing zeros dropped when they are optional.
std::string FormatSeconds(long double Number, int MinIntDigits, int Decimals, bool Optional,
                          char DecimalSeparator) {
  if (!std::isfinite(Number)) Number = 0;
  const int Places =
      Decimals < 0 ? 0 : (Decimals > MaxPrintedDecimals ? MaxPrintedDecimals : Decimals);
  std::string IntPart;
  std::string Fraction;
  RoundedFixed(std::fabs(Number), Places, IntPart, Fraction);
  if (Optional)
    while (!Fraction.empty() && Fraction.back() == '0') Fraction.pop_back();
  if (static_cast<int>(IntPart.size()) < MinIntDigits)
    IntPart.insert(0, static_cast<size_t>(MinIntDigits) - IntPart.size(), '0');
  const bool AllZero = IntPart.find_first_not_of('0') == std::string::npos &&
                       Fraction.find_first_not_of('0') == std::string::npos;
  std::string Result = (Number < 0 && !AllZero) ? "-" + IntPart : IntPart;
  if (!Fraction.empty()) Result += DecimalSeparator + Fraction;
  return Result;
}

}  // namespace

TDateTime THPDateTimeStringConvertor::GetDateTime() const {
  return HPValue ? HPValue->GetDateTime() : 0;
}

TDateTime THPDateTimeStringConvertor::ValueToDecode() const {
  if (!HPValue) return 0;
  const long double Seconds = HPValue->GetSeconds();
  const TDateTime V = HPValue->GetDateTime();
  if (!(Seconds >= 0 && Seconds < 86400) || !std::isfinite(V)) return V;
  // The day part is a whole number; recover it exactly from the value.
  const double DayPart = std::nearbyint(V - static_cast<double>(Seconds / 86400.0L));
  // Whole milliseconds cut from the exact picosecond count: cutting the seconds
  // themselves would lose a millisecond where the extended value sits just below it.
  const int64_t MSecs = RoundAway(Seconds * 1e12L) / 1'000'000'000;
  const double Time = static_cast<double>(MSecs) / 86'400'000.0;
  return DayPart >= 0 ? DayPart + Time : DayPart - Time;
}

void THPDateTimeStringConvertor::SetDateTime(TDateTime V) { SetHPDateTime(NewHPDateTime(V)); }

void THPDateTimeStringConvertor::SetHPDateTime(const IHPDateTimePtr& V) {
  HPValue = V;
  Rebuild();
}

void THPDateTimeStringConvertor::SetDecimals(int32_t N) {
  Decimals = N;
  if (IsFormatValid()) DateTimeText = BuildText();
}

bool THPDateTimeStringConvertor::IsTokenValid() const {
  const TDateTimeTokenKind K = Tokenizer.TokenKind;
  return (K >= tkSSS && K <= tkSSSSS) || TDateTimeStringConvertor::IsTokenValid();
}

void THPDateTimeStringConvertor::ClearFields() {
  TDateTimeStringConvertor::ClearFields();
  FracSeconds = 0;
}

std::string THPDateTimeStringConvertor::FormatToken(TDateTimeTokenKind Kind,
                                                    const std::string& Text) {
  if (Kind != tkSSS && Kind != tkSSSS && Kind != tkSSSSS)
    return TDateTimeStringConvertor::FormatToken(Kind, Text);
  if (!HPValue) return "0";
  const long double S = HPValue->GetSeconds();
  const long double Number = Kind == tkSSSSS ? S : S - 60.0L * std::trunc(S / 60.0L);
  const bool Fixed = Decimals > 0;
  return FormatSeconds(Number, Kind == tkSSSS ? 2 : 1, Fixed ? Decimals : MaxDecimals, !Fixed,
                       FormatSettings().DecimalSeparator);
}

bool THPDateTimeStringConvertor::ParseToken(TDateTimeTokenKind Kind, const std::string& Text,
                                            int& P, const std::string& S) {
  if (Kind != tkSSS && Kind != tkSSSS && Kind != tkSSSSS)
    return TDateTimeStringConvertor::ParseToken(Kind, Text, P, S);
  if (!ScanFloat(S, P, FracSeconds, FormatSettings(), 1, -1)) return false;
  Second = 0;
  Millisecond = 0;
  if (Kind != tkSSSSS) return FracSeconds >= 0 && FracSeconds < 60;
  // Seconds within the day: hour and minute come out of them.
  long double V = FracSeconds;
  if (!(V >= 0 && V < 86400)) return false;
  Hour = static_cast<uint16_t>(std::trunc(V / 3600));
  V -= 3600.0L * Hour;
  Minute = static_cast<uint16_t>(std::trunc(V / 60));
  V -= 60.0L * Minute;
  FracSeconds = V;
  return true;
}

bool THPDateTimeStringConvertor::EncodeFields() {
  if (!TDateTimeStringConvertor::EncodeFields()) return false;
  if (!(FracSeconds >= 0 && FracSeconds < 60)) return false;
  HPValue = NewHPDateTime(Value);
  HPValue->AddTime(0, 0, FracSeconds);
  return true;
}

std::string HPDateTimeToStr(const std::string& Format, const IHPDateTimePtr& V, int32_t Decimals) {
  THPDateTimeStringConvertor C;
  // The user's locale as the environment names it now, for the names and
  // the decimal separator alike.
  C.SetLocale(LangIDFromLCID(UserDefaultLCID()));
  C.SetFormat(Format);
  VASSERT(C.IsFormatValid(), "Invalid datetime format string");
  C.SetDecimals(Decimals);
  C.SetHPDateTime(V);
  return C.DateTimeText;
}
