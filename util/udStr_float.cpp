// Float texts in and out: the number tests, conversion under explicit
// separators, the separator guess for foreign files, and the formatting that
// fits a header field.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include <string_view>

#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {

const char* const InvalidFloatFormat = "Invalid Float Format";

char ProcessDecimalSeparator() { return ProcessFormatSettings().DecimalSeparator; }

// The separator that texts under explicit separators are mapped to before
// they are read. A file format's numbers must read the same on every machine,
// so this is never the user's decimal separator: under a ',' locale a text
// like '1,5' would otherwise pass for a number wherever D is '.'.
constexpr char CanonicalSeparator = '.';

// The "C" locale, so that a global setlocale elsewhere cannot change how the
// normalised text below is read.
locale_t CLocale() {
  static const locale_t Locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return Locale;
}

bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

std::string_view TrimView(std::string_view S) {
  size_t B = 0;
  size_t E = S.size();
  while (B < E && IsBlank(S[B])) ++B;
  while (E > B && IsBlank(S[E - 1])) --E;
  return S.substr(B, E - B);
}

// Powers of ten that a long double holds exactly (5^27 < 2^64).
constexpr int ExactPowers = 27;
constexpr std::array<long double, ExactPowers + 1> PowersOfTen = [] {
  std::array<long double, ExactPowers + 1> P{};
  long double V = 1.0L;
  for (long double& X : P) {
    X = V;
    V *= 10.0L;
  }
  return P;
}();

// Reads an already trimmed decimal text whose only decimal separator is Sep:
// optional sign, digits with at most one Sep, optional exponent with digits.
// The mantissa needs a digit or the separator, unless AllowEmptyMantissa
// (then 'E5' and '+e1' read as 0; a sign alone still fails). The value must
// be finite; an underflow reads as the tiny or zero value.
//
// Up to 19 significant digits with a small enough power of ten are one exact
// integer and one exact power, so one multiplication or division gives the
// correctly rounded value that strtold gives; other texts go to strtold.
bool ParseDecimal(std::string_view Text, char Sep, bool AllowEmptyMantissa, long double& Value) {
  size_t I = 0;
  const size_t N = Text.size();
  bool Negative = false;
  if (I < N && (Text[I] == '+' || Text[I] == '-')) Negative = Text[I++] == '-';
  const size_t MantissaStart = I;
  uint64_t Digits = 0;     // the significant digits as an integer, while they fit
  int Significant = 0;     // digits from the first non-zero one on
  int Scale = 0;           // the power of ten that Digits is to be multiplied by
  size_t DigitCount = 0;
  bool HasSep = false;
  const auto TakeDigit = [&](char C, bool Fraction) {
    ++DigitCount;
    if (Significant == 0 && C == '0') {
      if (Fraction) --Scale;
      return;
    }
    if (++Significant <= 19) {
      Digits = Digits * 10 + static_cast<uint64_t>(C - '0');
      if (Fraction) --Scale;
    } else if (!Fraction) {
      ++Scale;
    }
  };
  while (I < N && IsDigit(Text[I])) TakeDigit(Text[I++], false);
  if (I < N && Sep != '\0' && Text[I] == Sep) {
    HasSep = true;
    ++I;
    while (I < N && IsDigit(Text[I])) TakeDigit(Text[I++], true);
  }
  const bool MantissaHasDigit = DigitCount > 0;
  if (!MantissaHasDigit && !HasSep && !AllowEmptyMantissa) return false;
  if (I == MantissaStart && I == N) return false;  // empty, or a sign alone
  const size_t MantissaEnd = I;
  int64_t Exponent = 0;
  if (I < N && (Text[I] == 'E' || Text[I] == 'e')) {
    ++I;
    bool ExponentNegative = false;
    if (I < N && (Text[I] == '+' || Text[I] == '-')) ExponentNegative = Text[I++] == '-';
    const size_t DigitsStart = I;
    while (I < N && IsDigit(Text[I])) {
      if (Exponent < 100000) Exponent = Exponent * 10 + (Text[I] - '0');
      ++I;
    }
    if (I == DigitsStart) return false;
    if (ExponentNegative) Exponent = -Exponent;
  }
  if (I != N) return false;

  if (!MantissaHasDigit) {
    Value = 0.0L;
    return true;
  }
  const int64_t Power = Exponent + Scale;
  if (Significant <= 19 && (Digits == 0 || (Power >= -ExactPowers && Power <= ExactPowers))) {
    long double Result = static_cast<long double>(Digits);
    if (Power > 0 && Digits != 0) Result *= PowersOfTen[static_cast<size_t>(Power)];
    if (Power < 0 && Digits != 0) Result /= PowersOfTen[static_cast<size_t>(-Power)];
    Value = Negative ? -Result : Result;
    return true;
  }
  // The same number in the "C" syntax: sign, digits with '.', exponent.
  std::string Normal;
  Normal.reserve(N);
  for (size_t K = 0; K < N; ++K) {
    const char C = Text[K];
    Normal += (K >= MantissaStart && K < MantissaEnd && C == Sep) ? '.' : C;
  }
  const long double Result = strtold_l(Normal.c_str(), nullptr, CLocale());
  if (!std::isfinite(Result)) return false;
  Value = Result;
  return true;
}

