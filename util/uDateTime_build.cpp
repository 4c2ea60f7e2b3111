// Writing a date-time value as a string under the convertor's format.
#include <cmath>
#include <string>

#include "util/uDateTime.h"
#include "util/uLocale.h"

namespace {

std::string Padded(unsigned Number, size_t Width) {
  std::string S = std::to_string(Number);
  if (S.size() < Width) S.insert(0, Width - S.size(), '0');
  return S;
}

// Entry Number - 1 of a name list, or empty when the number is out of range
// (a value outside years 1 to 9999 decodes to all zeros).
std::string NameAt(const TDynStringArray& Names, unsigned Number) {
  return (Number >= 1 && Number <= Names.size()) ? Names[Number - 1] : std::string();
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
  HasAmPm = false;
  Tokenizer.SetText(Format);
  if (Tokenizer.First()) {
    do {
      const TDateTimeTokenKind K = Tokenizer.TokenKind;
      if (K == tkAmPm || K == tkAP || K == tkAmPmLocale) HasAmPm = true;
    } while (Tokenizer.Next());
  }

  const TDateTime V = ValueToDecode();
  DecodeDateTime(V, Year, Month, Day, Hour, Minute, Second, Millisecond);
  DayOfWeek = ::DayOfWeek(V);

  std::string Result;
  if (Tokenizer.First()) {
    do {
      Result += FormatToken(Tokenizer.TokenKind, Tokenizer.TokenText);
    } while (Tokenizer.Next());
  }
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
      return NameAt(GetShortDayNames(Locale), DayOfWeek);
    case tkDDDD:
      return NameAt(GetLongDayNames(Locale), DayOfWeek);
    case tkDDDDDDD:
      return WholeDays(GetDateTime());
    case tkM:
      return Padded(Month, 1);
    case tkMM:
      return Padded(Month, 2);
    case tkMMM:
      return NameAt(GetShortMonthNames(Locale), Month);
    case tkMMMM:
      return NameAt(GetLongMonthNames(Locale), Month);
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
