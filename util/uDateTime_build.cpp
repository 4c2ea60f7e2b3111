// Writing a date-time value as a string under the convertor's format.
#include <array>
#include <cmath>
#include <string>

#include "util/uDateTime.h"
#include "util/uLocale.h"

namespace {

std::string Padded(unsigned Number, size_t Width) {
  char Digits[16];
  size_t N = 0;
  do {
    Digits[N++] = static_cast<char>('0' + Number % 10);
    Number /= 10;
  } while (Number != 0);
  std::string S(Width > N ? Width - N : 0, '0');
  while (N > 0) S += Digits[--N];
  return S;
}

// Entry Number - 1 of a name list, or empty when the number is out of range
// (a value outside years 1 to 9999 decodes to all zeros).
template <size_t N>
std::string NameAt(const std::array<std::string, N>& Names, unsigned Number) {
  return (Number >= 1 && Number <= N) ? Names[Number - 1] : std::string();
}

// A piece of a marker text; empty where the text is too short.
std::string Piece(const std::string& Text, size_t Start, size_t Length) {
  return Start < Text.size() ? Text.substr(Start, Length) : std::string();
}

std::string WholeDays(TDateTime V) {
  const double Days = std::trunc(V);
  if (!std::isfinite(Days) || std::fabs(Days) > 1e15) return "0";
  return std::to_string(static_cast<int64_t>(Days));
}

}  // namespace

std::string TDateTimeStringConvertor::BuildText() {
  const TFormatTokens Tokens = DateTimeFormatTokens(Format);
  HasAmPm = false;
  for (const TDateTimeToken& T : Tokens)
    if (T.Kind == tkAmPm || T.Kind == tkAP || T.Kind == tkAmPmLocale) HasAmPm = true;

  const TDateTime V = ValueToDecode();
  DecodeDateTime(V, Year, Month, Day, Hour, Minute, Second, Millisecond);
  DayOfWeek = ::DayOfWeek(V);

  std::string Result;
  for (const TDateTimeToken& T : Tokens) Result += FormatToken(T.Kind, T.Text);
  return Result;
}

std::string TDateTimeStringConvertor::FormatToken(TDateTimeTokenKind Kind,
                                                  const std::string& Text) {
  const TFormatSettings& Process = ProcessFormatSettings();
  const bool Morning = Hour < 12;
  switch (Kind) {
    case tkD:
      return Padded(Day, 1);
    case tkDD:
      return Padded(Day, 2);
    case tkDDD:
      return NameAt(LocaleNameSettings(Locale).ShortDayNames, DayOfWeek);
    case tkDDDD:
      return NameAt(LocaleNameSettings(Locale).LongDayNames, DayOfWeek);
    case tkDDDDDDD:
      return WholeDays(GetDateTime());
    case tkM:
      return Padded(Month, 1);
    case tkMM:
      return Padded(Month, 2);
    case tkMMM:
      return NameAt(LocaleNameSettings(Locale).ShortMonthNames, Month);
    case tkMMMM:
      return NameAt(LocaleNameSettings(Locale).LongMonthNames, Month);
    case tkYY:
      return Padded(Year % 100u, 2);
    case tkYYYY:
      return Padded(Year, 4);
    case tkH:
    case tkHH: {
      // On a twelve-hour clock 0 stays 0 and 12 stays 12.
      const unsigned H = (HasAmPm && Hour > 12) ? Hour % 12u : Hour;
      return Padded(H, Kind == tkH ? 1 : 2);
    }
    case tkN:
      return Padded(Minute, 1);
    case tkNN:
      return Padded(Minute, 2);
    case tkS:
      return Padded(Second, 1);
    case tkSS:
      return Padded(Second, 2);
    case tkZ:
      return Padded(Millisecond, 1);
    case tkZZZ:
      return Padded(Millisecond, 3);
    case tkAmPm:  // "AM/PM" as spelled in the format
      return Morning ? Piece(Text, 0, 2) : Piece(Text, 3, 2);
    case tkAP:  // "A/P"
      return Morning ? Piece(Text, 0, 1) : Piece(Text, 2, 1);
    case tkAmPmLocale:
      return Morning ? Process.TimeAMString : Process.TimePMString;
    case tkDateSep:
      return std::string(1, Process.DateSeparator);
    case tkTimeSep:
      return std::string(1, Process.TimeSeparator);
    case tkAnyChar:
      return "?";
    case tkLiteral:
      if (Text.size() >= 2 && (Text[0] == '"' || Text[0] == '\''))
        return Text.substr(1, Text.size() - 2);
      return Text;
    default:
      return std::string();
  }
}