// Maps D to L and drops T in one pass, so that a T equal to L is not taken
// for the decimal separator after the mapping. Into Buffer when it fits.
std::string_view MapSeparators(std::string_view S, char D, char T, char L, char* Buffer, size_t Size,
                               std::string& Long) {
  char* Out = Buffer;
  if (S.size() > Size) {
    Long.resize(S.size());
    Out = Long.data();
  }
  size_t N = 0;
  for (char C : S) {
    if (D != '\0' && C == D)
      Out[N++] = L;
    else if (T == '\0' || C != T)
      Out[N++] = C;
  }
  return std::string_view(Out, N);
}

// The float format test and the value in one pass: IsValidFloatFormat
// decides, StrToFloatSep takes the value.
bool ReadFloat(std::string_view S, char D, char T, long double& Value) {
  const std::string_view Text = TrimView(S);
  const size_t FirstD = D != '\0' ? Text.find(D) : std::string_view::npos;
  const size_t FirstT = T != '\0' ? Text.find(T) : std::string_view::npos;
  if (FirstD != std::string_view::npos && FirstT != std::string_view::npos && FirstD < FirstT) return false;

  if (FirstT != std::string_view::npos) {
    size_t IntegerLen = Text.size();
    if (FirstD != std::string_view::npos) {
      const size_t LastD = Text.rfind(D);
      if (Text.find(T, LastD + 1) != std::string_view::npos) return false;
      IntegerLen = LastD;
    }
    // Every fourth character from the right is T, no other is; a leading
    // minus may sit anywhere in that pattern (a leading plus may not).
    for (size_t K = 1; K <= IntegerLen; ++K) {
      const size_t Index = IntegerLen - K;
      if (Index == 0 && Text[0] == '-') continue;
      if ((K % 4 == 0) != (Text[Index] == T)) return false;
    }
  }
  char Buffer[64];
  std::string Long;
  return ParseDecimal(TrimView(MapSeparators(Text, D, T, CanonicalSeparator, Buffer, sizeof Buffer, Long)),
                      CanonicalSeparator, false, Value);
}

}  // namespace

bool IsNumberSep(const std::string& S, char L) {
  long double Value = 0.0L;
  const size_t At = L != CanonicalSeparator && L != '\0' ? S.find(L) : std::string::npos;
  if (At == std::string::npos)
    return ParseDecimal(TrimView(S), CanonicalSeparator, true, Value) && std::fabs(Value) <= 1.7e308L;
  std::string Text = S;
  Text[At] = CanonicalSeparator;
  return ParseDecimal(TrimView(Text), CanonicalSeparator, true, Value) && std::fabs(Value) <= 1.7e308L;
}

bool IsNumber(const std::string& S) { return IsNumberSep(S, ProcessDecimalSeparator()); }

bool IsFloat(const std::string& S) {
  long double Value = 0.0L;
  return ParseDecimal(TrimView(S), ProcessDecimalSeparator(), false, Value);
}

bool IsValidFloatFormat(const std::string& S, char D, char T) {
  long double Value = 0.0L;
  return ReadFloat(S, D, T, Value);
}

long double StrToFloatSep(const std::string& S, char D, char T) {
  long double Value = 0.0L;
  if (!ReadFloat(S, D, T, Value)) throw EConvertError(InvalidFloatFormat);
  return Value;
}

bool TryStrToFloatSep(const std::string& S, char D, char T, long double& Value) {
  long double Read = 0.0L;
  if (!ReadFloat(S, D, T, Read)) return false;
  Value = Read;
  return true;
}

