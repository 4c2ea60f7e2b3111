// Conversion between date-time values and strings under a format string
// ("dd.mm.yy", "hh.nn.ss", "dd-mmm-yyyy", ...), both ways, and the test
// whether a string is a valid date or time under a format.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "util/uCalendar.h"
#include "util/uFormatSettings.h"
#include "util/uTokenizer.h"

using TDateTime = double;

struct TTimeUnits {
  std::string_view Name;
  std::string_view Token;  // the format token for the unit
  int32_t Seconds;
};

inline constexpr std::array<TTimeUnits, 4> TimeUnitTable{{
    {"seconds", "ss", 1},
    {"minutes", "nn", 60},
    {"hours", "hh", 3600},
    {"days", "dd", 86400},
}};

// Holds a format and a value/string pair. SetFormat and SetDateTime rebuild
// DateTimeText from the value; SetDateTimeText rebuilds the value from the
// text; Valid tells whether the pair agrees under Format. The public fields
// are there to be read; change them through the operations.
//
// Cheap to make and to use: the settings are those of a locale table (no
// copy) until SetFormatSettings gives others, and formats are tokenized once
// per thread (DateTimeFormatTokens), not per call.
class TDateTimeStringConvertor {
public:
  TDateTimeStringConvertor();
  virtual ~TDateTimeStringConvertor() = default;
  TDateTimeStringConvertor(const TDateTimeStringConvertor&) = delete;
  TDateTimeStringConvertor& operator=(const TDateTimeStringConvertor&) = delete;

  // Parses S under Format into Value; Valid says whether it could.
  virtual void SetDateTimeText(const std::string& S);
  virtual void SetDateTime(TDateTime V);
  virtual TDateTime GetDateTime() const;
  // The string of GetDateTime() under Format.
  virtual std::string BuildText();
  virtual std::string FormatToken(TDateTimeTokenKind Kind, const std::string& Text);
  // Whether the tokenizer's current token is one this convertor handles.
  virtual bool IsTokenValid() const;
  virtual void ClearFields();
  virtual bool EncodeFields();
  // Reads one token of S at P (1-based) and moves P past it.
  virtual bool ParseToken(TDateTimeTokenKind Kind, const std::string& Text, int& P,
                          const std::string& S);

  // Expands the locale formats (c, ddddd, dddddd, t, tt), upper-cases the
  // letter runs and turns a month after an hour into minutes.
  std::string NormalizeFormat(const std::string& F) const;
  bool IsFormatValid();
  // The settings of locale L (LocaleSettings: 0 is the default locale).
  void SetLocale(uint16_t L);
  // A copy of R, kept by the convertor.
  void SetFormatSettings(const TFormatSettings& R);
  void SetFormat(const std::string& F);
  // The locale settings in use: the month and day names, the locale formats
  // that c, ddddd, dddddd, t and tt stand for, the decimal separator.
  const TFormatSettings& FormatSettings() const { return *FSettings; }

  uint16_t Year = 0;
  uint16_t Month = 0;
  uint16_t DayOfWeek = 0;
  uint16_t Day = 0;
  uint16_t Hour = 0;
  uint16_t Minute = 0;
  uint16_t Second = 0;
  uint16_t Millisecond = 0;
  uint16_t DayCount = 0;
  bool IsPM = false;
  uint16_t Locale = 0;
  bool HasAmPm = false;
  TDateTimeFormatTokenizer Tokenizer;
  TDateTime Value = 0;
  std::string Format;
  std::string DateTimeText;
  bool Valid = false;

protected:
  // Rebuilds DateTimeText after a change of format or value.
  void Rebuild();
  // The value whose fields BuildText writes: GetDateTime() here.
  virtual TDateTime ValueToDecode() const;

private:
  // NeedsSettings: the result depends on the settings (F is empty or names
  // a locale format).
  std::string NormalizeFormatDepth(const std::string& F, int Depth, bool& NeedsSettings) const;

  const TFormatSettings* FSettings;
  std::unique_ptr<const TFormatSettings> FOwnSettings;  // what SetFormatSettings gave
  // The format IsFormatValid judged last, and its verdict: the verdict of a
  // format never changes for one convertor.
  std::string FJudgedFormat;
  bool FJudgedValid = false;
  bool FJudged = false;
};

// LCID 0 is the user's default locale. Assertions (EAssertionFailed) "Invalid
// LCID" and "Invalid datetime format string"; an invalid string gives false,
// or EConvertError "Invalid date/time string format" from StrToDateTimeFmt.
bool IsValidDateTimeStr(const std::string& S, const std::string& Format, uint32_t LCID = 0);
TDateTime StrToDateTimeFmt(const std::string& S, const std::string& Format, uint32_t LCID = 0);
// On false V is left as it was.
bool TryStrToDateTimeFmt(const std::string& S, const std::string& Format, TDateTime& V,
                         uint32_t LCID = 0);
