#include "report/ReportLine.h"

#include <rapidjson/reader.h>

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "check/PrivacyRules.h"
#include "check/Rules.h"
#include "report/JsonLines.h"
#include "support/uMath.h"

namespace {

using rapidjson::SizeType;

// The keys the reader looks for, as small codes: a line has hundreds of keys,
// and each is compared once, when it is read.
enum class TKey : unsigned char {
  Other, File, Format, Valid, Findings, Summary, MinMax, MinMaxError, Conformance, Quality, Privacy,
  Totals, Signals, Rule, Severity, Total, Listed, Judged, UsableShare, Error
};

TKey KeyOf(std::string_view K) {
  static constexpr std::pair<std::string_view, TKey> Known[] = {
      {"file", TKey::File},           {"format", TKey::Format},
      {"valid", TKey::Valid},         {"findings", TKey::Findings},
      {"summary", TKey::Summary},     {"minmax", TKey::MinMax},
      {"minmaxError", TKey::MinMaxError}, {"conformance", TKey::Conformance},
      {"quality", TKey::Quality},     {"privacy", TKey::Privacy},
      {"totals", TKey::Totals},       {"signals", TKey::Signals},
      {"rule", TKey::Rule},           {"severity", TKey::Severity},
      {"total", TKey::Total},         {"listed", TKey::Listed},
      {"judged", TKey::Judged},       {"usableShare", TKey::UsableShare},
      {"error", TKey::Error}};
  for (const auto& [Name, Key] : Known)
    if (K == Name) return Key;
  return TKey::Other;
}

// Follows the keys of the first levels and picks up what the summary and the
// page need. Depth 1 is the line's object.
class TLineHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TLineHandler> {
public:
  explicit TLineHandler(TReportLine& Out) : FOut(Out) {}


  bool StartObject() { return Open(false); }
  bool StartArray() {
    // The line itself must be an object.
    return FDepth > 0 && Open(true);
  }
  bool Key(const char* S, SizeType N, bool) {
    if (FDepth > kLevels) return true;
    const std::string_view K(S, N);
    FKey[FDepth] = KeyOf(K);
    if (FDepth == 1) TopKey(FKey[1]);
    // A rule id under a check's totals.
    if (FDepth == 3 && !FIsArray[2] && FKey[2] == TKey::Totals && !FIsArray[3]) {
      if (!IsRuleId(K)) return false;
      FTotalRule.assign(K);
    }
    return true;
  }
  bool EndObject(SizeType) {
    if (InFinding() && !EndFinding()) return false;
    if (InTotal() && !EndTotal()) return false;
    if (InQualitySignal()) EndQualitySignal();
    --FDepth;
    return true;
  }
  bool EndArray(SizeType) {
    --FDepth;
    return true;
  }

  bool String(const char* S, SizeType N, bool) {
    if (FDepth == 1) {
      if (FKey[1] == TKey::File) FOut.File.assign(S, N), FSawFile = true;
      if (FKey[1] == TKey::Format) FOut.Format.assign(S, N);
      if (FKey[1] == TKey::Error) FSawError = true;
    } else if (InFinding()) {
      if (FKey[3] == TKey::Rule) FRule.assign(S, N), FHasRule = true;
      if (FKey[3] == TKey::Severity) FSeverity.assign(S, N);
    }
    return Value();
  }
  bool Bool(bool B) {
    if (FDepth == 1 && FKey[1] == TKey::Valid) {
      FOut.Status = B ? TFileStatus::Valid : TFileStatus::Invalid;
      FSawValid = true;
    }
    if (InQualitySignal() && FKey[4] == TKey::Judged) FJudged = B;
    return Value();
  }
  bool Int(int I) { return Count(I); }
  bool Uint(unsigned U) { return Count(U); }
  bool Int64(int64_t I) { return Count(I); }
  bool Uint64(uint64_t U) {
    // Beyond any count a line of ours holds.
    if (U > static_cast<uint64_t>(INT64_MAX)) return !InTotal() && Number(static_cast<double>(U));
    return Count(static_cast<int64_t>(U));
  }
  // Counts are whole numbers.
  bool Double(double D) { return !InTotal() && Number(D); }
  bool Null() { return Value(); }
  bool Default() { return Value(); }

  // Unlisted findings take the severity the line gives the rule's listed
  // ones, else the registry's.
  void CountBeyondListed() {
    for (const auto& [Rule, Extra] : FBeyondListed) {
      if (Extra <= 0) continue;
      FOut.Rules[Rule] = SaturatingAdd(FOut.Rules[Rule], Extra);
      std::string_view Severity;
      if (const auto It = FOut.Severities.find(Rule); It != FOut.Severities.end())
        Severity = It->second;
      else if (const TRule* R = FindRule(Rule))
        Severity = SeverityName(R->Severity);
      CountSeverity(Severity, Extra);
    }
  }

  // The line has the keys of a file's line: checked ("valid" and its
  // "findings") or not read (an "error" alone).
  bool FileShape() const { return FSawFile && !FSawSummary && (FSawValid ? FSawFindings : FSawError); }
  bool SummaryShape() const { return FSawSummary && !FSawFile; }

private:
  static constexpr int kLevels = 4;
  static constexpr int kMaxDepth = 100;

