#include "check/HeaderFindings.h"

#include <cmath>
#include <string>

#include "check/HeaderJudgement.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

namespace {

// Characters 3 and 6 (1-based) must be '.', as in "dd.mm.yy" and "hh.nn.ss".
// A text shorter than 6 characters (the raw texts are empty when the file is
// shorter than 256 bytes) fails the test rather than being read beyond its end.
bool SeparatorsOk(const std::string& Raw) {
  return Raw.size() >= 6 && Raw[2] == '.' && Raw[5] == '.';
}

// The tool-tip reason a fault stands for, if any.
TTipReasons TipsOfFault(TEDFFieldFault Fault) {
  switch (Fault) {
    case ffNotLeftJustified: return trNotLeftJustified;
    case ffNotPrintable: return trNotPrintable;
    case ffNotInteger:
    case ffNotNumber: return trNotANumber;
    case ffBadLayout: return trSeparators;
    default: return trNone;
  }
}

const TEDFFieldDesc& Desc(bool SignalField, int Field) {
  return (SignalField ? EDFSignalFields : EDFGeneralFields)[static_cast<size_t>(Field)];
}

// The field's text as a sentence shows it: without its padding blanks, but
// with any control byte, which may be the very fault.
std::string Shown(const std::string& Raw) {
  const size_t End = Raw.find_last_not_of(' ');
  return QuoteIfNeeded(End == std::string::npos ? std::string() : Raw.substr(0, End + 1));
}

// What the record's values say about the field, for the sentences that need
// more than the field's own text.
struct TContext {
  const TEDFRawHeader& Raw;
  int32_t NrSignals = 0;  // general header: the signal count read
  TEDFFormat Format = TEDFFormat::EDF;
};

std::string Sentence(bool SignalField, int Field, TEDFFieldFault Fault, const TContext& C) {
  const TEDFFieldDesc& D = Desc(SignalField, Field);
  const std::string Head = std::string(D.Caption) + " " + Shown(C.Raw[static_cast<size_t>(Field)]);
  switch (Fault) {
    case ffNotLeftJustified: return Head + " is not left-justified";
    case ffNotPrintable: return Head + " holds bytes outside printable ASCII";
    case ffNotVersion:
      return C.Format == TEDFFormat::BDF ? Head + " must be byte 0xFF followed by BIOSEMI"
                                         : Head + " must read 0";
    case ffBadLayout:
      return Head + " is not laid out as " + (D.Kind == TEDFFieldKind::Date ? "dd.mm.yy" : "hh.nn.ss");
    case ffNoCalendarDate: return Head + " is not a calendar date";
    case ffNoClockTime: return Head + " is not a time of day";
    case ffNotInteger: return Head + " is not an integer";
    case ffNotNumber: return Head + " is not a decimal number";
    case ffOutOfRange: {
      const TEDFFormatRules& Rules = EDFFormatRules(C.Format);
      return D.Kind == TEDFFieldKind::Digital ? Head + " is outside " + std::to_string(Rules.DigitalMin) +
                                                    ".." + std::to_string(Rules.DigitalMax)
                                              : Head + " is beyond the range of a number";
    }
    case ffTooSmall:
      if (!SignalField && Field == gfNrDataRecords) return Head + " must be -1 or more";
      if ((!SignalField && Field == gfSampleRecDuration) || (SignalField && Field == sfNrSamples))
        return Head + " must be above 0";
      return Head + " must be 0 or more";
    case ffHeaderSize:
      return Head + " must be " + std::to_string(EDFHeaderBytes(C.NrSignals)) + " for " +
             std::to_string(C.NrSignals) + " signals (256 x (NrSignals + 1))";
    case ffNoSignalCount:
      return Head + " cannot be checked while NrSignals is invalid: it must be 256 x (NrSignals + 1)";
    case ffDigitalOrder:
      return "DigiMin " + Shown(C.Raw[sfDigimin]) + " must be below DigiMax " + Shown(C.Raw[sfDigimax]);
    case ffSeparators: return Head + " is read with other separators than \".\"";
    default: return Head + " is not valid";
  }
}

const TRule& NoteRule(TTipReasons Tip) {
  switch (Tip) {
    case trNotLeftJustified: return RuleOf(TClassicRule::TextJustified);
    case trNotPrintable: return RuleOf(TClassicRule::TextPrintable);
    case trSeparators: return RuleOf(TClassicRule::TextSeparators);
    default: return RuleOf(TClassicRule::TextNumber);
  }
}

std::string NoteSentence(const std::string& Caption, const std::string& Raw, TTipReasons Tip) {
  const std::string Head = Caption + " " + Shown(Raw);
  switch (Tip) {
    case trNotLeftJustified: return Head + " is not left-justified";
    case trNotPrintable: return Head + " holds bytes outside printable ASCII";
    case trSeparators: return Head + " does not have '.' as its separators";
    default: return Head + " is not a number";
  }
}

// One field: a finding per fault behind its flag, each standing for the
// tool-tip reasons that are the same fault, and a note for every tool-tip
// reason no fault stands for.
void AddFieldFindings(TFindings& Out, bool SignalField, int Field, TEDFFieldFaults Faults,
                      const TWhere& Where, int64_t Offset, const TContext& C) {
  const TEDFFieldDesc& D = Desc(SignalField, Field);
  const std::string& Raw = C.Raw[static_cast<size_t>(Field)];
  // Only the general header's dates get the separator test and its numbers
  // the number test; signal fields show the text reasons alone.
  const bool SeparatorTest = !SignalField && (D.Kind == TEDFFieldKind::Date || D.Kind == TEDFFieldKind::Time);
  const bool NumberTest = !SignalField && (D.Kind == TEDFFieldKind::Integer || D.Kind == TEDFFieldKind::Number);
  // BDF's version starts with byte 0xFF, the format's mark: the text
  // reasons are about what follows it.
  const bool BdfMark = !SignalField && Field == gfVersion && C.Format == TEDFFormat::BDF && !Raw.empty() &&
                       static_cast<unsigned char>(Raw[0]) == 0xFF;
  // Numbers in headers have '.' as their separator, whatever the process's.
  const TTipReasons Tips = FieldTips(BdfMark ? Raw.substr(1) : Raw, SeparatorTest, NumberTest, '.');
  if (Faults == ffNone && Tips == trNone) return;  // the common case: nothing to say
  TTipReasons Covered = trNone;
  for (uint32_t Bit = 1; Bit <= 0x8000u; Bit <<= 1) {
    if ((Faults & Bit) == 0) continue;
    const auto Fault = static_cast<TEDFFieldFault>(Bit);
    TFinding F = MakeFinding(FieldRule(SignalField, Field, Fault), Where, Offset, D.Width, Raw, Sentence(SignalField, Field, Fault, C));
    F.Tips = static_cast<TTipReasons>(Tips & TipsOfFault(Fault));
    Covered = static_cast<TTipReasons>(Covered | F.Tips);
    Out.push_back(std::move(F));
  }
  for (TTipReasons Tip : {trNotLeftJustified, trNotPrintable, trSeparators, trNotANumber}) {
    if ((Tips & Tip) == 0 || (Covered & Tip) != 0) continue;
    TFinding F = MakeFinding(NoteRule(Tip), Where, Offset, D.Width, Raw, NoteSentence(D.Caption, Raw, Tip));
    F.Tips = Tip;
    Out.push_back(std::move(F));
  }
}

// Why a signal is not calibrated, for the sentence: each unusable limit as
// found and what it must be, or the two equal limits.
std::string CalibrationReason(const TCustomEDFSignalInfo& S) {
  const TContext C{S.RawHeader(), 0, S.Format()};
  std::string Why;
  for (int Field : {sfPhysimin, sfPhysimax, sfDigimin, sfDigimax}) {
    if (S.GetFieldValid(Field)) continue;
    const TEDFFieldFaults Faults = S.FieldFaults(Field);
    // The first fault says it; a field refused without one is still named.
    const auto Fault = static_cast<TEDFFieldFault>(Faults & -Faults);
    const std::string Reason = Faults != 0 ? Sentence(true, Field, Fault, C)
                                           : std::string(EDFSignalFields[static_cast<size_t>(Field)].Caption) + " " +
                                                 Shown(C.Raw[static_cast<size_t>(Field)]) + " cannot be read";
    // DigiMin and DigiMax in the wrong order give the same sentence twice.
    if (Why.find(Reason) == std::string::npos) Why += (Why.empty() ? "" : "; ") + Reason;
  }
  if (!Why.empty()) return Why;
  const bool Physical = S.Physimin() == S.Physimax();
  const int Min = Physical ? sfPhysimin : sfDigimin;
  const int Max = Physical ? sfPhysimax : sfDigimax;
  return std::string(EDFSignalFields[static_cast<size_t>(Min)].Caption) + " " + Shown(C.Raw[static_cast<size_t>(Min)]) +
         " equals " + EDFSignalFields[static_cast<size_t>(Max)].Caption + " " + Shown(C.Raw[static_cast<size_t>(Max)]) +
         ": the two must differ";
}

// "9.5 records" when the fraction is short and exact, else whole records and
// the bytes left over.
std::string RecordsHeld(int64_t DataBytes, int64_t RecordBytes) {
  const int64_t Whole = DataBytes / RecordBytes;
  const int64_t Rest = DataBytes % RecordBytes;
  if (Rest == 0) return std::to_string(Whole) + " records of " + std::to_string(RecordBytes) + " bytes";
  if ((Rest * 1000) % RecordBytes == 0) {
    std::string Fraction = std::to_string(Rest * 1000 / RecordBytes);
    Fraction.insert(0, 3 - Fraction.size(), '0');
    while (Fraction.back() == '0') Fraction.pop_back();
    return std::to_string(Whole) + "." + Fraction + " records of " + std::to_string(RecordBytes) + " bytes";
  }
  return std::to_string(Whole) + " records of " + std::to_string(RecordBytes) + " bytes and " +
         std::to_string(Rest) + " bytes more";
}

}  // namespace

