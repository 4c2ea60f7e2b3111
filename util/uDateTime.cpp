#include "util/uDateTime.h"

#include "support/uSysUtils.h"
#include "util/uLocale.h"

namespace {

// A locale format that expands to itself (say a short date format of "ddddd")
// would recurse without end; deeper expansions than this contribute nothing.
constexpr int MaxExpansionDepth = 8;

bool IsSeparatorKind(TDateTimeTokenKind Kind) {
  return Kind == tkDateSep || Kind == tkTimeSep || Kind == tkAnyChar;
}

}  // namespace

TDateTimeStringConvertor::TDateTimeStringConvertor() : FormatSettings(GetLocaleFormatSettings(0)) {}

TDateTime TDateTimeStringConvertor::GetDateTime() const { return Value; }

TDateTime TDateTimeStringConvertor::ValueToDecode() const { return GetDateTime(); }

void TDateTimeStringConvertor::Rebuild() {
  if (IsFormatValid()) {
    DateTimeText = BuildText();
    Valid = true;
  } else {
    DateTimeText.clear();
    Valid = false;
  }
}

void TDateTimeStringConvertor::SetDateTime(TDateTime V) {
  Value = V;
  Rebuild();
}

void TDateTimeStringConvertor::SetFormat(const std::string& F) {
  Format = NormalizeFormat(F);
  Rebuild();
}

void TDateTimeStringConvertor::SetLocale(uint16_t L) {
  Locale = L;
  FormatSettings = GetLocaleFormatSettings(L);
}

void TDateTimeStringConvertor::SetFormatSettings(const TFormatSettings& R) {
  FormatSettings = R;
  if (IsFormatValid()) DateTimeText = BuildText();
}

bool TDateTimeStringConvertor::IsTokenValid() const {
  const TDateTimeTokenKind K = Tokenizer.TokenKind;
  return (K >= tkC && K <= tkSS) || (K >= tkZ && K <= tkLiteral);
}

bool TDateTimeStringConvertor::IsFormatValid() {
  Tokenizer.SetText(Format);
  if (!Tokenizer.First()) return false;
  do {
    if (!IsTokenValid()) return false;
  } while (Tokenizer.Next());
  return true;
}

std::string TDateTimeStringConvertor::NormalizeFormat(const std::string& F) const {
  return NormalizeFormatDepth(F, 0);
}

std::string TDateTimeStringConvertor::NormalizeFormatDepth(const std::string& F, int Depth) const {
  const TFormatSettings& Process = ProcessFormatSettings();
  // Deliberately not normalised further: the caller gets the locale formats
  // as they stand.
  if (F.empty()) return Process.ShortDateFormat + " " + Process.LongTimeFormat;

  const auto Expand = [&](const std::string& Sub) {
    return Depth < MaxExpansionDepth ? NormalizeFormatDepth(Sub, Depth + 1) : std::string();
  };
  // Each expansion runs its own tokenizer, so the outer pass is undisturbed.
  TDateTimeFormatTokenizer T;
  T.SetText(F);
  std::string Result;
  TDateTimeTokenKind Last = tkNone;
  if (!T.First()) return Result;
  do {
    const TDateTimeTokenKind Kind = T.TokenKind;
    switch (Kind) {
      case tkC:
        Result += Expand(FormatSettings.ShortDateFormat) + " " + Process.LongTimeFormat;
        break;
      case tkDDDDD:
        Result += Expand(FormatSettings.ShortDateFormat);
        break;
      case tkDDDDDD:
        Result += Expand(FormatSettings.LongDateFormat);
        break;
      case tkT:
        Result += Expand(FormatSettings.ShortTimeFormat);
        break;
      case tkTT:
        Result += Expand(FormatSettings.LongTimeFormat);
        break;
      case tkM:
      case tkMM:
        // A month straight after an hour (only separators between) is a minute.
        if (Last == tkH || Last == tkHH)
          Result += Kind == tkM ? "N" : "NN";
        else
          Result += T.TokenText;
        break;
      default:
        Result += T.TokenText;
        break;
    }
    if (!IsSeparatorKind(Kind)) Last = Kind;
  } while (T.Next());
  return Result;
}

// ---- Conversion functions ----

namespace {

// The common steps of the three functions; the convertor goes with the scope.
void PrepareConvertor(TDateTimeStringConvertor& C, const std::string& S,
                      const std::string& Format, uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  C.SetLocale(LangIDFromLCID(LCID));
  C.SetFormat(Format);
  VASSERT(C.IsFormatValid(), "Invalid datetime format string");
  C.SetDateTimeText(S);
}

}  // namespace

bool IsValidDateTimeStr(const std::string& S, const std::string& Format, uint32_t LCID) {
  TDateTimeStringConvertor C;
  PrepareConvertor(C, S, Format, LCID);
  return C.Valid;
}

TDateTime StrToDateTimeFmt(const std::string& S, const std::string& Format, uint32_t LCID) {
  TDateTimeStringConvertor C;
  PrepareConvertor(C, S, Format, LCID);
  if (!C.Valid) throw EConvertError("Invalid date/time string format");
  return C.Value;
}

bool TryStrToDateTimeFmt(const std::string& S, const std::string& Format, TDateTime& V,
                         uint32_t LCID) {
  TDateTimeStringConvertor C;
  PrepareConvertor(C, S, Format, LCID);
  if (C.Valid) V = C.Value;
  return C.Valid;
}
