#include "check/Rules.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

#include "check/RuleRefusals.h"
#include "edf/uEDFLayout.h"
#include "support/uSysUtils.h"

// The families, each kept beside its checks.
void AddClassicRules(std::vector<TRule>& Out, TClassicRule First, TClassicRule Last);
void AddConformanceRules(std::vector<TRule>& Out);
void AddPrivacyRules(std::vector<TRule>& Out);
void AddQualityRules(std::vector<TRule>& Out);

namespace {

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;

struct TFaultName {
  TEDFFieldFault Fault;
  const char* Suffix;
};

constexpr std::array<TFaultName, 14> FaultNames = {{
    {ffNotLeftJustified, "justified"},
    {ffNotPrintable, "printable"},
    {ffNotVersion, "value"},
    {ffBadLayout, "layout"},
    {ffNoCalendarDate, "calendar"},
    {ffNoClockTime, "clock"},
    {ffNotInteger, "integer"},
    {ffNotNumber, "number"},
    {ffOutOfRange, "range"},
    {ffTooSmall, "minimum"},
    {ffHeaderSize, "size"},
    {ffNoSignalCount, "nrsignals"},
    {ffDigitalOrder, "order"},
    {ffSeparators, "separators"},
}};

const char* FaultSuffix(TEDFFieldFault Fault) {
  for (const TFaultName& F : FaultNames)
    if (F.Fault == Fault) return F.Suffix;
  return nullptr;
}

// The faults each field can have under its own rules, in header order.
constexpr TEDFFieldFaults TextFaults = ffNotPrintable | ffNotLeftJustified;
constexpr std::array<TEDFFieldFaults, EDFFieldCount> GeneralFaults = {
    ffNotVersion | ffNotLeftJustified,                            // Version
    TextFaults,                                                   // Patient
    TextFaults,                                                   // Recording
    ffNotLeftJustified | ffBadLayout | ffNoCalendarDate,          // StartDate
    ffNotLeftJustified | ffBadLayout | ffNoClockTime,             // StartTime
    ffNotInteger | ffTooSmall | ffHeaderSize | ffNoSignalCount,   // HeaderBytes
    TextFaults,                                                   // Reserved
    ffNotInteger | ffTooSmall | ffNotLeftJustified,               // NrDataRecords
    ffNotNumber | ffTooSmall | ffNotLeftJustified,                // SampleRecDuration
    ffNotInteger | ffTooSmall | ffNotLeftJustified,               // NrSignals
};
constexpr TEDFFieldFaults PhysicalFaults = ffNotNumber | ffOutOfRange | ffNotLeftJustified;
constexpr TEDFFieldFaults DigitalFaults = ffNotInteger | ffOutOfRange | ffNotLeftJustified | ffDigitalOrder;
constexpr std::array<TEDFFieldFaults, EDFFieldCount> SignalFaults = {
    TextFaults,     TextFaults,    TextFaults, PhysicalFaults,
    PhysicalFaults, DigitalFaults, DigitalFaults, TextFaults,
    ffNotInteger | ffTooSmall | ffNotLeftJustified,  // NrSamples
    TextFaults,
};

// What a field with this fault was expected to hold.
std::string Expectation(bool SignalField, int Field, TEDFFieldFault Fault) {
  const TEDFFieldDesc& D = (SignalField ? EDFSignalFields : EDFGeneralFields)[static_cast<size_t>(Field)];
  const std::string Name = D.Caption;
  switch (Fault) {
    case ffNotLeftJustified:
      return Name + " must be left-justified: no blank or control byte before the text";
    case ffNotPrintable: return Name + " must hold printable ASCII only (bytes 32..126)";
    case ffNotVersion: return "Version must read 0 (EDF) or be byte 0xFF followed by BIOSEMI (BDF)";
    case ffBadLayout:
      return Name + " must be laid out as " + (D.Kind == TEDFFieldKind::Date ? "dd.mm.yy" : "hh.nn.ss");
    case ffNoCalendarDate:
      return "StartDate must be a calendar date (yy 85..99 is 1985..1999, 00..84 is 2000..2084)";
    case ffNoClockTime: return "StartTime must be a time of day (hh 00..23, nn and ss 00..59)";
    case ffNotInteger: return Name + " must be a decimal integer";
    case ffNotNumber: return Name + " must be a decimal number with \".\" as decimal separator";
    case ffOutOfRange:
      return D.Kind == TEDFFieldKind::Digital
                 ? Name + " must lie in the format's sample range: -32768..32767 (EDF, 16 bits) or "
                          "-8388608..8388607 (BDF, 24 bits)"
                 : Name + " must be a finite number";
    case ffTooSmall:
      if (Field == gfSampleRecDuration && !SignalField) return Name + " must be above 0";
      if (Field == gfNrDataRecords && !SignalField) return Name + " must be -1 (unknown) or more";
      if (Field == sfNrSamples && SignalField) return Name + " must be above 0";
      return Name + " must be 0 or more";
    case ffHeaderSize: return "HeaderBytes must equal 256 x (NrSignals + 1)";
    case ffNoSignalCount: return "HeaderBytes can only be checked against a valid NrSignals";
    case ffDigitalOrder: return "DigiMin must be below DigiMax";
    case ffSeparators:
      return Name + " must be read with \".\" as decimal separator and no thousands separator";
    default: return Name + " must be valid";
  }
}

std::string FieldRuleIdOf(bool SignalField, int Field, TEDFFieldFault Fault) {
  const TEDFFieldDesc& D = (SignalField ? EDFSignalFields : EDFGeneralFields)[static_cast<size_t>(Field)];
  return std::string(SignalField ? "signal." : "header.") + EDFFieldKey(D) + "." + FaultSuffix(Fault);
}

// The one mend a fault of a header field may have.
TRepairWay FieldRepair(bool SignalField, int Field, TEDFFieldFault Fault) {
  if (Fault == ffNotLeftJustified) return TRepairWay::LeftJustify;
  if (SignalField)
    return (Field == sfPhysimin || Field == sfPhysimax) && Fault == ffNotNumber ? TRepairWay::DecimalComma
                                                                                  : TRepairWay::None;
  switch (Field) {
    case gfVersion: return Fault == ffNotVersion ? TRepairWay::Version : TRepairWay::None;
    case gfStartDate:
    case gfStartTime: return Fault == ffBadLayout ? TRepairWay::Separators : TRepairWay::None;
    case gfHeaderBytes:
      return Fault == ffNotInteger || Fault == ffTooSmall || Fault == ffHeaderSize ? TRepairWay::HeaderBytes
                                                                                    : TRepairWay::None;
    case gfReserved: return Fault == ffNotPrintable ? TRepairWay::BlankReserved : TRepairWay::None;
    case gfNrDataRecords:
      return Fault == ffNotInteger || Fault == ffTooSmall ? TRepairWay::RecordCount : TRepairWay::None;
    default: return TRepairWay::None;
  }
}

// Why a fault of a header field is left as found when its mend, if any,
// does not apply: the field decides before the fault where the field is one
// every sample's place depends on.
const char* FieldRefusal(bool SignalField, int Field, TEDFFieldFault Fault) {
  const bool General = !SignalField;
  if (Fault == ffDigitalOrder) return "which of DigiMin and DigiMax is wrong cannot be told";
  if (Fault == ffNoCalendarDate) return "it is no calendar date, and which digit is wrong cannot be told";
  if (Fault == ffNoClockTime) return "it is no time of day, and which digit is wrong cannot be told";
  if (Fault == ffBadLayout) return "it is not two digits each for its three parts: reading it would take a guess";
  if (SignalField && Field == sfNrSamples)
    return "the samples per record decide where every sample lies: a new count would be a guess";
  if (General && Field == gfNrSignals) return RefusalText::NrSignals;
  if (Fault == ffNoSignalCount) return "HeaderBytes follows from NrSignals, which cannot be read";
  if (Fault == ffNotPrintable) return RefusalText::Printable;
  if (Fault == ffNotLeftJustified) return RefusalText::Justified;
  if (General && Field == gfSampleRecDuration) return RefusalText::Duration;
  if (SignalField && (Field == sfDigimin || Field == sfDigimax))
    return "the digital range cannot be read: a new one would be a guess";
  if (SignalField && (Field == sfPhysimin || Field == sfPhysimax))
    return "the physical range cannot be read: a new one would be a guess";
  if (Fault == ffNotVersion) return "another version cannot be told from a slip";
  if (General && Field == gfNrDataRecords) return RefusalText::RecordCount;
  return RefusalText::Guess;
}

void AddFieldRules(std::vector<TRule>& Out, bool SignalField) {
  const auto& Faults = SignalField ? SignalFaults : GeneralFaults;
  for (int Field = 0; Field < EDFFieldCount; ++Field) {
    // The physical range never takes part in the verdict: readers can still
    // read the samples, they only cannot scale them.
    const bool Physical = SignalField && (Field == sfPhysimin || Field == sfPhysimax);
    for (const TFaultName& F : FaultNames) {
      if ((Faults[static_cast<size_t>(Field)] & F.Fault) == 0) continue;
      std::string Description = Expectation(SignalField, Field, F.Fault);
      if (Physical)
        Description += " (a warning: never changes the verdict, but readers cannot scale the signal)";
      Out.push_back({FieldRuleIdOf(SignalField, Field, F.Fault), Physical ? W : E, Description,
                     FieldRepair(SignalField, Field, F.Fault), FieldRefusal(SignalField, Field, F.Fault)});
    }
  }
}

std::vector<TRule> BuildRules() {
  std::vector<TRule> R;
  AddFieldRules(R, false);
  AddClassicRules(R, TClassicRule::NrSignalsNone, TClassicRule::NrSignalsNone);
  AddFieldRules(R, true);
  AddClassicRules(R, TClassicRule::Calibration, TClassicRule::SamplesDigiMax);
  AddConformanceRules(R);
  AddQualityRules(R);
  AddClassicRules(R, TClassicRule::TextJustified, TClassicRule::TextNumber);
  AddPrivacyRules(R);
  return R;
}

// Every rule by its id, for findings and for ids read back from reports.
const std::unordered_map<std::string_view, const TRule*>& ById() {
  static const std::unordered_map<std::string_view, const TRule*> Map = [] {
    std::unordered_map<std::string_view, const TRule*> M;
    for (const TRule& R : Rules()) {
      const bool Fresh = M.emplace(R.Id, &R).second;
      VASSERT(Fresh, "Rule registered twice");
    }
    return M;
  }();
  return Map;
}

}  // namespace

