// The rules of the header judgement and the file check besides each header
// field's own faults: a header without signals, calibration, the record
// layout, reading the file, the samples' range and the notes on a field's
// shape.
#include <array>
#include <vector>

#include "check/HeaderJudgement.h"
#include "check/RuleRefusals.h"
#include "check/Rules.h"

namespace {

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;
constexpr TSeverity N = TSeverity::Note;

using R = TClassicRule;
using enum TRepairWay;

// The descriptions spell the limits out; these keep them honest.
static_assert(EDFMaxRecordBytes == 61440);
static_assert(MaxBdfDataBlockBytes == 201326592);

constexpr std::array<TRuleRow<TClassicRule>, static_cast<size_t>(R::Count_)> Rows = {{
    {R::NrSignalsNone, "header.nrsignals.none", E,
     "NrSignals must be at least 1: a file without signals holds no data", None, RefusalText::NrSignals},
    {R::Calibration, "signal.calibration", W,
     "PhysiMin, PhysiMax, DigiMin and DigiMax must be valid with PhysiMin != PhysiMax and DigiMin != DigiMax, "
     "else the signal is not calibrated (a warning: the samples can still be read)",
     None, "a signal's calibration is the recorder's: it cannot be made up"},
    {R::FieldInvalid, "field.invalid", E, "a header field that its record rejects for a reason no other rule names"},
    {R::RecordSize, "layout.record.size", E,
     "an EDF data record must not exceed 61440 bytes (the EDF recommendation the window enforces; not applied to "
     "BDF)",
     None, RefusalText::RecordSize},
    {R::RecordDuration, "layout.record.duration", E,
     "SampleRecDuration of an EDF file below 1 s only when a 1 s record would exceed 61440 bytes (not applied to "
     "BDF)",
     None, RefusalText::Duration},
    {R::RecordCap, "layout.record.cap", E,
     "a BDF data record must not exceed 201326592 bytes, the most this checker reads into memory at once (BDF "
     "itself sets no limit)",
     None, RefusalText::RecordSize},
    {R::NrDataRecordsUnknown, "layout.nrdatarecords.unknown", E,
     "NrDataRecords -1 (unknown, left by a recorder that did not finish) makes the record count a guess",
     RecordCount, RefusalText::RecordCount},
    {R::FileSize, "layout.filesize", E,
     "the file must hold exactly HeaderBytes + NrDataRecords x record size bytes (2 bytes a sample in EDF, 3 in "
     "BDF)",
     RecordCount, RefusalText::RecordCount},
    {R::FileRead, "file.read", E, "the file could not be read to the end of its judgement", None,
     RefusalText::Unreadable},
    {R::FileChanged, "file.changed", E,
     "the file must keep its size while it is checked; a file still being written gives results that may not "
     "describe it",
     None, RefusalText::Unreadable},
    {R::SamplesDigiMin, "samples.digimin", E,
     "every sample must be at least the signal's DigiMin (found by --minmax and Tools; does not change the header "
     "verdict)",
     None, RefusalText::DataRecords, true},
    {R::SamplesDigiMax, "samples.digimax", E,
     "every sample must be at most the signal's DigiMax (found by --minmax and Tools; does not change the header "
     "verdict)",
     None, RefusalText::DataRecords, true},
    {R::TextJustified, "text.justified", N,
     "a field that its own rule accepts starts with a blank or control byte (readers that do not trim may fail)",
     LeftJustify, RefusalText::Justified},
    {R::TextPrintable, "text.printable", N,
     "a field that its own rule accepts holds bytes outside printable ASCII (trailing control bytes readers trim)",
     BlankTrailing, RefusalText::Printable},
    {R::TextSeparators, "text.separators", N,
     "a StartDate or StartTime whose 3rd and 6th characters are not '.', read by lenient rules that accept it "
     "(strict rules fault its layout instead)"},
    {R::TextNumber, "text.number", N, "a number field whose text is not a plain decimal number"},
}};
static_assert(RowsInEnumOrder(Rows), "the classic rules are listed in the order of TClassicRule");

const std::vector<TRule>& All() { return FamilyRules(Rows, RefusalText::Guess); }

}  // namespace

const TRule& RuleOf(TClassicRule Rule) { return All()[static_cast<size_t>(Rule)]; }

void AddClassicRules(std::vector<TRule>& Out, TClassicRule First, TClassicRule Last) {
  for (size_t i = static_cast<size_t>(First); i <= static_cast<size_t>(Last); ++i) Out.push_back(All()[i]);
}
