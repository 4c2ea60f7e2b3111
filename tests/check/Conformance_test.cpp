// The EDF+ / BDF+ conformance check: one fault per file -> exactly its rule at
// the offending byte; the legal traps -> nothing; a file cut short, the limit
// of listed findings per rule, and the real files.
#include "check/Conformance.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "testkit/PlusBytes.h"
#include "testkit/RealFiles.h"

using testkit::PlusBytes;
using testkit::Tal;
using testkit::TimeKeeping;

namespace {

// The records of a BDF file laid out with 3-byte samples, as the test sees
// them, for as long as the library lays BDF out as EDF.
TRecordLayout BdfLayout(const TCustomEDFFile& F) {
  TRecordLayout L;
  L.HeaderBytes = F.FileInfo()->HeaderBytes();
  L.SampleBytes = 3;
  for (int s = 0; s < F.SignalCount(); ++s) {
    L.Signals.push_back({L.RecordBytes, F.GetSignal(s)->NrSamples()});
    L.RecordBytes += int64_t{F.GetSignal(s)->NrSamples()} * 3;
  }
  L.NrRecords = std::stoll(F.FileInfo()->OriginalHeader()[gfNrDataRecords]);
  return L;
}

TConformanceReport CheckPath(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  if (EDFFormatOf(F.FileInfo()->OriginalHeader()[gfVersion]) == TEDFFormat::EDF) return CheckConformance(F);
  TConformanceCheck Check(F, BdfLayout(F));
  TRecordVisitor* V[] = {&Check};
  return Check.Finish(Check.WantsRecords() ? ScanRecords(*F.Stream(), Check.Layout(), V) : TScanOutcome{});
}

TConformanceReport Check(const PlusBytes& P) {
  testkit::TempDir Dir;
  const std::string Path = Dir.File(P.SampleBytes == 3 ? "t.bdf" : "t.edf");
  P.Write(Path);
  return CheckPath(Path);
}

std::string Describe(const TConformanceReport& R) {
  std::string Out;
  for (const TFinding& F : R.Findings)
    Out += "  [" + F.Rule + "] byte " + std::to_string(F.Offset) + ": " + F.Message + "\n";
  return Out;
}

PlusBytes General(int Field, const std::string& Text, bool Bdf = false) {
  PlusBytes P = PlusBytes::Valid(3, Bdf);
  P.Header.General[static_cast<size_t>(Field)] = Text;
  return P;
}
PlusBytes Signal(int S, int Field, const std::string& Text, bool Bdf = false) {
  PlusBytes P = PlusBytes::Valid(3, Bdf);
  P.Header.Signals[static_cast<size_t>(S)][static_cast<size_t>(Field)] = Text;
  return P;
}
// Record R's annotation bytes replaced.
PlusBytes InRecord(int R, const std::string& Bytes, PlusBytes P = PlusBytes::Valid()) {
  const auto Old = P.Annotations;
  P.Annotations = [=](int r, int s) { return r == R ? Bytes : Old(r, s); };
  return P;
}
PlusBytes Stamps(const std::function<std::string(int)>& Onset, PlusBytes P = PlusBytes::Valid()) {
  P.Annotations = [=](int r, int) { return TimeKeeping(Onset(r)); };
  return P;
}
std::string Tk1() { return TimeKeeping("+1"); }  // record 1's own stamp, 5 bytes

int64_t G(int Field) { return EDFGeneralFieldOffset(Field); }
int64_t S(int Field, int Signal) { return EDFSignalFieldOffset(Field, Signal, 3); }

struct TRow {
  const char* Name;
  std::function<PlusBytes()> Make;
  const char* Rule;
  std::function<int64_t(const PlusBytes&)> Offset;
  const char* Message = "";  // "" when the row does not pin the sentence
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

std::function<int64_t(const PlusBytes&)> Fixed(int64_t Offset) {
  return [=](const PlusBytes&) { return Offset; };
}
// Byte I of the annotation signal in record R.
std::function<int64_t(const PlusBytes&)> Ann(int R, int64_t I) {
  return [=](const PlusBytes& P) { return P.At(R, 2, I); };
}

const std::vector<TRow>& Rows() {
  static const std::vector<TRow> Rows = {
      // Header layer.
      {"ReservedLowerCaseLetter", [] { return General(gfReserved, "EDF+c"); }, "edfplus.header.reserved",
       Fixed(196)},
      {"ReservedPlusAlone", [] { return General(gfReserved, "EDF+"); }, "edfplus.header.reserved", Fixed(196)},
      {"ReservedOtherFamily", [] { return General(gfReserved, "EDF+C", true); }, "edfplus.header.reserved",
       Fixed(192)},
      {"PlainBdfReserved",
       [] {
         PlusBytes P = Signal(2, sfSignalLabel, "Marker", true);
         P.Header.General[gfReserved] = "";
         return P;
       },
       "edfplus.header.bdfreserved", Fixed(192)},
      {"NoAnnotationSignal", [] { return Signal(2, sfSignalLabel, "Marker"); }, "edfplus.header.noannotations",
       Fixed(192)},
      {"LabelWithoutS", [] { return Signal(2, sfSignalLabel, "EDF Annotation"); }, "edfplus.annotation.label",
       Fixed(S(sfSignalLabel, 2) + 14)},
      {"LabelLowerCase", [] { return Signal(2, sfSignalLabel, "EDF annotations"); }, "edfplus.annotation.label",
       Fixed(S(sfSignalLabel, 2) + 4)},
      {"EdfLabelInBdf", [] { return Signal(2, sfSignalLabel, "EDF Annotations", true); }, "edfplus.annotation.label",
       Fixed(S(sfSignalLabel, 2))},
      {"LabelInPlainEdf", [] { return General(gfReserved, ""); }, "edfplus.header.plainlabel",
       Fixed(S(sfSignalLabel, 2))},
      {"AnnotationTransducer", [] { return Signal(2, sfTransducertype, " Pen"); }, "edfplus.annotation.transducer",
       Fixed(S(sfTransducertype, 2) + 1)},
      {"AnnotationPhysidim", [] { return Signal(2, sfPhysidim, "uV"); }, "edfplus.annotation.physidim",
       Fixed(S(sfPhysidim, 2))},
      {"AnnotationPrefilter", [] { return Signal(2, sfPrefilter, "HP:0.1Hz"); }, "edfplus.annotation.prefilter",
       Fixed(S(sfPrefilter, 2))},
      {"AnnotationDigiMin", [] { return Signal(2, sfDigimin, "-32767"); }, "edfplus.annotation.digital",
       Fixed(S(sfDigimin, 2))},
      {"BdfAnnotationDigiMax16Bit", [] { return Signal(2, sfDigimax, "32767", true); }, "edfplus.annotation.digital",
       Fixed(S(sfDigimax, 2))},
      {"PhysicalRangeEmpty", [] { return Signal(0, sfPhysimax, "-500.0"); }, "edfplus.signal.physrange",
       Fixed(S(sfPhysimax, 0))},
      {"DuplicateLabel", [] { return Signal(1, sfSignalLabel, "Signal 1"); }, "edfplus.signal.duplicate",
       Fixed(S(sfSignalLabel, 1))},
      {"SignalReserved", [] { return Signal(0, sfReserved, " x"); }, "edfplus.signal.reserved",
       Fixed(S(sfReserved, 0) + 1)},
      {"DurationZeroWithSamples", [] { return General(gfSampleRecDuration, "0"); }, "edfplus.header.duration",
       Fixed(G(gfSampleRecDuration))},
      {"PatientTwoSubfields", [] { return General(gfPatient, "X M"); }, "edfplus.patient.count", Fixed(8 + 3),
       "Patient \"X M\" holds 2 of 4 subfields: the birthdate and the name are missing (X when unknown)"},
      {"PatientWithoutName", [] { return General(gfPatient, "X M 02-AUG-1951"); }, "edfplus.patient.name",
       Fixed(8 + 15)},
      {"PatientTwoBlanks", [] { return General(gfPatient, "X  M X X"); }, "edfplus.patient.count", Fixed(8 + 2)},
      {"PatientSexLowerCase", [] { return General(gfPatient, "X m X X"); }, "edfplus.patient.sex", Fixed(8 + 2)},
      {"BirthdateLowerCaseMonth", [] { return General(gfPatient, "X M 02-aug-1951 X"); }, "edfplus.patient.birthdate",
       Fixed(8 + 4 + 3)},
      {"BirthdateFebruary31", [] { return General(gfPatient, "X M 31-FEB-2001 X"); }, "edfplus.patient.calendar",
       Fixed(8 + 4), "birthdate \"31-FEB-2001\" is not a calendar date"},
      {"StartdateCase", [] { return General(gfRecording, "StartDate X X X X"); }, "edfplus.recording.startdate",
       Fixed(88 + 5)},
      {"RecordingThreeSubfields", [] { return General(gfRecording, "Startdate X X"); }, "edfplus.recording.count",
       Fixed(88 + 13)},
      {"RecordingDateOneDigitDay", [] { return General(gfRecording, "Startdate 1-FEB-2003 X X X"); },
       "edfplus.recording.date", Fixed(98 + 1)},
      {"RecordingOtherDay", [] { return General(gfRecording, "Startdate 02-FEB-2003 X X X"); },
       "edfplus.recording.sameday", Fixed(98),
       "start date \"02-FEB-2003\" is not the day of StartDate 01.02.03 (01-FEB-2003)"},
      {"RecordingBefore1985", [] { return General(gfRecording, "Startdate 01-FEB-1984 X X X"); },
       "edfplus.recording.year", Fixed(98 + 7)},
      {"HeaderBytesWrong", [] { return General(gfHeaderBytes, "1280"); }, "edfplus.records.unread", Fixed(-1)},
      // Data-record layer: record 1 after its 5-byte time-keeping TAL.
      {"OnsetComma", [] { return InRecord(1, Tk1() + Tal("+1,5", {"Beep"})); }, "edfplus.tal.onset", Ann(1, 5 + 2),
       "onset \"+1,5\" holds a comma: onsets are + or -, digits, and . before a fraction"},
      {"OnsetWithoutSign", [] { return InRecord(1, Tk1() + Tal("1.5", {"Beep"})); }, "edfplus.tal.onset",
       Ann(1, 5)},
      {"OnsetTrailingPoint", [] { return InRecord(1, Tk1() + Tal("+1.", {"Beep"})); }, "edfplus.tal.onset",
       Ann(1, 5 + 2)},
      {"OnsetBlank", [] { return InRecord(1, Tk1() + Tal("+ 1", {"Beep"})); }, "edfplus.tal.onset", Ann(1, 5 + 1)},
      {"DurationSign", [] { return InRecord(1, Tk1() + Tal("+1.5\x15-2", {"Beep"})); }, "edfplus.tal.duration",
       Ann(1, 5 + 5)},
      {"DurationTrailingPoint", [] { return InRecord(1, Tk1() + Tal("+1.5\x15" "2.", {"Beep"})); },
       "edfplus.tal.duration", Ann(1, 5 + 6)},
      {"SeparatorInText", [] { return InRecord(1, Tk1() + Tal("+1.5", {"Be\x15" "ep"})); }, "edfplus.tal.separator",
       Ann(1, 5 + 5 + 2)},
      {"TextLatin1", [] { return InRecord(1, Tk1() + Tal("+1.5", {"caf\xE9"})); }, "edfplus.tal.utf8",
       Ann(1, 5 + 5 + 3), "text \"caf\\xE9\" is not UTF-8 from byte 0xE9 on"},
      {"TextControlByte", [] { return InRecord(1, Tk1() + Tal("+1.5", {"a\x01" "b"})); }, "edfplus.tal.control",
       Ann(1, 5 + 5 + 1)},
      {"TextEndsAtNul", [] { return InRecord(1, Tk1() + std::string("+1.5\x14" "Beep\0", 10)); },
       "edfplus.tal.unclosed", Ann(1, 5 + 9)},
      {"TalRunsToRecordEnd", [] { return InRecord(1, Tk1() + "+1.5\x14" + std::string(60, 'x')); },
       "edfplus.tal.end", Ann(1, 59)},
      {"BytesAfterPadding", [] { return InRecord(1, Tk1() + std::string("\0\0+2", 4)); }, "edfplus.tal.padding",
       Ann(1, 5 + 2)},
      {"FirstTalCarriesText", [] { return InRecord(1, Tal("+1.5", {"Beep"})); }, "edfplus.time.keeping", Ann(1, 5)},
      {"RecordWithoutTal", [] { return InRecord(1, ""); }, "edfplus.time.keeping", Ann(1, 0)},
      {"TimeKeepingWithDuration", [] { return InRecord(1, TimeKeeping("+1\x15" "0")); }, "edfplus.time.keeping",
       Ann(1, 2)},
      {"FirstStampOneSecond", [] { return Stamps([](int r) { return "+" + std::to_string(r + 1); }); },
       "edfplus.time.first", Ann(0, 0)},
      {"ContinuousGap", [] { return InRecord(2, TimeKeeping("+4")); }, "edfplus.time.continuous", Ann(2, 0),
       "record starts at \"+4\", 2 s after the previous record ends (2 s): EDF+C records follow each other "
       "without a gap"},
      {"ContinuousOverlap", [] { return InRecord(2, TimeKeeping("+1.5")); }, "edfplus.time.continuous", Ann(2, 0)},
      {"ContinuousNoise", [] { return InRecord(2, TimeKeeping("+2.000000001")); }, "edfplus.time.noise", Ann(2, 0),
       "record starts at \"+2.000000001\", 0.000000001 s after the previous record ends (2 s): rounding noise far "
       "below the 0.1 s sample period, not a gap"},
      {"ContinuousNoiseEarly", [] { return InRecord(2, TimeKeeping("+1.999999999")); }, "edfplus.time.noise",
       Ann(2, 0),
       "record starts at \"+1.999999999\", 0.000000001 s before the previous record ends (2 s): rounding noise far "
       "below the 0.1 s sample period, not an overlap"},
      {"DiscontinuousOverlap",
       [] { return InRecord(2, TimeKeeping("+1.5"), General(gfReserved, "EDF+D")); }, "edfplus.time.overlap",
       Ann(2, 0)},
      {"AnnotationAfterEnd", [] { return InRecord(1, Tk1() + Tal("+100", {"Late"})); }, "edfplus.time.outside",
       Ann(1, 5), "annotation onset \"+100\" lies after the recording ends (3 s)"},
      {"AnnotationBeforeStart", [] { return InRecord(1, Tk1() + Tal("-1", {"Early"})); }, "edfplus.time.outside",
       Ann(1, 5), "annotation onset \"-1\" lies before the recording starts (0 s)"},
      // A quote cut short says so; a time too large to hold is never a number.
      {"LongOnsetAfterEnd", [] { return InRecord(1, Tk1() + Tal("+12345678901234567890", {"Late"})); },
       "edfplus.time.outside", Ann(1, 5),
       "annotation onset \"+12345678901234...\" lies after the recording ends (3 s)"},
      {"StampTooLargeToHold", [] { return InRecord(2, TimeKeeping("+100000000000000000000")); },
       "edfplus.time.continuous", Ann(2, 0),
       "record starts at \"+100000000000000000000\" (10^18 s or more, too large to hold), after the previous "
       "record ends (2 s): EDF+C records follow each other without a gap"},
      // BDF+ records: 3 bytes per annotation "sample".
      {"BdfOnsetComma", [] { return InRecord(1, Tk1() + Tal("+1,5", {"Beep"}), PlusBytes::Valid(3, true)); },
       "edfplus.tal.onset", Ann(1, 5 + 2)},
      {"BdfContinuousGap", [] { return InRecord(2, TimeKeeping("+4"), PlusBytes::Valid(3, true)); },
       "edfplus.time.continuous", Ann(2, 0)},
  };
  return Rows;
}

class ConformanceRow : public testing::TestWithParam<TRow> {};

TEST_P(ConformanceRow, OneFaultGivesItsRuleAtTheOffendingByte) {
  const TRow& Row = GetParam();
  const PlusBytes P = Row.Make();
  const TConformanceReport R = Check(P);
  ASSERT_EQ(R.Findings.size(), 1u) << Describe(R);
  const TFinding& F = R.Findings[0];
  EXPECT_EQ(F.Rule, Row.Rule) << Describe(R);
  EXPECT_EQ(F.Offset, Row.Offset(P)) << Describe(R);
  ASSERT_NE(FindRule(Row.Rule), nullptr);
  EXPECT_EQ(F.Severity, FindRule(Row.Rule)->Severity);
  if (*Row.Message != '\0') {
    EXPECT_EQ(F.Message, Row.Message);
  }
  // The sentence quotes what was found.
  EXPECT_NE(F.Message.find(EscapeBytes(F.Raw)), std::string::npos) << F.Message;
  EXPECT_EQ(R.TotalOf(Row.Rule), 1);
}

INSTANTIATE_TEST_SUITE_P(Rules, ConformanceRow, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<TRow>& Info) { return std::string(Info.param.Name); });

struct TTrap {
  const char* Name;
  std::function<PlusBytes()> Make;
};

TEST(Conformance, LegalTrapsGiveNoFinding) {
  const std::vector<TTrap> Traps = {
      {"UnknownSubfieldsAsX", [] { return PlusBytes::Valid(); }},
      {"TabLineFeedReturnInText", [] { return InRecord(1, Tk1() + Tal("+1.5", {"a\tb\nc\rd"})); }},
      {"TwelveWithTrailingZeros",
       [] { return InRecord(12, TimeKeeping("+12.000000000"), PlusBytes::Valid(13)); }},
      {"ReservedWithMoreText", [] { return General(gfReserved, "EDF+C recorded at night"); }},
      {"DiscontinuousWithGaps",
       [] { return Stamps([](int r) { return "+" + std::to_string(5 * r); }, General(gfReserved, "EDF+D")); }},
      {"EmptyText", [] { return InRecord(1, Tk1() + Tal("+1.5", {""})); }},
      {"DurationsAndUtf8Texts",
       [] { return InRecord(1, Tk1() + Tal("+1.5\x15" "0.25", {"\xE4\xB8\xAD\xE6\x96\x87", "x"}) + Tal("-0", {"zero"})); }},
      {"AnnotationAtTheEnd", [] { return InRecord(2, TimeKeeping("+2") + Tal("+3", {"End"})); }},
      {"FullIdentification",
       [] {
         PlusBytes P = General(gfPatient, "MCH-0234567 F 02-MAY-1951 Haagse_Harry left arm");
         P.Header.General[gfRecording] = "Startdate 01-FEB-2003 PSG-12 X Amp_3 night 1";
         return P;
       }},
      {"AnnotationOnlyWithDurationZero",
       [] {
         PlusBytes P = PlusBytes::Valid(1);
         P.Header.Signals = {P.Header.Signals[2]};
         P.Header.General[gfHeaderBytes] = "512";
         P.Header.General[gfNrSignals] = "1";
         P.Header.General[gfSampleRecDuration] = "0";
         P.AnnotationSignals = {0};
         P.Annotations = [](int, int) { return TimeKeeping("+0") + Tal("+0\x15" "30630", {"Sleep stage W"}); };
         return P;
       }},
      // The 61440-byte limit is the header judgement's one finding
      // (layout.record.size), not a second one here.
      {"RecordAbove61440", [] { return Signal(1, sfNrSamples, "30721"); }},
      {"BdfPlusWithAnAnnotation", [] { return InRecord(1, Tk1() + Tal("+1.5", {"Beep"}), PlusBytes::Valid(3, true)); }},
  };
  for (const TTrap& Trap : Traps) {
    const TConformanceReport R = Check(Trap.Make());
    EXPECT_TRUE(R.Findings.empty()) << Trap.Name << "\n" << Describe(R);
    EXPECT_NE(R.Plus, TPlusKind::None) << Trap.Name;
  }
}

// The recording reaches from its earliest record start to its latest record
// end, whatever order the stamps come in: the same annotations lie outside.
TEST(Conformance, OutsideTheRecordingDoesNotDependOnTheOrderOfStamps) {
  for (const std::vector<int>& Starts : {std::vector<int>{0, 10, 20}, {0, 20, 10}, {10, 20, 0}}) {
    PlusBytes P = General(gfReserved, "EDF+D");
    P.Annotations = [Starts](int r, int) {
      const std::string Stamp = TimeKeeping("+" + std::to_string(Starts[static_cast<size_t>(r)]));
      if (r == 1) return Stamp + Tal("+50", {"late"}) + Tal("+5", {"in"});
      if (r == 2) return Stamp + Tal("-1", {"early"}) + Tal("+20.5", {"in"});
      return Stamp;
    };
    const TConformanceReport R = Check(P);
    std::vector<std::string> Outside;
    for (const TFinding& F : R.Findings)
      if (F.Rule == "edfplus.time.outside") Outside.push_back(F.Raw);
    EXPECT_EQ(Outside, (std::vector<std::string>{"+50", "-1"})) << Starts[1] << "\n" << Describe(R);
  }
}

// A locale with a decimal comma, made with localedef where the system has
// none (LOCPATH then points into Dir); "" when none can be had.
std::string CommaLocale(const testkit::TempDir& Dir) {
  const std::string Before = setlocale(LC_NUMERIC, nullptr);
  for (int Attempt = 0; Attempt < 2; ++Attempt) {
    if (setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
      const bool Comma = *localeconv()->decimal_point == ',';
      setlocale(LC_NUMERIC, Before.c_str());
      if (Comma) return "de_DE.UTF-8";
    }
    if (Attempt == 0 &&
        std::system(("localedef -i de_DE -f UTF-8 " + Dir.File("de_DE.UTF-8") + " >/dev/null 2>&1").c_str()) == 0)
      setenv("LOCPATH", Dir.Path().c_str(), 1);
  }
  return "";
}

// Numbers in sentences read the same under every locale, so that reports
// merged from many machines agree.
TEST(Conformance, NumbersInSentencesFollowNoLocale) {
  testkit::TempDir Dir;
  const char* Path = getenv("LOCPATH");
  const std::string OldPath = Path ? Path : "";
  const std::string Locale = CommaLocale(Dir);
  if (Locale.empty()) GTEST_SKIP() << "no locale with a decimal comma could be had";
  const std::string Before = setlocale(LC_ALL, nullptr);
  setlocale(LC_ALL, Locale.c_str());
  const TConformanceReport R = Check(InRecord(2, TimeKeeping("+2.0000000015")));
  setlocale(LC_ALL, Before.c_str());
  if (Path)
    setenv("LOCPATH", OldPath.c_str(), 1);
  else
    unsetenv("LOCPATH");
  ASSERT_EQ(R.Findings.size(), 1u) << Describe(R);
  EXPECT_EQ(R.Findings[0].Message,
            "record starts at \"+2.0000000015\", 0.0000000015 s after the previous record ends (2 s): rounding noise "
            "far below the 0.1 s sample period, not a gap");
}

TEST(Conformance, AFileCutMidRecordEndsWithTheReadFinding) {
  // The header announces 5 records; 4 and 40 bytes of the fifth are there.
  PlusBytes P = PlusBytes::Valid(5);
  P.Records = 4;
  P.Tail = std::string(40, '\0');
  const TConformanceReport R = Check(P);
  ASSERT_EQ(R.Findings.size(), 1u) << Describe(R);
  EXPECT_EQ(R.Findings[0].Rule, "file.read");
  EXPECT_EQ(R.Findings[0].Where.Record, 4);
  EXPECT_EQ(R.Findings[0].Offset, P.At(4, 0) + 40);
  EXPECT_EQ(R.RecordsScanned, 4);
}

TEST(Conformance, ACancelledPassSaysSoAndJudgesNoAnnotationAgainstAnUnknownEnd) {
  // 30000 records of 100 bytes: three blocks; an annotation far after the end.
  PlusBytes P = InRecord(0, TimeKeeping("+0") + Tal("+99999", {"Late"}), PlusBytes::Valid(30000));
  testkit::TempDir Dir;
  P.Write(Dir.File("c.edf"));
  TEDFFile F;
  F.SetFileName(Dir.File("c.edf"));
  F.SetReadOnly(true);
  F.SetActive(true);
  const TConformanceReport Cancelled = CheckConformance(F, [](int64_t, int64_t) { return false; });
  EXPECT_TRUE(Cancelled.Cancelled);
  EXPECT_LT(Cancelled.RecordsScanned, 30000);
  EXPECT_TRUE(Cancelled.Findings.empty()) << Describe(Cancelled);
  const TConformanceReport Whole = CheckConformance(F);
  EXPECT_FALSE(Whole.Cancelled);
  EXPECT_EQ(Whole.TotalOf("edfplus.time.outside"), 1);
}

// Waits for the library to lay BDF records out with 3-byte samples; until
// then the check says it did not read them.
TEST(Conformance, BdfPlusThroughTheLibraryLayout) {
  const PlusBytes P = InRecord(1, Tk1() + Tal("+1,5", {"Beep"}), PlusBytes::Valid(3, true));
  testkit::TempDir Dir;
  P.Write(Dir.File("b.bdf"));
  TEDFFile F;
  F.SetFileName(Dir.File("b.bdf"));
  F.SetReadOnly(true);
  F.SetActive(true);
  const TConformanceReport R = CheckConformance(F);
  if (RecordLayoutOf(F).SampleBytes != 3) {
    EXPECT_EQ(R.TotalOf("edfplus.records.unread"), 1) << Describe(R);
    GTEST_SKIP() << "the library lays BDF records out with " << RecordLayoutOf(F).SampleBytes << "-byte samples";
  }
  ASSERT_EQ(R.Findings.size(), 1u) << Describe(R);
  EXPECT_EQ(R.Findings[0].Rule, "edfplus.tal.onset");
  EXPECT_EQ(R.Findings[0].Offset, P.At(1, 2, 7));
}

TEST(Conformance, ListsTwentyFindingsOfARuleAndCountsTheRest) {
  // 30 records, each with a comma in an onset and, from the second on,
  // rounding noise in its stamp (odd records late, even ones early).
  PlusBytes P = PlusBytes::Valid(30);
  P.Annotations = [](int r, int) {
    const std::string N = std::to_string(r);
    return TimeKeeping("+" + N + (r % 2 == 1 ? ".000000001" : "")) + Tal("+" + N + ",5", {"x"});
  };
  const TConformanceReport R = Check(P);
  EXPECT_EQ(R.TotalOf("edfplus.tal.onset"), 30);
  EXPECT_EQ(R.TotalOf("edfplus.time.noise"), 29);
  std::map<std::string, std::vector<int64_t>> Records;
  for (const TFinding& F : R.Findings) Records[F.Rule].push_back(F.Where.Record);
  ASSERT_EQ(Records["edfplus.tal.onset"].size(), 20u);
  EXPECT_EQ(Records["edfplus.tal.onset"].front(), 0);
  EXPECT_EQ(Records["edfplus.tal.onset"].back(), 19);
  EXPECT_EQ(Records["edfplus.time.noise"].size(), 20u);
  for (const TRuleTotal& T : R.Totals) EXPECT_EQ(T.Listed, 20) << T.Rule;
}

// What the conformance check finds in each real file, and why.
TEST(Conformance, RealFiles) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data folder";
  struct TReal {
    const char* Name;
    int64_t Records;  // data records checked; 0 for a plain file, which needs no pass
    std::map<std::string, int64_t> Rules;
  };
  const std::vector<TReal> Expected = {
      // Plain EDF, no annotation signal: nothing of EDF+ to check.
      {"edfio_short_psg.edf", 0, {}},
      // EDF+C starting 0.3945312 s after StartTime; every stamp exact.
      {"edfio_test_subsecond.edf", 698, {}},
      // EDF+C; the annotation at +600 stands exactly at the end of 600 records.
      {"pyedflib_test_generator.edf", 600, {}},
      // Plain EDF (Reserved blank) that still has an "EDF Annotations" signal.
      {"pyedflib_test_legacy.edf", 0, {{"edfplus.header.plainlabel", 1}}},
      // EDF+C with UTF-8 annotation texts, all valid.
      {"pyedflib_test_utf8.edf", 698, {}},
      // Annotation-only EDF+C with records of 0 s: legal EDF+, though the
      // classic rules reject the duration.
      {"sleepedf_hypnogram.edf", 1, {}},
      // Plain BDF whose Reserved is blank instead of 24BIT.
      {"edfio_short_psg.bdf", 0, {{"edfplus.header.bdfreserved", 1}}},
      // BDF+C, stamps with 6 decimals, every one exact.
      {"edfio_test_subsecond.bdf", 698, {}},
      {"pyedflib_test_generator.bdf", 30, {}},
  };
  for (const TReal& Real : Expected) {
    const TConformanceReport R = CheckPath(Dir + "/" + Real.Name);
    std::map<std::string, int64_t> Found;
    for (const TRuleTotal& T : R.Totals) Found[T.Rule] = T.Total;
    EXPECT_EQ(Found, Real.Rules) << Real.Name << "\n" << Describe(R);
    EXPECT_EQ(R.RecordsScanned, Real.Records) << Real.Name;
    EXPECT_EQ(R.RecordsChecked, Real.Records > 0) << Real.Name;
  }
}

}  // namespace
