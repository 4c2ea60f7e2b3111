// One broken byte range per row of a valid file -> exactly the rule, the
// severity, the place and the sentence that the judgement must report.
#include "check/HeaderFindings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "check/FileCheck.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFLayout.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;

namespace {

EdfBytes Valid() { return EdfBytes::Valid(2, 200, 3); }
EdfBytes General(int Field, const std::string& Text) {
  EdfBytes E = Valid();
  E.General[static_cast<size_t>(Field)] = Text;
  return E;
}
EdfBytes Signal(int S, int Field, const std::string& Text) {
  EdfBytes E = Valid();
  E.Signals[static_cast<size_t>(S)][static_cast<size_t>(Field)] = Text;
  return E;
}
int64_t S(int Field, int Signal) { return EDFSignalFieldOffset(Field, Signal, 2); }
EdfBytes Bdf(const std::function<void(EdfBytes&)>& Change) {
  return testkit::With(EdfBytes::ValidBdf(2, 200, 3), Change);
}

struct TRow {
  const char* Name;
  std::function<EdfBytes()> Make;
  const char* Rule;
  TSeverity Severity;
  int64_t Offset;
  const char* Message;  // "" when the row does not pin the sentence
};
void PrintTo(const TRow& R, std::ostream* Os) { *Os << R.Name; }

constexpr TSeverity E = TSeverity::Error;
constexpr TSeverity W = TSeverity::Warning;
constexpr TSeverity N = TSeverity::Note;

const std::vector<TRow>& Rows() {
  static const std::vector<TRow> R = {
      {"VersionOne", [] { return General(gfVersion, "1"); }, "header.version.value", E, 0, "Version 1 must read 0"},
      {"VersionLeadingBlank", [] { return General(gfVersion, " 0"); }, "header.version.justified", E, 0, ""},
      {"VersionTrailingControl", [] { return General(gfVersion, "0\x01"); }, "text.printable", N, 0,
       "Version \"0\\x01\" holds bytes outside printable ASCII"},
      {"PatientByte200", [] { return General(gfPatient, "X \xC8 X X"); }, "header.patient.printable", E, 8, ""},
      {"PatientLeadingBlank", [] { return General(gfPatient, " X X X X"); }, "header.patient.justified", E, 8, ""},
      {"RecordingByte1", [] { return General(gfRecording, "Start\x01" "date"); }, "header.recording.printable", E, 88, ""},
      {"RecordingLeadingBlank", [] { return General(gfRecording, " a"); }, "header.recording.justified", E, 88, ""},
      {"StartDateDashes", [] { return General(gfStartDate, "01-02-03"); }, "header.startdate.layout", E, 168,
       "StartDate 01-02-03 is not laid out as dd.mm.yy"},
      {"StartDateFebruary31", [] { return General(gfStartDate, "31.02.03"); }, "header.startdate.calendar", E, 168,
       "StartDate 31.02.03 is not a calendar date"},
      {"StartDateLeadingBlank", [] { return General(gfStartDate, " 1.02.03"); }, "header.startdate.justified", E, 168, ""},
      {"StartTimeColons", [] { return General(gfStartTime, "04:05:06"); }, "header.starttime.layout", E, 176, ""},
      {"StartTimeHour25", [] { return General(gfStartTime, "25.00.00"); }, "header.starttime.clock", E, 176, ""},
      {"StartTimeLeadingBlank", [] { return General(gfStartTime, " 4.05.06"); }, "header.starttime.justified", E, 176, ""},
      {"HeaderBytesWord", [] { return General(gfHeaderBytes, "many"); }, "header.headerbytes.integer", E, 184, ""},
      {"HeaderBytesNegative", [] { return General(gfHeaderBytes, "-1"); }, "header.headerbytes.minimum", E, 184, ""},
      {"HeaderBytesWrong", [] { return General(gfHeaderBytes, "512"); }, "header.headerbytes.size", E, 184,
       "HeaderBytes 512 must be 768 for 2 signals (256 x (NrSignals + 1))"},
      {"HeaderBytesWithBadCount", [] { return General(gfNrSignals, "two"); }, "header.headerbytes.nrsignals", E, 184,
       "HeaderBytes 768 cannot be checked while NrSignals is invalid: it must be 256 x (NrSignals + 1)"},
      {"HeaderBytesLeadingBlank", [] { return General(gfHeaderBytes, " 768"); }, "text.justified", N, 184, ""},
      {"HeaderBytesInHex", [] { return General(gfHeaderBytes, "$300"); }, "text.number", N, 184, ""},
      {"ReservedByte255", [] { return General(gfReserved, "EDF+C\xFF"); }, "header.reserved.printable", E, 192, ""},
      {"ReservedLeadingBlank", [] { return General(gfReserved, " EDF+C"); }, "header.reserved.justified", E, 192, ""},
      {"NrDataRecordsWord", [] { return General(gfNrDataRecords, "three"); }, "header.nrdatarecords.integer", E, 236, ""},
      {"NrDataRecordsMinusTwo", [] { return General(gfNrDataRecords, "-2"); }, "header.nrdatarecords.minimum", E, 236, ""},
      {"NrDataRecordsLeadingBlank", [] { return General(gfNrDataRecords, " 3"); }, "header.nrdatarecords.justified", E, 236, ""},
      {"NrDataRecordsUnknown", [] { return General(gfNrDataRecords, "-1"); }, "layout.nrdatarecords.unknown", E, 236,
       "NrDataRecords -1: the number of data records is unknown; a count is expected (the file holds 3 records of "
       "800 bytes)"},
      {"DurationZero", [] { return General(gfSampleRecDuration, "0"); }, "header.samplerecduration.minimum", E, 244,
       "SampleRecDuration 0 must be above 0"},
      {"DurationWord", [] { return General(gfSampleRecDuration, "one"); }, "header.samplerecduration.number", E, 244, ""},
      {"DurationLeadingBlank", [] { return General(gfSampleRecDuration, " 1"); }, "header.samplerecduration.justified", E, 244, ""},
      {"NrSignalsNegative", [] { return General(gfNrSignals, "-1"); }, "header.nrsignals.minimum", E, 252, ""},
      {"NrSignalsWord", [] { return General(gfNrSignals, "two"); }, "header.nrsignals.integer", E, 252, ""},
      {"NrSignalsLeadingBlank", [] { return General(gfNrSignals, " 2"); }, "header.nrsignals.justified", E, 252, ""},
      {"NrSignalsZero",
       [] {
         EdfBytes B = General(gfNrSignals, "0");
         B.General[gfHeaderBytes] = "256";
         B.Signals.clear();
         return B;
       },
       "header.nrsignals.none", E, 252, "NrSignals 0: a file needs at least one signal"},
      {"LabelByte200", [] { return Signal(1, sfSignalLabel, "EEG \xC8"); }, "signal.signallabel.printable", E, S(sfSignalLabel, 1), ""},
      {"LabelLeadingBlank", [] { return Signal(0, sfSignalLabel, " EEG"); }, "signal.signallabel.justified", E, 256, ""},
      {"TransducerByte1", [] { return Signal(1, sfTransducertype, "a\x01" "b"); }, "signal.transducertype.printable", E, S(sfTransducertype, 1), ""},
      {"TransducerLeadingBlank", [] { return Signal(0, sfTransducertype, " a"); }, "signal.transducertype.justified", E, S(sfTransducertype, 0), ""},
      {"PhysiDimByte181", [] { return Signal(0, sfPhysidim, "\xB5V"); }, "signal.physidim.printable", E, S(sfPhysidim, 0), ""},
      {"PhysiDimLeadingBlank", [] { return Signal(1, sfPhysidim, " uV"); }, "signal.physidim.justified", E, S(sfPhysidim, 1), ""},
      {"PhysiMinWord", [] { return Signal(0, sfPhysimin, "abc"); }, "signal.physimin.number", W, S(sfPhysimin, 0),
       "PhysiMin abc is not a decimal number"},
      {"PhysiMinHuge", [] { return Signal(0, sfPhysimin, "-1e999"); }, "signal.physimin.range", W, S(sfPhysimin, 0), ""},
      {"PhysiMinLeadingBlank", [] { return Signal(1, sfPhysimin, " -500"); }, "signal.physimin.justified", W, S(sfPhysimin, 1), ""},
      {"PhysiMaxComma", [] { return Signal(0, sfPhysimax, "500,5"); }, "signal.physimax.number", W, S(sfPhysimax, 0), ""},
      {"PhysiMaxHuge", [] { return Signal(1, sfPhysimax, "1e999"); }, "signal.physimax.range", W, S(sfPhysimax, 1), ""},
      {"PhysiMaxLeadingBlank", [] { return Signal(0, sfPhysimax, " 500"); }, "signal.physimax.justified", W, S(sfPhysimax, 0), ""},
      {"PhysicalEqual", [] { return Signal(0, sfPhysimax, "-500"); }, "signal.calibration", W, S(sfPhysimin, 0),
       "Signal is not calibrated: PhysiMin -500 equals PhysiMax -500: the two must differ"},
      {"DigiMin24Bit", [] { return Signal(0, sfDigimin, "-8388608"); }, "signal.digimin.range", E, S(sfDigimin, 0),
       "DigiMin -8388608 is outside -32768..32767"},
      {"DigiMinFraction", [] { return Signal(1, sfDigimin, "-2048.5"); }, "signal.digimin.integer", E, S(sfDigimin, 1), ""},
      {"DigiMinLeadingBlank", [] { return Signal(0, sfDigimin, " -2048"); }, "signal.digimin.justified", E, S(sfDigimin, 0), ""},
      {"DigiMinAboveDigiMax", [] { return Signal(1, sfDigimin, "3000"); }, "signal.digimin.order", E, S(sfDigimin, 1),
       "DigiMin 3000 must be below DigiMax 2047"},
      {"DigiMax40000", [] { return Signal(0, sfDigimax, "40000"); }, "signal.digimax.range", E, S(sfDigimax, 0), ""},
      {"DigiMaxWord", [] { return Signal(1, sfDigimax, "max"); }, "signal.digimax.integer", E, S(sfDigimax, 1), ""},
      {"DigiMaxLeadingBlank", [] { return Signal(1, sfDigimax, " 2047"); }, "signal.digimax.justified", E, S(sfDigimax, 1), ""},
      {"DigiMaxBelowDigiMin", [] { return Signal(0, sfDigimax, "-3000"); }, "signal.digimax.order", E, S(sfDigimax, 0), ""},
      {"PrefilterByte127", [] { return Signal(0, sfPrefilter, "HP\x7F"); }, "signal.prefilter.printable", E, S(sfPrefilter, 0), ""},
      {"PrefilterLeadingBlank", [] { return Signal(1, sfPrefilter, " HP"); }, "signal.prefilter.justified", E, S(sfPrefilter, 1), ""},
      {"NrSamplesZero", [] { return Signal(0, sfNrSamples, "0"); }, "signal.nrsamples.minimum", E, S(sfNrSamples, 0), ""},
      {"NrSamplesWord", [] { return Signal(1, sfNrSamples, "many"); }, "signal.nrsamples.integer", E, S(sfNrSamples, 1), ""},
      {"NrSamplesLeadingBlank", [] { return Signal(0, sfNrSamples, " 200"); }, "signal.nrsamples.justified", E, S(sfNrSamples, 0), ""},
      {"SignalReservedByte0", [] { return Signal(1, sfReserved, std::string("a\0b", 3)); }, "signal.reserved.printable", E, S(sfReserved, 1), ""},
      {"SignalReservedLeadingBlank", [] { return Signal(0, sfReserved, " a"); }, "signal.reserved.justified", E, S(sfReserved, 0), ""},
      {"RecordTooLarge", [] { return EdfBytes::Valid(1, 30721, 1); }, "layout.record.size", E, 512,
       "a data record holds 61442 bytes, above the limit of 61440"},
      {"RecordTooShort",
       [] {
         EdfBytes B = EdfBytes::Valid(1, 100, 2);
         B.General[gfSampleRecDuration] = "0.5";
         return B;
       },
       "layout.record.duration", E, 244, ""},
      {"HalfARecordMore",
       [] {
         EdfBytes B = Valid();
         B.Records = 9;
         B.General[gfNrDataRecords] = "10";
         B.Tail = std::string(400, '\0');
         return B;
       },
       "layout.filesize", E, 236, "file holds 9.5 records of 800 bytes, header says 10"},
      // BDF: the same rules with the format's version and 24-bit range.
      {"BdfVersionLowerCase", [] { return Bdf([](EdfBytes& B) { B.General[gfVersion] = "\xFF" "biosemi"; }); },
       "header.version.value", E, 0, "Version \"\\xFFbiosemi\" must be byte 0xFF followed by BIOSEMI"},
      {"BdfDigiMinBelow24Bits", [] { return Bdf([](EdfBytes& B) { B.Signals[0][sfDigimin] = "-8388609"; }); },
       "signal.digimin.range", E, S(sfDigimin, 0), "DigiMin -8388609 is outside -8388608..8388607"},
      {"BdfDigiMaxAbove24Bits", [] { return Bdf([](EdfBytes& B) { B.Signals[1][sfDigimax] = "8388608"; }); },
       "signal.digimax.range", E, S(sfDigimax, 1), "DigiMax 8388608 is outside -8388608..8388607"},
      // Two records of 3-byte samples are three records' worth of 2-byte ones.
      {"BdfCountFitsOnlyTwoByteSamples", [] { return Bdf([](EdfBytes& B) { B.Records = 2; }); },
       "layout.filesize", E, 236, "file holds 2 records of 1200 bytes, header says 3"},
      {"BdfRecordBeyondTheCap",
       [] {
         return Bdf([](EdfBytes& B) {
           B.Signals[0][sfNrSamples] = "67108865";
           B.General[gfNrDataRecords] = "0";
           B.Records = 0;
         });
       },
       "layout.record.cap", E, 768,
       "a data record holds 201327195 bytes, above the 201326592 bytes this checker reads into memory at once"},
  };
  return R;
}

class HeaderFindingsRow : public testing::TestWithParam<TRow> {};

TEST_P(HeaderFindingsRow, GivesExactlyTheRuleAtItsPlace) {
  const TRow& Row = GetParam();
  testkit::TempDir Dir;
  const std::string Path = Dir.File("f.edf");
  testkit::WriteFileBytes(Path, Row.Make().Bytes());
  const TFileReport R = CheckFile(Path, {});
  ASSERT_FALSE(R.OpenFailed) << R.OpenError;

  // The row's rule is there once, at the byte of the broken field.
  const TFinding* Hit = nullptr;
  for (const TFinding& F : R.Findings) {
    if (F.Rule != Row.Rule) continue;
    EXPECT_EQ(Hit, nullptr) << "twice: " << Row.Rule;
    Hit = &F;
  }
  ASSERT_NE(Hit, nullptr) << Row.Rule;
  EXPECT_EQ(Hit->Severity, Row.Severity);
  EXPECT_EQ(Hit->Offset, Row.Offset);
  if (*Row.Message) {
    EXPECT_EQ(Hit->Message, Row.Message);
  }
  // The sentence names what was found: the field's text as a sentence shows it.
  const size_t Text = Hit->Raw.find_last_not_of(' ');
  if (Text != std::string::npos) {
    EXPECT_THAT(Hit->Message, testing::HasSubstr(QuoteIfNeeded(Hit->Raw.substr(0, Text + 1))));
  }
  // Every other finding is about the same field, or what that field drags
  // along: the signal's calibration, the partner of a crossed digital range,
  // a HeaderBytes that can no longer be checked against the signal count.
  const std::string Id = Row.Rule;
  for (const TFinding& F : R.Findings) {
    const bool SameField = F.Where == Hit->Where;
    const bool DraggedAlong = F.Rule == "signal.calibration" ||
                              (Id.find(".order") != std::string::npos && F.Rule.find(".order") != std::string::npos) ||
                              (Id.rfind("header.nrsignals.", 0) == 0 && F.Rule == "header.headerbytes.nrsignals") ||
                              (Id == "header.headerbytes.nrsignals" && F.Rule.rfind("header.nrsignals.", 0) == 0);
    EXPECT_TRUE(SameField || DraggedAlong) << "also " << F.Rule << ": " << F.Message;
    EXPECT_NE(F.Rule, "field.invalid");
  }
  EXPECT_EQ(R.Valid(), !HasErrors(R.Findings));
}

INSTANTIATE_TEST_SUITE_P(Table, HeaderFindingsRow, testing::ValuesIn(Rows()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(HeaderFindings, EveryRuleOfTheRegistryHasARow) {
  // Covered elsewhere: the sample rules by the min/max tests, a failed read
  // and a changing file by the scan tests, other separators by the lenient
  // reading below; field.invalid must never be reported at all.
  std::set<std::string> Covered = {"samples.digimin", "samples.digimax", "file.read", "file.changed",
                                   "text.separators", "field.invalid"};
  for (const TRow& R : Rows()) Covered.insert(R.Rule);
  for (const TRule& R : Rules()) {
    if (R.Id.rfind("header.", 0) != 0 && R.Id.rfind("signal.", 0) != 0 && R.Id.rfind("layout.", 0) != 0 &&
        R.Id.rfind("text.", 0) != 0 && R.Id.rfind("samples.", 0) != 0 && R.Id.rfind("file.", 0) != 0 &&
        R.Id.rfind("field.", 0) != 0)
      continue;  // the rules of later checks have tables of their own
    EXPECT_TRUE(Covered.count(R.Id)) << R.Id << " has no test row";
  }
}

// Under strict rules other separators are the layout's fault; a library
// caller that reads leniently gets them as a note.
TEST(HeaderFindings, ALenientReadingNotesOtherSeparators) {
  testkit::TempDir Dir;
  testkit::WriteFileBytes(Dir.File("l.edf"), General(gfStartDate, "01-02-03").Bytes());
  TEDFFile F;
  F.SetFileName(Dir.File("l.edf"));
  F.SetStrict(false);
  F.SetActive(true);
  const TFindings Found = GeneralHeaderFindings(*F.FileInfo());
  ASSERT_EQ(Found.size(), 1u);
  EXPECT_EQ(Found[0].Rule, "text.separators");
  EXPECT_EQ(Found[0].Severity, N);
  EXPECT_EQ(Found[0].Offset, 168);
}

TEST(HeaderFindings, AValidFileHasNoFindingAndAFileNotOpenedIsNotJudged) {
  testkit::TempDir Dir;
  testkit::WriteFileBytes(Dir.File("ok.edf"), Valid().Bytes());
  const TFileReport Ok = CheckFile(Dir.File("ok.edf"), {});
  EXPECT_TRUE(Ok.Valid());
  EXPECT_TRUE(Ok.Findings.empty());
  for (const std::string& Path : {Dir.File("gone.edf"), Dir.Path()}) {
    const TFileReport Gone = CheckFile(Path, {});
    EXPECT_TRUE(Gone.NotRead) << Path;
    EXPECT_FALSE(Gone.ReadError.empty());
    EXPECT_TRUE(Gone.Findings.empty());
    EXPECT_FALSE(Gone.Valid());
  }
}

}  // namespace
