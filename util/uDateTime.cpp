#include "util/uDateTime.h"

#include <unordered_map>

#include "support/uSysUtils.h"
#include "util/uLocale.h"

namespace {

// A locale format that expands to itself (say a short date format of "ddddd")
// would recurse without end; deeper expansions than this contribute nothing.
constexpr int MaxExpansionDepth = 8;

// Beyond this many formats on one thread, normalisations are not kept.
constexpr size_t MaxKeptNormalisations = 256;

bool IsSeparatorKind(TDateTimeTokenKind Kind) {
  return Kind == tkDateSep || Kind == tkTimeSep || Kind == tkAnyChar;
}

}  // namespace

TDateTimeStringConvertor::TDateTimeStringConvertor() : FSettings(&LocaleSettings(0)) {}

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
  FSettings = &LocaleSettings(L);
  FOwnSettings.reset();
}

void TDateTimeStringConvertor::SetFormatSettings(const TFormatSettings& R) {
  // Copied before the old copy goes: R may be that copy.
  auto Copy = std::make_unique<const TFormatSettings>(R);
  FOwnSettings = std::move(Copy);
  FSettings = FOwnSettings.get();
  if (IsFormatValid()) DateTimeText = BuildText();
}

bool TDateTimeStringConvertor::IsTokenValid() const {
  const TDateTimeTokenKind K = Tokenizer.TokenKind;
  return (K >= tkC && K <= tkSS) || (K >= tkZ && K <= tkLiteral);
}

bool TDateTimeStringConvertor::IsFormatValid() {
  if (FJudged && FJudgedFormat == Format) return FJudgedValid;
  const TFormatTokens Tokens = DateTimeFormatTokens(Format);
  bool Valid = !Tokens.empty();
  for (const TDateTimeToken& T : Tokens) {
    // IsTokenValid reads the tokenizer's current token.
    Tokenizer.TokenKind = T.Kind;
    if (!IsTokenValid()) {
      Valid = false;
      break;
    }
  }
  FJudgedFormat = Format;
  FJudgedValid = Valid;
  FJudged = true;
  return Valid;
}

std::string TDateTimeStringConvertor::NormalizeFormat(const std::string& F) const {
  // A format that names no locale format normalises alike under all
  // settings: done once per thread.
  thread_local std::unordered_map<std::string, std::string, TFormatHash, std::equal_to<>> Kept;
  if (const auto It = Kept.find(F); It != Kept.end()) return It->second;
  bool NeedsSettings = false;
  std::string Result = NormalizeFormatDepth(F, 0, NeedsSettings);
  if (!NeedsSettings && Kept.size() < MaxKeptNormalisations) Kept.emplace(F, Result);
  return Result;
}

std::string TDateTimeStringConvertor::NormalizeFormatDepth(const std::string& F, int Depth,
                                                           bool& NeedsSettings) const {
  const TFormatSettings& Process = ProcessFormatSettings();
  // Deliberately not normalised further: the caller gets the locale formats
  // as they stand.
  if (F.empty()) {
    NeedsSettings = true;
    return Process.ShortDateFormat + " " + Process.LongTimeFormat;
  }

  const TFormatSettings& Settings = FormatSettings();
  const auto Expand = [&](const std::string& Sub) {
    NeedsSettings = true;
    return Depth < MaxExpansionDepth ? NormalizeFormatDepth(Sub, Depth + 1, NeedsSettings) : std::string();
  };
  std::string Result;
  TDateTimeTokenKind Last = tkNone;
  const TFormatTokens Tokens = DateTimeFormatTokens(F);
  for (const TDateTimeToken& T : Tokens) {
    const TDateTimeTokenKind Kind = T.Kind;
    switch (Kind) {
      case tkC:
        Result += Expand(Settings.ShortDateFormat) + " " + Process.LongTimeFormat;
        break;
      case tkDDDDD:
        Result += Expand(Settings.ShortDateFormat);
        break;
      case tkDDDDDD:
        Result += Expand(Settings.LongDateFormat);
        break;
      case tkT:
        Result += Expand(Settings.ShortTimeFormat);
        break;
      case tkTT:
        Result += Expand(Settings.LongTimeFormat);
        break;
      case tkM:
      case tkMM:
        // A month straight after an hour (only separators between) is a minute.
        if (Last == tkH || Last == tkHH)
          Result += Kind == tkM ? "N" : "NN";
        else
          Result += T.Text;
        break;
      default:
        Result += T.Text;
        break;
    }
    if (!IsSeparatorKind(Kind)) Last = Kind;
  }
  return Result;
}

// ---- Conversion functions ----

namespace {

// The common steps of the three functions; the convertor goes with the scope.
// The format is set without SetFormat: the text SetFormat would build from
// the value is thrown away by SetDateTimeText.
void PrepareConvertor(TDateTimeStringConvertor& C, const std::string& S,
                      const std::string& Format, uint32_t LCID) {
  VASSERT(IsValidLCID(LCID), "Invalid LCID");
  C.SetLocale(LangIDFromLCID(LCID));
  C.Format = C.NormalizeFormat(Format);
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