// A guess from the shape of one number text; callers feed several texts in
// turn and keep what earlier calls found.
bool DetectSeparators(const std::string& S, char& D, char& T, bool PreferLast) {
  const std::string Text = Trim(S);
  const size_t N = Text.size();
  auto IsSignOrDigit = [](char C) { return C == '+' || C == '-' || IsDigit(C); };

  if (D == '\0') {
    // The last character that is no sign, digit or letter is the decimal
    // separator, unless it may as well be a thousands separator ('1,234').
    bool HasCandidate = false;
    char Candidate = '\0';
    for (size_t I = N; I-- > 0;) {
      const char C = Text[I];
      const bool IsLetter = (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
      if (IsSignOrDigit(C) || IsLetter) continue;
      if (C != T) {
        HasCandidate = true;
        Candidate = C;
        const size_t P = I + 1;
        const bool MayBeGrouping = P <= 4 && N - P == 3;
        if (std::count(Text.begin(), Text.end(), C) == 1 && !MayBeGrouping) D = C;
      }
      break;
    }
    if (PreferLast && HasCandidate) D = Candidate;
  }

  if (T == '\0') {
    for (size_t I = 0; I < std::min<size_t>(4, N); ++I) {
      const char C = Text[I];
      if (IsSignOrDigit(C)) continue;
      if (I == 0) throw EConvertError(InvalidFloatFormat);
      if (C == D) break;
      // Verify the candidate: it must recur every fourth character up to the
      // end or up to a decimal separator that sits where the next one would.
      bool Rejected = false;
      for (size_t R = I; R < N; ++R) {
        const bool GroupPosition = (R - I) % 4 == 0;
        if (D != '\0' && Text[R] == D) {
          if (!GroupPosition) throw EConvertError(InvalidFloatFormat);
          break;
        }
        if (GroupPosition != (Text[R] == C)) {
          Rejected = true;
          break;
        }
      }
      if (!Rejected) T = C;
      break;
    }
  }
  return D != '\0' && T != '\0';
}

namespace {

// A rounded value as 0.Digits x 10^Exponent: Digits without leading or
// trailing zeros, empty for zero.
struct TDecimal {
  bool Finite = true;  // false for NaN and for encodings that are no number
  bool Negative = false;
  std::string Digits;
  int Exponent = 0;
};

// The value to 18 significant digits, taken before rounding to the precision
// asked for, so that every precision rounds the same digits.
TDecimal EighteenDigits(long double Value) {
  char Buffer[64];  // "-d.<17 digits>e-dddd"
  const auto [End, Error] =
      std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::scientific, 17);
  TDecimal Result;
  const char* P = Buffer;
  if (Error == std::errc() && *P == '-') {
    Result.Negative = true;
    ++P;
  }
  if (Error != std::errc() || !IsDigit(*P)) {
    Result.Finite = false;
    return Result;
  }
  for (; P < End && *P != 'e'; ++P)
    if (*P != '.') Result.Digits += *P;
  int Power = 0;
  if (P + 1 < End) std::from_chars(P + 1 + (P[1] == '+' ? 1 : 0), End, Power);
  Result.Exponent = Power + 1;
  Result.Digits.erase(Result.Digits.find_last_not_of('0') + 1);
  if (Result.Digits.empty()) Result.Exponent = 0;
  return Result;
}

// Keeps Count digits and rounds half away from zero (the sign is separate),
// so 2.5 gives 3, not the 2 of round-half-to-even.
TDecimal RoundedTo(TDecimal R, int Count) {
  if (Count >= static_cast<int>(R.Digits.size())) return R;
  const bool Up = Count >= 0 && R.Digits[static_cast<size_t>(Count)] >= '5';
  R.Digits.resize(static_cast<size_t>(std::max(Count, 0)));
  if (Up) {
    size_t I = R.Digits.size();
    while (I > 0 && R.Digits[I - 1] == '9') R.Digits[--I] = '0';
    if (I == 0) {
      R.Digits.insert(R.Digits.begin(), '1');
      ++R.Exponent;
    } else {
      ++R.Digits[I - 1];
    }
  }
  R.Digits.erase(R.Digits.find_last_not_of('0') + 1);
  if (R.Digits.empty()) R.Exponent = 0;
  return R;
}

std::string ExponentText(int Power, int MinDigits) {
  std::string Digits = std::to_string(Power < 0 ? -Power : Power);
  if (static_cast<int>(Digits.size()) < MinDigits)
    Digits.insert(0, static_cast<size_t>(MinDigits) - Digits.size(), '0');
  return std::string("E") + (Power < 0 ? '-' : '+') + Digits;
}

std::string SignOf(const TDecimal& R) { return R.Negative && !R.Digits.empty() ? "-" : ""; }

// Mantissa digits with the separator after the first; at least MinDigits.
std::string ScientificText(const TDecimal& R, int MinDigits, int ExpDigits, char D) {
  std::string Digits = R.Digits.empty() ? "0" : R.Digits;
  if (static_cast<int>(Digits.size()) < MinDigits)
    Digits.append(static_cast<size_t>(MinDigits) - Digits.size(), '0');
  std::string Text = SignOf(R) + Digits[0];
  if (Digits.size() > 1) Text += D + Digits.substr(1);
  return Text + ExponentText(R.Digits.empty() ? 0 : R.Exponent - 1, ExpDigits);
}

std::string GroupThousands(const std::string& Integer, char T) {
  if (T == '\0') return Integer;
  std::string Result;
  for (size_t I = 0; I < Integer.size(); ++I) {
    if (I > 0 && (Integer.size() - I) % 3 == 0) Result += T;
    Result += Integer[I];
  }
  return Result;
}

// Integer part and Decimals fraction digits, without sign.
std::string PlainText(const TDecimal& R, int Decimals, char D, char T) {
  std::string Integer;
  for (int I = 0; I < R.Exponent; ++I)
    Integer += static_cast<size_t>(I) < R.Digits.size() ? R.Digits[static_cast<size_t>(I)] : '0';
  if (Integer.empty()) Integer.push_back('0');  // not = "0": GCC 12 -O3 warns falsely (-Wrestrict)
  std::string Text = GroupThousands(Integer, T);
  if (Decimals > 0) {
    Text += D;
    for (int K = 0; K < Decimals; ++K) {
      const int I = R.Exponent + K;  // index into Digits of this fraction digit
      Text +=
          I >= 0 && I < static_cast<int>(R.Digits.size()) ? R.Digits[static_cast<size_t>(I)] : '0';
    }
  }
  return Text;
}

std::string GeneralText(const TDecimal& Exact, int Precision, int ExpDigits, char D) {
  const TDecimal R = RoundedTo(Exact, Precision);
  if (R.Digits.empty()) return "0";
  // Fixed notation from 0.00001 (0.1 x 10^-4) up to Precision integer digits.
  if (R.Exponent > Precision || R.Exponent < -4) return ScientificText(R, 0, ExpDigits, D);
  const int Decimals = std::max(0, static_cast<int>(R.Digits.size()) - R.Exponent);
  return SignOf(R) + PlainText(R, Decimals, D, '\0');
}

std::string CurrencyText(const std::string& Amount, bool Negative) {
  // '$' stands for the currency string, '1' for the amount.
  static const char* const Positive[] = {"$1", "1$", "$ 1", "1 $"};
  static const char* const NegativeFormats[] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                                "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                                "$ -1", "1- $", "($ 1)", "(1 $)"};
  const TFormatSettings& Settings = ProcessFormatSettings();
  const char* Pattern = Positive[0];
  if (Negative)
    Pattern = NegativeFormats[Settings.NegCurrFormat >= 0 && Settings.NegCurrFormat < 16
                                  ? Settings.NegCurrFormat
                                  : 0];
  else if (Settings.CurrencyFormat >= 0 && Settings.CurrencyFormat < 4)
    Pattern = Positive[Settings.CurrencyFormat];
  std::string Text;
  for (const char* P = Pattern; *P != '\0'; ++P) {
    if (*P == '$')
      Text += Settings.CurrencyString;
    else if (*P == '1')
      Text += Amount;
    else
      Text += *P;
  }
  return Text;
}

}  // namespace

