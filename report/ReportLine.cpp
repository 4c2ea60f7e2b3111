#include "report/ReportLine.h"

#include <rapidjson/reader.h>

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "check/PrivacyRules.h"
#include "check/Rules.h"
#include "report/JsonLines.h"

namespace {

using rapidjson::SizeType;

// The keys the reader looks for, as small codes: a line has hundreds of keys,
// and each is compared once, when it is read.
enum class TKey : unsigned char {
  Other, File, Format, Valid, Findings, Summary, MinMax, MinMaxError, Conformance, Quality, Privacy,
  Totals, Signals, Rule, Severity, Total, Listed, Judged, UsableShare
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
      {"judged", TKey::Judged},       {"usableShare", TKey::UsableShare}};
  for (const auto& [Name, Key] : Known)
    if (K == Name) return Key;
  return TKey::Other;
}

// Follows the keys of the first levels and picks up what the summary and the
// page need. Depth 1 is the line's object.
class TLineHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TLineHandler> {
public:
  explicit TLineHandler(TReportLine& Out) : FOut(Out) {}

  bool SawFile() const { return FSawFile; }
  bool SawSummary() const { return FSawSummary; }

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
    if (FDepth == 3 && !FIsArray[2] && FKey[2] == TKey::Totals && !FIsArray[3]) FTotalRule.assign(K);
    return true;
  }
  bool EndObject(SizeType) {
    if (InFinding()) EndFinding();
    if (InTotal()) EndTotal();
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
    } else if (InFinding()) {
      if (FKey[3] == TKey::Rule) FRule.assign(S, N), FHasRule = true;
      if (FKey[3] == TKey::Severity) FSeverity.assign(S, N);
    }
    return Value();
  }
  bool Bool(bool B) {
    if (FDepth == 1 && FKey[1] == TKey::Valid) FOut.Status = B ? TFileStatus::Valid : TFileStatus::Invalid;
    if (InQualitySignal() && FKey[4] == TKey::Judged) FJudged = B;
    return Value();
  }
  bool Int(int I) { return Number(I); }
  bool Uint(unsigned U) { return Number(U); }
  bool Int64(int64_t I) { return Number(static_cast<double>(I)); }
  bool Uint64(uint64_t U) { return Number(static_cast<double>(U)); }
  bool Double(double D) { return Number(D); }
  bool Null() { return Value(); }
  bool Default() { return Value(); }

  // Unlisted findings take the severity the line gives the rule's listed
  // ones, else the registry's.
  void CountBeyondListed() {
    for (const auto& [Rule, Extra] : FBeyondListed) {
      if (Extra <= 0) continue;
      FOut.Rules[Rule] += Extra;
      std::string_view Severity;
      if (const auto It = FOut.Severities.find(Rule); It != FOut.Severities.end())
        Severity = It->second;
      else if (const TRule* R = FindRule(Rule))
        Severity = SeverityName(R->Severity);
      Count(Severity, Extra);
    }
  }

private:
  static constexpr int kLevels = 4;
  static constexpr int kMaxDepth = 100;

  bool Open(bool Array) {
    // The reader recurses: a hostile line nested without end is refused
    // long before the stack runs out. Ours nest six deep at most.
    if ((FDepth == 0 && Array) || FDepth >= kMaxDepth) return false;
    ++FDepth;
    if (FDepth <= kLevels) {
      FIsArray[FDepth] = Array;
      FKey[FDepth] = TKey::Other;
    }
    if (InFinding()) {
      FHasRule = false;
      FSeverity.clear();
    }
    if (InTotal()) FTotal = FListed = 0;
    if (InQualitySignal()) {
      FJudged = false;
      FUsable = -1;
    }
    return Value();
  }
  // Nothing but the line's object may stand at the top.
  bool Value() const { return FDepth > 0; }

  void TopKey(TKey K) {
    if (K == TKey::Summary) FSawSummary = true;
    if (K == TKey::MinMax || K == TKey::MinMaxError) FOut.Checks |= crMinMax;
    if (K == TKey::Conformance) FOut.Checks |= crConformance;
    if (K == TKey::Quality) FOut.Checks |= crQuality;
    if (K == TKey::Privacy) FOut.Checks |= crPrivacy;
  }

  bool Number(double D) {
    if (InTotal()) {
      if (FKey[4] == TKey::Total) FTotal = static_cast<int64_t>(D);
      if (FKey[4] == TKey::Listed) FListed = static_cast<int64_t>(D);
    }
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

  void Count(std::string_view Severity, int64_t N) {
    if (Severity == "error") FOut.Errors += N;
    if (Severity == "warning") FOut.Warnings += N;
  }
  void EndFinding() {
    if (!FHasRule) return;
    // The audit's findings show that it ran, whatever else its lines hold.
    if (IsPrivacyRule(FRule)) FOut.Checks |= crPrivacy;
    ++FOut.Rules[FRule];
    Count(FSeverity, 1);
    FOut.Severities.try_emplace(FRule, FSeverity);
  }
  void EndTotal() { FBeyondListed[FTotalRule] += FTotal - FListed; }
  void EndQualitySignal() {
    if (FJudged && FUsable >= 0 && (FOut.LowestUsable < 0 || FUsable < FOut.LowestUsable)) FOut.LowestUsable = FUsable;
  }

  TReportLine& FOut;
  int FDepth = 0;
  std::array<TKey, kLevels + 1> FKey{};
  std::array<bool, kLevels + 1> FIsArray{};
  bool FSawFile = false;
  bool FSawSummary = false;
  std::string FRule;
  bool FHasRule = false;
  std::string FSeverity;
  std::string FTotalRule;
  int64_t FTotal = 0;
  int64_t FListed = 0;
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
  if (Handler.SawSummary()) {
    Out.Kind = TReportLineKind::Summary;
    return true;
  }
  if (!Handler.SawFile()) return false;
  Handler.CountBeyondListed();
  return true;
}