TTipReasons FieldTips(const std::string& Raw, bool SeparatorTest, bool NumberTest, char Decimal) {
  TTipReasons T = trNone;
  if (!IsLeftJustified(Raw)) T |= trNotLeftJustified;
  if (!IsAsciiPrintable(Raw)) T |= trNotPrintable;
  if (SeparatorTest && !SeparatorsOk(Raw)) T |= trSeparators;
  if (NumberTest && !IsNumberSep(Raw, Decimal)) T |= trNotANumber;
  return T;
}

std::string TipText(TTipReasons Tips) {
  // Each reason has a first form and a following form that starts with ", "
  // and a lower-case letter.
  std::string R;
  auto Add = [&R](char Lead, const char* Rest) {
    if (R.empty()) {
      R += Lead;
    } else {
      R += ", ";
      R += static_cast<char>(Lead - 'A' + 'a');
    }
    R += Rest;
  };
  if (Tips & trNotLeftJustified) R = "Not left justified";
  if (Tips & trNotPrintable) Add('N', "ot ASCII printable");
  if (Tips & trSeparators) Add('S', "eparators should be '.'");
  if (Tips & trNotANumber) Add('N', "ot a number");
  return R;
}

TFindings GeneralHeaderFindings(const TCustomEDFFileInfo& Info) {
  TFindings Out;
  const TContext C{Info.OriginalHeader(), Info.NrSignals(), Info.Format()};
  for (int Field = 0; Field < EDFFieldCount; ++Field) {
    const TWhere Where{TWhereKind::GeneralHeader, -1, -1, Field};
    AddFieldFindings(Out, false, Field, Info.FieldFaults(Field), Where, EDFGeneralFieldOffset(Field), C);
  }
  // The field's own rule accepts 0; the file without signals is still
  // invalid, and the field is where that shows.
  if (Info.GetFieldValid(gfNrSignals) && Info.NrSignals() == 0) {
    const TWhere Where{TWhereKind::GeneralHeader, -1, -1, gfNrSignals};
    Out.push_back(MakeFinding(RuleOf(TClassicRule::NrSignalsNone), Where, EDFGeneralFieldOffset(gfNrSignals),
                              EDFGeneralFields[gfNrSignals].Width, Info.OriginalHeader()[gfNrSignals],
                              "NrSignals 0: a file needs at least one signal"));
  }
  return Out;
}

