// The rules of the EDF+ / BDF+ conformance check: header, identification
// subfields, annotation lists and time-keeping. EDF+ names stand for BDF+ as
// well (BDF+C, "BDF Annotations", the 24-bit range).
#include <array>
#include <vector>

#include "check/ConformanceRules.h"
#include "check/RuleRefusals.h"
#include "check/Rules.h"

namespace {

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;

using R = TConformanceRule;
using enum TRepairWay;

// A repair never writes what identifies the person or the recording.
constexpr const char* Identification =
    "the identification is the recording's own: a repair does not make any of it up";

constexpr std::array<TRuleRow<TConformanceRule>, ConformanceRuleCount> Entries = {{
    {R::HeaderReserved, "edfplus.header.reserved", E,
     "Reserved of an EDF+ file starts with EDF+C or EDF+D in upper case (BDF+C, BDF+D for BDF+): readers take "
     "continuous or discontinuous from it and refuse or misread any other text after EDF+", None,
     "the EDF+ mark says whether the records are continuous: a new mark would be a guess"},
    {R::HeaderBdfReserved, "edfplus.header.bdfreserved", W,
     "Reserved of a plain BDF file reads 24BIT (a warning: readers go by the version byte, but the mark is "
     "missing)", BdfMark,
     "Reserved holds a text of its own, or a signal is labelled as annotations: whether the file is plain BDF "
     "cannot be told"},
    {R::HeaderNoAnnotations, "edfplus.header.noannotations", E,
     "an EDF+ file holds at least one EDF Annotations signal: it carries each record's start time, without "
     "which readers cannot place the records", None,
     "the annotation signal holds the records' start times, which are the recorder's: it cannot be made up"},
    {R::HeaderPlainLabel, "edfplus.header.plainlabel", W,
     "an EDF Annotations signal in a file whose Reserved does not start with EDF+ (a warning: readers differ, "
     "some read the annotations, others a signal of text bytes)", None,
     "the file may be EDF+ with its mark missing, or a plain file with a signal of that name: which cannot be "
     "told"},
    {R::HeaderDuration, "edfplus.header.duration", E,
     "SampleRecDuration is 0 only in a file of annotation signals alone: samples need a record duration to be "
     "placed in time", None, RefusalText::Duration},
    {R::AnnotationLabel, "edfplus.annotation.label", E,
     "a label that nearly reads EDF Annotations (EDF Annotation, another letter case, other blanks) makes "
     "readers take the annotations for an ordinary signal", None,
     "whether the signal holds annotations or samples cannot be told from a label that nearly reads so"},
    {R::AnnotationTransducer, "edfplus.annotation.transducer", E,
     "an annotation signal's TransducerType is blank: the strictest readers refuse the file otherwise",
     Blank, RefusalText::Guess},
    {R::AnnotationPhysidim, "edfplus.annotation.physidim", W,
     "an annotation signal's PhysiDim is blank (a warning: readers ignore it, but the format keeps it blank)",
     Blank, RefusalText::Guess},
    {R::AnnotationPrefilter, "edfplus.annotation.prefilter", E,
     "an annotation signal's PreFilter is blank: the strictest readers refuse the file otherwise",
     Blank, RefusalText::Guess},
    {R::AnnotationDigital, "edfplus.annotation.digital", E,
     "an annotation signal's DigiMin and DigiMax are -32768 and 32767 (-8388608 and 8388607 in BDF+): readers "
     "check them before they take the bytes for text", None,
     "readers that take the signal for samples scale by its digital range: a new one would be a guess"},
    {R::SignalPhysRange, "edfplus.signal.physrange", E,
     "PhysiMin differs from PhysiMax in every signal of an EDF+ file, annotation signals included: readers "
     "divide by the difference and refuse the file otherwise", None,
     "the physical range is the recorder's calibration: a new one would be a guess"},
    {R::SignalDuplicate, "edfplus.signal.duplicate", W,
     "signal labels are unique apart from the annotation signals (a warning: readers that pick a signal by its "
     "label get the first one)", None,
     "which signal the label belongs to cannot be told"},
    {R::SignalReserved, "edfplus.signal.reserved", W,
     "a signal's Reserved field is blank (a warning: readers ignore it, but the format keeps it for later use)",
     Blank, RefusalText::Guess},
    {R::PatientCount, "edfplus.patient.count", E,
     "the patient field holds code, sex, birthdate and name separated by single blanks, X when unknown: a "
     "missing or empty subfield shifts what readers take for the others", None, Identification},
    {R::PatientSex, "edfplus.patient.sex", E, "the patient's sex subfield is M, F or X: readers show nothing else",
     None, Identification},
    {R::PatientBirthdate, "edfplus.patient.birthdate", E,
     "the birthdate subfield is dd-MMM-yyyy with an upper-case English month (02-AUG-1951) or X: readers parse "
     "no other form", MonthCase, Identification},
    {R::PatientCalendar, "edfplus.patient.calendar", E,
     "the birthdate is a calendar date: readers that convert it fail on 31-FEB", None, Identification},
    {R::PatientName, "edfplus.patient.name", E,
     "the patient field's fourth subfield is the name (X when unknown, _ for a blank inside): a field that ends "
     "after the birthdate leaves readers without one", None, Identification},
    {R::RecordingStartdate, "edfplus.recording.startdate", E,
     "the recording field starts with the word Startdate: readers look for it before they read the subfields",
     StartdateCase,
     "the recording field does not start with Startdate in any letter case: what its subfields are cannot be "
     "told"},
    {R::RecordingCount, "edfplus.recording.count", E,
     "the recording field holds Startdate, the date, the administration code, the technician and the equipment "
     "separated by single blanks, X when unknown: a missing or empty subfield shifts the others", None, Identification},
    {R::RecordingDate, "edfplus.recording.date", E,
     "the recording's start date is a calendar date written dd-MMM-yyyy with an upper-case English month, or X",
     MonthCase,
     "which digit or letter of the start date is wrong cannot be told"},
    {R::RecordingSameDay, "edfplus.recording.sameday", E,
     "the recording's start date is the header's StartDate (dd.mm.yy, 85..99 meaning 1985..1999): readers "
     "cannot tell which of two dates is right", None,
     "which of the two dates is right cannot be told"},
    {R::RecordingYear, "edfplus.recording.year", E,
     "the recording starts in 1985 or later: the header's two-digit year cannot hold an earlier one", None,
     "the start date is the recorder's: a new one would be a guess"},
    {R::TalOnset, "edfplus.tal.onset", E,
     "an onset is + or -, digits, and optionally . and digits: no blank, no comma, no . without digits, or "
     "readers drop or misplace the annotation"},
    {R::TalDuration, "edfplus.tal.duration", E,
     "a duration after 0x15 is digits, optionally . and digits, without a sign: readers drop others"},
    {R::TalSeparator, "edfplus.tal.separator", E,
     "0x15 stands only once, between an onset and its duration: elsewhere readers split the list wrongly"},
    {R::TalUnclosed, "edfplus.tal.unclosed", E,
     "every TAL ends with 0x14 0x00: a 0x00 before the 0x14 that closes the onset or a text cuts the list short"},
    {R::TalEnd, "edfplus.tal.end", E,
     "a TAL ends with 0x14 0x00 inside its record's annotation bytes: readers do not join it with the next record"},
    {R::TalPadding, "edfplus.tal.padding", E,
     "only 0x00 bytes follow the last TAL of a record: readers stop at the first 0x00 and miss what stands behind"},
    {R::TalUtf8, "edfplus.tal.utf8", E, "annotation texts are UTF-8: readers show other bytes as garbage or stop"},
    {R::TalControl, "edfplus.tal.control", E,
     "annotation texts hold no control bytes other than TAB, LF and CR: readers treat others as delimiters or "
     "garbage"},
    {R::TimeKeeping, "edfplus.time.keeping", E,
     "every record starts with its time-keeping TAL, onset 0x14 0x14 0x00, first in the first annotation "
     "signal: it is the record's start time"},
    {R::TimeFirst, "edfplus.time.first", E,
     "the first record's time-keeping onset is at least 0 and below 1 s: it is the fraction of a second the "
     "recording starts after StartTime"},
    {R::TimeContinuous, "edfplus.time.continuous", E,
     "in EDF+C each record starts exactly one SampleRecDuration after the previous one: a gap or an overlap "
     "places samples at wrong times"},
    {R::TimeOverlap, "edfplus.time.overlap", E,
     "in EDF+D record start times increase and no record starts before the previous one ends (gaps are "
     "allowed)"},
    {R::TimeNoise, "edfplus.time.noise", W,
     "a record start off by far less than a sample period (a warning: rounding noise of the writer, not a gap, "
     "but readers that compare exactly may call it one)"},
    {R::TimeOutside, "edfplus.time.outside", W,
     "an annotation's onset lies within the recording (a warning: legal, but one before the start or after the "
     "end of the last record is usually a mistake)"},
    {R::RecordsUnread, "edfplus.records.unread", W,
     "the data records could not be checked (the header does not say where they lie, or this build cannot read "
     "the format's samples): their annotations and time-keeping are unknown", None,
     "the data records were not read, so nothing in them can be judged or mended"},
}};

static_assert(RowsInEnumOrder(Entries), "the conformance rules are listed in the order of TConformanceRule");

// The rows without a reason of their own are about the data records.
const std::vector<TRule>& All() { return FamilyRules(Entries, RefusalText::DataRecords); }

}  // namespace

const TRule& RuleOf(TConformanceRule Rule) { return All()[static_cast<size_t>(Rule)]; }

void AddConformanceRules(std::vector<TRule>& Out) { Out.insert(Out.end(), All().begin(), All().end()); }