  bool Open(bool Array) {
    // The reader recurses: a hostile line nested without end is refused
    // long before the stack runs out. Ours nest six deep at most.
    if ((FDepth == 0 && Array) || FDepth >= kMaxDepth) return false;
    ++FDepth;
    if (FDepth == 2 && Array && FKey[1] == TKey::Findings) FSawFindings = true;
    if (FDepth == 2 && !Array && FKey[1] == TKey::Summary) FSawSummary = true;
    if (FDepth <= kLevels) {
      FIsArray[FDepth] = Array;
      FKey[FDepth] = TKey::Other;
    }
    if (InFinding()) {
      FHasRule = false;
      FSeverity.clear();
    }
    if (InTotal()) {
      FTotal = FListed = 0;
      FSawTotal = FSawListed = false;
    }
    if (InQualitySignal()) {
      FJudged = false;
      FUsable = -1;
    }
    return Value();
  }
  // Nothing but the line's object may stand at the top.
  bool Value() const { return FDepth > 0; }

  void TopKey(TKey K) {
    if (K == TKey::MinMax || K == TKey::MinMaxError) FOut.Checks |= crMinMax;
    if (K == TKey::Conformance) FOut.Checks |= crConformance;
    if (K == TKey::Quality) FOut.Checks |= crQuality;
    if (K == TKey::Privacy) FOut.Checks |= crPrivacy;
  }

  bool Count(int64_t N) {
    if (InTotal()) {
      if (N < 0) return false;
      if (FKey[4] == TKey::Total) FTotal = N, FSawTotal = true;
      if (FKey[4] == TKey::Listed) FListed = N, FSawListed = true;
      return true;
    }
    return Number(static_cast<double>(N));
  }
  bool Number(double D) {
    if (InQualitySignal() && FKey[4] == TKey::UsableShare) FUsable = D;
    return Value();
  }

  // findings[i]: an object in the array under the line's "findings".
  bool InFinding() const { return FDepth == 3 && FKey[1] == TKey::Findings && FIsArray[2] && !FIsArray[3]; }
  // CHECK.totals.RULE: {"total", "listed"}
  bool InTotal() const {
    return FDepth == 4 && !FIsArray[2] && FKey[2] == TKey::Totals && !FIsArray[3] && !FIsArray[4];
  }
  // quality.signals[i]
  bool InQualitySignal() const {
    return FDepth == 4 && FKey[1] == TKey::Quality && FKey[2] == TKey::Signals && FIsArray[3] && !FIsArray[4];
  }

  void CountSeverity(std::string_view Severity, int64_t N) {
    if (Severity == "error") FOut.Errors = SaturatingAdd(FOut.Errors, N);
    if (Severity == "warning") FOut.Warnings = SaturatingAdd(FOut.Warnings, N);
  }
  // Every finding of ours names its rule and its severity.
  bool EndFinding() {
    if (!FHasRule || !IsRuleId(FRule) ||
        (FSeverity != "error" && FSeverity != "warning" && FSeverity != "note"))
      return false;
    // The audit's findings show that it ran, whatever else its lines hold.
    if (IsPrivacyRule(FRule)) FOut.Checks |= crPrivacy;
    ++FOut.Rules[FRule];
    CountSeverity(FSeverity, 1);
    FOut.Severities.try_emplace(FRule, FSeverity);
    return true;
  }
  // A total counts every finding of its rule, the listed ones among them.
  bool EndTotal() {
    if (!FSawTotal || !FSawListed || FListed > FTotal) return false;
    int64_t& Beyond = FBeyondListed[FTotalRule];
    Beyond = SaturatingAdd(Beyond, FTotal - FListed);
    return true;
  }
  void EndQualitySignal() {
    if (FJudged && FUsable >= 0 && (FOut.LowestUsable < 0 || FUsable < FOut.LowestUsable)) FOut.LowestUsable = FUsable;
  }

  TReportLine& FOut;
  int FDepth = 0;
  std::array<TKey, kLevels + 1> FKey{};
  std::array<bool, kLevels + 1> FIsArray{};
  bool FSawFile = false;
  bool FSawSummary = false;
  bool FSawValid = false;
  bool FSawFindings = false;
  bool FSawError = false;
  std::string FRule;
  bool FHasRule = false;
  std::string FSeverity;
  std::string FTotalRule;
  int64_t FTotal = 0;
  int64_t FListed = 0;
  bool FSawTotal = false;
  bool FSawListed = false;
  bool FJudged = false;
  double FUsable = -1;
  std::map<std::string, int64_t> FBeyondListed;
};

}  // namespace

bool ReadReportLine(std::string_view Line, TReportLine& Out) {
  Out = TReportLine{};
  TLineHandler Handler(Out);
  thread_local std::string Copy;  // keeps the capacity of the longest line
  char* Text = InsituCopy(Copy, Line);
  if (!Text) return false;
  rapidjson::InsituStringStream In(Text);
  rapidjson::Reader Reader;
  constexpr unsigned Flags = rapidjson::kParseInsituFlag;
  if (Reader.Parse<Flags>(In, Handler).IsError()) return false;
  if (Handler.SummaryShape()) {
    Out.Kind = TReportLineKind::Summary;
    return true;
  }
  if (!Handler.FileShape()) return false;
  Handler.CountBeyondListed();
  return true;
}

bool IsRuleId(std::string_view Id) {
  // Dotted lower-case words, as the registry names its rules: nothing that
  // could break a printed line or the page's rule filter.
  if (Id.empty() || Id.size() > MaxRuleIdBytes) return false;
  bool WordStart = true;
  int Words = 1;
  for (const char C : Id) {
    const bool Letter = C >= 'a' && C <= 'z';
    const bool Digit = C >= '0' && C <= '9';
    if (C == '.' && !WordStart) {
      WordStart = true;
      ++Words;
    } else if (Letter || (Digit && !WordStart)) {
      WordStart = false;
    } else {
      return false;
    }
  }
  return !WordStart && Words >= 2;
}