TFindings SignalHeaderFindings(const TCustomEDFSignalInfo& Signal, int Index, int Ns) {
  TFindings Out;
  const TContext C{Signal.RawHeader(), 0, Signal.Format()};
  for (int Field = 0; Field < EDFFieldCount; ++Field) {
    const TWhere Where{TWhereKind::SignalHeader, Index, -1, Field};
    AddFieldFindings(Out, true, Field, Signal.FieldFaults(Field), Where,
                     EDFSignalFieldOffset(Field, Index, Ns), C);
  }
  if (!Signal.Calibrated()) {
    const TWhere Where{TWhereKind::SignalHeader, Index, -1, -1};
    Out.push_back(MakeFinding(RuleOf(TClassicRule::Calibration), Where, EDFSignalFieldOffset(sfPhysimin, Index, Ns),
                              EDFSignalFields[sfPhysimin].Width, Signal.RawHeader()[sfPhysimin],
                              std::string(CalibrationRemarkText) + ": " + CalibrationReason(Signal)));
  }
  return Out;
}

TFindings LayoutFindings(TEDFFile& F, int64_t DataBlockBytes) {
  TFindings Out;
  const TCustomEDFFileInfo& Info = *F.FileInfo();
  const TEDFHeaderErrors Errors = F.HeaderErrors();
  const auto FieldFinding = [&](TClassicRule Rule, int Field, std::string Message) {
    const TWhere Where{TWhereKind::GeneralHeader, -1, -1, Field};
    Out.push_back(MakeFinding(RuleOf(Rule), Where, EDFGeneralFieldOffset(Field), EDFGeneralFields[static_cast<size_t>(Field)].Width,
                              Info.OriginalHeader()[static_cast<size_t>(Field)], std::move(Message)));
  };
  if (Errors.Contains(heRecordTooLarge)) {
    Out.push_back(MakeFinding(RuleOf(TClassicRule::RecordSize), TWhere{}, Info.HeaderBytes(), DataBlockBytes, "",
                              "a data record holds " + std::to_string(DataBlockBytes) +
                                  " bytes, above the limit of " + std::to_string(EDFMaxRecordBytes)));
  }
  if (Errors.Contains(heRecordBeyondCap)) {
    Out.push_back(MakeFinding(RuleOf(TClassicRule::RecordCap), TWhere{}, Info.HeaderBytes(), DataBlockBytes, "",
                              "a data record holds " + std::to_string(DataBlockBytes) + " bytes, above the " +
                                  std::to_string(MaxBdfDataBlockBytes) +
                                  " bytes this checker reads into memory at once"));
  }
  if (Errors.Contains(heRecordTooShort)) {
    FieldFinding(TClassicRule::RecordDuration, gfSampleRecDuration,
                 "SampleRecDuration " + Shown(Info.OriginalHeader()[gfSampleRecDuration]) +
                     " is below 1 s although one second of data stays within " +
                     std::to_string(EDFMaxRecordBytes) + " bytes");
  }
  // An unknown count cannot be compared with the file size.
  if (Errors.Contains(heRecordCountUnknown)) {
    const int64_t DataBytes = F.FileSize() - Info.HeaderBytes();
    FieldFinding(TClassicRule::NrDataRecordsUnknown, gfNrDataRecords,
                 "NrDataRecords " + Shown(Info.OriginalHeader()[gfNrDataRecords]) +
                     ": the number of data records is unknown; a count is expected" +
                     (DataBlockBytes > 0 && DataBytes >= 0
                          ? " (the file holds " + RecordsHeld(DataBytes, DataBlockBytes) + ")"
                          : std::string()));
  } else if (Errors.Contains(heFileSizeMismatch)) {
    const int64_t DataBytes = F.FileSize() - Info.HeaderBytes();
    std::string Held = DataBlockBytes <= 0 ? std::to_string(DataBytes) + " data bytes"
                       : DataBytes < 0     ? "no data record: it ends " + std::to_string(-DataBytes) +
                                             " bytes before the end of its header"
                                           : RecordsHeld(DataBytes, DataBlockBytes);
    FieldFinding(TClassicRule::FileSize, gfNrDataRecords,
                 "file holds " + Held + ", header says " + Shown(Info.OriginalHeader()[gfNrDataRecords]));
  }
  return Out;
}

TFinding ReadFailedFinding(const std::string& Message) {
  return MakeFinding(RuleOf(TClassicRule::FileRead), TWhere{}, -1, 0, "", std::string(ReadErrorText) + ": " + Message);
}
