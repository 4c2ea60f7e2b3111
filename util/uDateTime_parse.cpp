// Reading a string under the convertor's format into a date-time value.
#include "support/uSysUtils.h"
#include "util/uClock.h"
#include "util/uDateTime.h"
#include "util/uLocale.h"
#include "util/udStr.h"

#include <array>
#include <string_view>

namespace {

char UpAscii(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

// MatchAt without a string to hold the word: T at the 1-based P, ASCII
// letters without regard to case; P moves past it. An empty T matches.
bool MatchText(const std::string& S, int& P, std::string_view T) {
  if (T.empty()) return true;
  if (P < 1 || static_cast<size_t>(P - 1) + T.size() > S.size()) return false;
  const size_t Start = static_cast<size_t>(P - 1);
  for (size_t I = 0; I < T.size(); ++I)
    if (UpAscii(S[Start + I]) != UpAscii(T[I])) return false;
  P += static_cast<int>(T.size());
  return true;
}

// The first of the names that the text at P starts with, as 1-based number.
template <size_t N>
bool MatchName(const std::array<std::string, N>& Names, const std::string& S, int& P, uint16_t& Into) {
  for (size_t I = 0; I < N; ++I) {
    if (MatchText(S, P, Names[I])) {
      Into = static_cast<uint16_t>(I + 1);
      return true;
    }
  }
  return false;
}

// Any marker read decides IsPM afresh. An empty PM string (locales without
// markers) matches everywhere and would turn every morning into afternoon,
// so only a written PM counts.
bool MatchMarker(const std::string& S, int& P, std::string_view PMText, std::string_view AMText,
                 bool& IsPM) {
  IsPM = false;
  if (!PMText.empty() && MatchText(S, P, PMText)) {
    IsPM = true;
    return true;
  }
  return MatchText(S, P, AMText);
}

}  // namespace

void TDateTimeStringConvertor::ClearFields() {
  Year = Month = DayOfWeek = Day = 0;
  Hour = Minute = Second = Millisecond = 0;
  DayCount = 0;
  // Cleared as well: a PM read by an earlier string must not move the hour
  // of a later one read under a format without a marker.
  IsPM = false;
}

void TDateTimeStringConvertor::SetDateTimeText(const std::string& S) {
  DateTimeText = S;
  if (!IsFormatValid()) {
    Valid = false;
    return;
  }
  ClearFields();
  const TFormatTokens Tokens = DateTimeFormatTokens(NormalizeFormat(Format));
  int P = 1;
  bool Ok = true;
  for (const TDateTimeToken& T : Tokens) {
    Ok = ParseToken(T.Kind, T.Text, P, S);
    if (!Ok) break;
  }
  // Characters after what the last token read are ignored on purpose.
  Valid = Ok && EncodeFields();
}

bool TDateTimeStringConvertor::ParseToken(TDateTimeTokenKind Kind, const std::string& Text,
                                          int& P, const std::string& S) {
  const TFormatSettings& Process = ProcessFormatSettings();
  switch (Kind) {
    case tkD:
      return ScanWord(S, P, Day, 1, 2);
    case tkDD:
      return ScanWord(S, P, Day, 2, 2);
    case tkDDD:
      return MatchName(LocaleNameSettings(Locale).ShortDayNames, S, P, DayOfWeek);
    case tkDDDD:
      return MatchName(LocaleNameSettings(Locale).LongDayNames, S, P, DayOfWeek);
    case tkDDDDDDD:
      return ScanWord(S, P, DayCount, 1, 5);
    case tkM:
      return ScanWord(S, P, Month, 1, 2);
    case tkMM:
      return ScanWord(S, P, Month, 2, 2);
    case tkMMM:
      return MatchName(LocaleNameSettings(Locale).ShortMonthNames, S, P, Month);
    case tkMMMM:
      return MatchName(LocaleNameSettings(Locale).LongMonthNames, S, P, Month);
    case tkYY: {
      uint16_t Y = 0;
      if (!ScanWord(S, P, Y, 2, 2)) return false;
      const int Current = CurrentYear();
      int Full = Y + (Current / 100) * 100;
      if (Full < Current - Process.TwoDigitYearCenturyWindow) Full += 100;
      Year = static_cast<uint16_t>(Full);
      return true;
    }
    case tkYYYY:
      return ScanWord(S, P, Year, 4, 4);
    case tkH:
      return ScanWord(S, P, Hour, 1, 2);
    case tkHH:
      return ScanWord(S, P, Hour, 2, 2);
    case tkN:
      return ScanWord(S, P, Minute, 1, 2);
    case tkNN:
      return ScanWord(S, P, Minute, 2, 2);
    case tkS:
      return ScanWord(S, P, Second, 1, 2);
    case tkSS:
      return ScanWord(S, P, Second, 2, 2);
    case tkZ:
      return ScanWord(S, P, Millisecond, 1, 3);
    case tkZZZ:
      return ScanWord(S, P, Millisecond, 3, 3);
    case tkAmPm:
      return MatchMarker(S, P, "PM", "AM", IsPM);
    case tkAP:
      return MatchMarker(S, P, "P", "A", IsPM);
    case tkAmPmLocale:
      return MatchMarker(S, P, Process.TimePMString, Process.TimeAMString, IsPM);
    case tkDateSep:
      return MatchText(S, P, std::string_view(&Process.DateSeparator, 1));
    case tkTimeSep:
      return MatchText(S, P, std::string_view(&Process.TimeSeparator, 1));
    case tkAnyChar:
      ++P;  // also at the end of S
      return true;
    case tkLiteral:
      if (Text.size() >= 2 && (Text[0] == '"' || Text[0] == '\''))
        return MatchText(S, P, std::string_view(Text).substr(1, Text.size() - 2));
      return MatchText(S, P, Text);
    default:
      // The locale-format kinds never get here (normalisation expanded
      // them); fractional seconds belong to the high-precision convertor.
      return false;
  }
}

bool TDateTimeStringConvertor::EncodeFields() {
  if (IsPM && Hour < 12) Hour = static_cast<uint16_t>(Hour + 12);
  TDateTime Result = 0;
  if (!TryEncodeDateTime(Year, Month, Day, Hour, Minute, Second, Millisecond, Result)) {
    // A valid date with an impossible time is wrong; no valid date at all
    // means a time-only string (the date fields stayed 0).
    if (IsValidDate(Year, Month, Day)) return false;
    if (!TryEncodeTime(Hour, Minute, Second, Millisecond, Result)) return false;
  }
  Value = Result + DayCount;
  return true;
}
