#include "check/Rules.h"

#include <algorithm>
#include <array>
#include <utility>

#include "check/HeaderJudgement.h"
#include "edf/uEDFLayout.h"
#include "support/uSysUtils.h"

// The EDF+ / BDF+ conformance rules, kept beside their checks.
void AddConformanceRules(std::vector<TRule>& Out);
void AddQualityRules(std::vector<TRule>& Out);

namespace {

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;
constexpr TSeverity N = TSeverity::Note;

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
      Out.push_back({FieldRuleIdOf(SignalField, Field, F.Fault), Physical ? W : E, Description});
    }
  }
}

std::vector<TRule> BuildRules() {
  std::vector<TRule> R;
  AddFieldRules(R, false);
  R.push_back({"header.nrsignals.none", E, "NrSignals must be at least 1: a file without signals holds no data"});
  AddFieldRules(R, true);
  R.push_back({"signal.calibration", W,
               "PhysiMin, PhysiMax, DigiMin and DigiMax must be valid with PhysiMin != PhysiMax and "
               "DigiMin != DigiMax, else the signal is not calibrated (a warning: the samples can still be read)"});
  R.push_back({"field.invalid", E, "a header field that its record rejects for a reason no other rule names"});

  R.push_back({"layout.record.size", E,
               "an EDF data record must not exceed 61440 bytes (the EDF recommendation the window enforces; not "
               "applied to BDF)"});
  R.push_back({"layout.record.duration", E,
               "SampleRecDuration of an EDF file below 1 s only when a 1 s record would exceed 61440 bytes (not "
               "applied to BDF)"});
  R.push_back({"layout.record.cap", E,
               "a BDF data record must not exceed " + std::to_string(MaxBdfDataBlockBytes) +
                   " bytes, the most this checker reads into memory at once (BDF itself sets no limit)"});
  R.push_back({"layout.nrdatarecords.unknown", E,
               "NrDataRecords -1 (unknown, left by a recorder that did not finish) makes the record count a guess"});
  R.push_back({"layout.filesize", E,
               "the file must hold exactly HeaderBytes + NrDataRecords x record size bytes (2 bytes a sample "
               "in EDF, 3 in BDF)"});
  R.push_back({"file.read", E, "the file could not be read to the end of its judgement"});
  R.push_back({"file.changed", E,
               "the file must keep its size while it is checked; a file still being written gives results that may not describe it"});

  R.push_back({"samples.digimin", E,
               "every sample must be at least the signal's DigiMin (found by --minmax and Tools; does not change the header verdict)"});
  R.push_back({"samples.digimax", E,
               "every sample must be at most the signal's DigiMax (found by --minmax and Tools; does not change the header verdict)"});

  AddConformanceRules(R);
  AddQualityRules(R);
  R.push_back({"text.justified", N, "a field that its own rule accepts starts with a blank or control byte (readers that do not trim may fail)"});
  R.push_back({"text.printable", N, "a field that its own rule accepts holds bytes outside printable ASCII (trailing control bytes readers trim)"});
  R.push_back({"text.number", N, "a number field whose text is not a plain decimal number"});
  return R;
}

}  // namespace

const std::vector<TRule>& Rules() {
  static const std::vector<TRule> All = BuildRules();
  return All;
}

const TRule* FindRule(std::string_view Id) {
  const std::vector<TRule>& All = Rules();
  const auto It = std::find_if(All.begin(), All.end(), [&](const TRule& R) { return R.Id == Id; });
  return It == All.end() ? nullptr : &*It;
}

const TRule& RuleById(std::string_view Id) {
  const TRule* R = FindRule(Id);
  VASSERT(R != nullptr, "Rule missing from the registry");
  return *R;
}

const TRule& FieldRule(bool SignalField, int Field, TEDFFieldFault Fault) {
  const char* Suffix = FaultSuffix(Fault);
  if (Field < 0 || Field >= EDFFieldCount || Suffix == nullptr) return RuleById("field.invalid");
  const TRule* R = FindRule(FieldRuleIdOf(SignalField, Field, Fault));
  return R ? *R : RuleById("field.invalid");
}

TFinding MakeFinding(std::string_view Id, const TWhere& Where, int64_t Offset, int64_t Length,
                     std::string Raw, std::string Message) {
  const TRule& R = RuleById(Id);
  TFinding F;
  F.Rule = R.Id;
  F.Severity = R.Severity;
  F.Where = Where;
  F.Offset = Offset;
  F.Length = Length;
  F.Raw = std::move(Raw);
  F.Message = std::move(Message);
  return F;
}
