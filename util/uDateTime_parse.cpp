// Reading a string under the convertor's format into a date-time value.
#include "support/uSysUtils.h"
#include "util/uClock.h"
#include "util/uDateTime.h"
#include "util/uLocale.h"
#include "util/udStr.h"

namespace {

bool MatchText(const std::string& S, int& P, const std::string& T) { return MatchAt(S, P, T, true); }

bool MatchName(const TDynStringArray& Names, const std::string& S, int& P, uint16_t& Into) {
  int Index = -1;
  if (!MatchAnyAt(Names, S, Index, P)) return false;
  Into = static_cast<uint16_t>(Index + 1);
  return true;
}

// Any marker read decides IsPM afresh. An empty PM string (locales without
// markers) matches everywhere and would turn every morning into afternoon,
// so only a written PM counts.
bool MatchMarker(const std::string& S, int& P, const std::string& PMText,
                 const std::string& AMText, bool& IsPM) {
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
  Tokenizer.SetText(NormalizeFormat(Format));
  int P = 1;
  bool Ok = true;
  if (Tokenizer.First()) {
    do {
      Ok = ParseToken(Tokenizer.TokenKind, Tokenizer.TokenText, P, S);
    } while (Ok && Tokenizer.Next());
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
      return MatchName(GetShortDayNames(Locale), S, P, DayOfWeek);
    case tkDDDD:
      return MatchName(GetLongDayNames(Locale), S, P, DayOfWeek);
    case tkDDDDDDD:
      return ScanWord(S, P, DayCount, 1, 5);
    case tkM:
      return ScanWord(S, P, Month, 1, 2);
    case tkMM:
      return ScanWord(S, P, Month, 2, 2);
    case tkMMM:
      return MatchName(GetShortMonthNames(Locale), S, P, Month);
    case tkMMMM:
      return MatchName(GetLongMonthNames(Locale), S, P, Month);
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
      return MatchText(S, P, std::string(1, Process.DateSeparator));
    case tkTimeSep:
      return MatchText(S, P, std::string(1, Process.TimeSeparator));
    case tkAnyChar:
      ++P;  // also at the end of S
      return true;
    case tkLiteral:
      if (Text.size() >= 2 && (Text[0] == '"' || Text[0] == '\''))
        return MatchText(S, P, Text.substr(1, Text.size() - 2));
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