const std::vector<TRule>& Rules() {
  static const std::vector<TRule> All = BuildRules();
  return All;
}

const TRule* FindRule(std::string_view Id) {
  const auto It = ById().find(Id);
  return It == ById().end() ? nullptr : It->second;
}

const TRule& RuleOf(const TFinding& Finding) {
  const TRule* R = FindRule(Finding.Rule);
  VASSERT(R != nullptr, "Finding of a rule missing from the registry");
  return *R;
}

const TRule& FieldRule(bool SignalField, int Field, TEDFFieldFault Fault) {
  const char* Suffix = FaultSuffix(Fault);
  if (Field < 0 || Field >= EDFFieldCount || Suffix == nullptr) return RuleOf(TClassicRule::FieldInvalid);
  const TRule* R = FindRule(FieldRuleIdOf(SignalField, Field, Fault));
  return R ? *R : RuleOf(TClassicRule::FieldInvalid);
}

TFinding MakeFinding(const TRule& Rule, const TWhere& Where, int64_t Offset, int64_t Length, std::string Raw,
                     std::string Message) {
  TFinding F;
  F.Rule = Rule.Id;
  F.Severity = Rule.Severity;
  F.Where = Where;
  F.Offset = Offset;
  F.Length = Length;
  F.Raw = std::move(Raw);
  F.Message = std::move(Message);
  return F;
}