// Reads the process settings (currency texts) but never writes them: the
// separators are arguments, not a temporary change of the process settings.
std::string FloatToStrFSep(long double Value, TFloatFormat Format, int Precision, int Digits,
                           char D, char T) {
  if (std::isinf(Value)) return Value > 0 ? "INF" : "-INF";
  const TDecimal Exact = EighteenDigits(Value);
  if (!Exact.Finite) return "NAN";
  Precision = std::clamp(Precision, 2, 18);
  if (D == '\0') D = '.';

  switch (Format) {
    case TFloatFormat::ffGeneral:
      return GeneralText(Exact, Precision, std::clamp(Digits, 0, 4), D);
    case TFloatFormat::ffExponent:
      return ScientificText(RoundedTo(Exact, Precision), Precision, std::clamp(Digits, 0, 4), D);
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency:
      break;
  }
  Digits = std::clamp(Digits, 0, 18);
  // Round once, at whichever comes first: the last significant digit or the
  // last decimal place.
  const TDecimal R = RoundedTo(Exact, std::min(Precision, Exact.Exponent + Digits));
  if (R.Exponent > Precision) return GeneralText(Exact, Precision, 0, D);
  const char Thousands = Format == TFloatFormat::ffFixed ? '\0' : T;
  const std::string Amount = PlainText(R, Digits, D, Thousands);
  if (Format == TFloatFormat::ffCurrency) return CurrencyText(Amount, !SignOf(R).empty());
  return SignOf(R) + Amount;
}

std::string FloatToStrFit(long double Value, int MaxLen, char D, char T) {
  // Precisions above 18 all format as 18, so the loop starts there at most.
  for (int Precision = std::min(MaxLen, 18); Precision >= 2; --Precision) {
    std::string Text = FloatToStrFSep(Value, TFloatFormat::ffGeneral, Precision, 0, D, T);
    if (static_cast<int>(Text.size()) <= MaxLen) return Text;
  }
  throw EConvertError("String exceeds max string length");
}
