#include "check/HeaderJudgement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "support/uSysUtils.h"
#include "testkit/EdfBytes.h"
#include "util/uFormatSettings.h"

using testkit::EdfBytes;

namespace {

constexpr int NrDataRecordsField = 7;
constexpr int SampleRecDurationField = 8;

// One file on disk, opened and judged the way the window opens it.
struct TJudgedFile {
  testkit::TempDir Dir;
  TEDFFile F;
  THeaderJudgement J;

  explicit TJudgedFile(const std::string& Bytes) {
    const std::string Path = Dir.File("t.edf");
    testkit::WriteFileBytes(Path, Bytes);
    F.SetFileName(Path);
    JudgeOpenFile(F, J);
  }
  explicit TJudgedFile(const EdfBytes& E) : TJudgedFile(E.Bytes()) {}
};

// ---------------------------------------------------------------- reasons

struct TFaultCase {
  std::string Raw;
  bool Separator;
  bool Number;
  std::string Expected;
};

void PrintTo(const TFaultCase& C, std::ostream* Os) { *Os << '"' << C.Raw << '"'; }

class DescribeFieldFaultsTest : public testing::TestWithParam<TFaultCase> {};

TEST_P(DescribeFieldFaultsTest, GivesTheReasonsInOrderWithFirstAndFollowingForms) {
  TFormatSettingsGuard Guard;
  ProcessFormatSettings().DecimalSeparator = '.';
  const TFaultCase& C = GetParam();
  EXPECT_EQ(DescribeFieldFaults(C.Raw, C.Separator, C.Number), C.Expected) << '"' << C.Raw << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, DescribeFieldFaultsTest,
    testing::Values(
        TFaultCase{"0       ", false, false, ""},
        TFaultCase{" 0      ", false, false, "Not left justified"},
        TFaultCase{"01.02.03", true, false, ""},
        TFaultCase{"01-02-03", true, false, "Separators should be '.'"},
        TFaultCase{"1.2.2003", true, false, "Separators should be '.'"},
        TFaultCase{" 2x ", false, true, "Not left justified, not a number"},
        TFaultCase{"200     ", false, true, ""},
        TFaultCase{"abc     ", false, true, "Not a number"},
        TFaultCase{"a\x01" "b", false, false, "Not ASCII printable"},
        TFaultCase{"caf\xe9", false, false, "Not ASCII printable"},
        TFaultCase{"ab\x7f", false, true, "Not ASCII printable, not a number"},
        TFaultCase{" \x7f-02-03", true, true,
                   "Not left justified, not ASCII printable, separators should be '.', "
                   "not a number"},
        // Short texts fail the separator test without being read beyond their end.
        TFaultCase{"", true, false, "Separators should be '.'"},
        TFaultCase{"01.02", true, false, "Separators should be '.'"},
        TFaultCase{"", false, true, "Not a number"}));

// ---------------------------------------------------------------- layout remarks

struct TLayoutCase {
  const char* Name;
  std::function<void(EdfBytes&)> Change;
  std::string DataBlockLine;
  bool TooLarge;
  std::string DurationRemark;
  std::string SizeRemark;
  TFieldMark RecordsMark;
  TFieldMark DurationMark;
  bool Verdict;
};

void PrintTo(const TLayoutCase& C, std::ostream* Os) { *Os << C.Name; }

class RecordLayoutTest : public testing::TestWithParam<TLayoutCase> {};

TEST_P(RecordLayoutTest, GivesTheDataBlockLineRemarksMarksAndVerdict) {
  const TLayoutCase& C = GetParam();
  EdfBytes E = EdfBytes::Valid(2, 200, 3);
  C.Change(E);
  TJudgedFile T(E);
  EXPECT_EQ(T.J.DataBlockLine, C.DataBlockLine);
  EXPECT_EQ(T.J.DataBlockTooLarge, C.TooLarge);
  EXPECT_EQ(T.J.DurationRemark, C.DurationRemark);
  EXPECT_EQ(T.J.SizeRemark, C.SizeRemark);
  EXPECT_EQ(T.J.General[NrDataRecordsField].Mark, C.RecordsMark);
  EXPECT_EQ(T.J.General[SampleRecDurationField].Mark, C.DurationMark);
  EXPECT_EQ(T.J.Verdict, C.Verdict);
  EXPECT_EQ(T.J.VerdictText, C.Verdict ? VerdictValidText : VerdictInvalidText);
  EXPECT_TRUE(T.F.Strict()) << "strict checking must be on again after the open";
}

void OneSignal(EdfBytes& E, int Samples, const std::string& Duration, int Records) {
  E = EdfBytes::Valid(1, Samples, Records);
  E.General[8] = Duration;
}

constexpr TFieldMark None = TFieldMark::None;
constexpr TFieldMark Error = TFieldMark::Error;

INSTANTIATE_TEST_SUITE_P(
    Table, RecordLayoutTest,
    testing::Values(
        TLayoutCase{"ValidTwoSignals", [](EdfBytes&) {}, "Datablock size = 800 bytes", false, "",
                    "", None, None, true},
        TLayoutCase{"RecordOneSampleTooLarge",
                    [](EdfBytes& E) { OneSignal(E, 30721, "1", 1); },
                    "Datablock size = 61442 bytes, exceeds 61440", true, "", "", None, None,
                    false},
        TLayoutCase{"RecordAtTheLimit", [](EdfBytes& E) { OneSignal(E, 30720, "1", 1); },
                    "Datablock size = 61440 bytes", false, "", "", None, None, true},
        TLayoutCase{"ShortRecordThatCouldBeLonger",
                    [](EdfBytes& E) { OneSignal(E, 100, "0.5", 2); },
                    "Datablock size = 200 bytes", false, DurationRemarkText, "", None, Error,
                    false},
        TLayoutCase{"ShortRecordThatCannotBeLonger",
                    [](EdfBytes& E) { OneSignal(E, 20000, "0.5", 1); },
                    "Datablock size = 40000 bytes", false, "", "", None, None, true},
        // An unknown count is marked without the size remark, though 3
        // records are present and -1 cannot fit.
        TLayoutCase{"RecordCountUnknown", [](EdfBytes& E) { E.General[7] = "-1"; },
                    "Datablock size = 800 bytes", false, "", "", Error, None, false},
        TLayoutCase{"TenRecordsDeclaredNineAndAHalfPresent",
                    [](EdfBytes& E) {
                      E.General[7] = "10";
                      E.Records = 9;
                      E.Tail = std::string(400, '\0');
                    },
                    "Datablock size = 800 bytes", false, "", SizeRemarkText, Error, None, false},
        // 60 x 99999999 samples: the byte count needs more than 32 bits.
        TLayoutCase{"RecordBeyondThirtyTwoBits",
                    [](EdfBytes& E) { E = EdfBytes::Valid(60, 99999999, 0); },
                    "Datablock size = 11999999880 bytes, exceeds 61440", true, "", "", None,
                    None, false},
        // An invalid general header leaves the layout unjudged.
        TLayoutCase{"NrSignalsNotANumber", [](EdfBytes& E) { E.General[9] = "x"; }, "", false,
                    "", "", None, None, false},
        // So does a count only the lenient rules take: the strict open read
        // no signal header, and the second look does not make up for it.
        TLayoutCase{"NrSignalsLeadingBlank", [](EdfBytes& E) { E.General[9] = " 2"; }, "", false,
                    "", "", None, None, false}),
    [](const testing::TestParamInfo<TLayoutCase>& I) { return std::string(I.param.Name); });

// ---------------------------------------------------------------- general fields

struct TGeneralCase {
  const char* Name;
  int Field;
  std::string Raw;
  std::string Shown;
  std::string Reason;
  TFieldMark Mark;
  bool Verdict;
};

void PrintTo(const TGeneralCase& C, std::ostream* Os) { *Os << C.Name; }

class GeneralFieldTest : public testing::TestWithParam<TGeneralCase> {};

// The same judgement whatever decimal separator the process was given.
TEST_P(GeneralFieldTest, ShowsTheTrimmedTextReasonAndMark) {
  const TGeneralCase& C = GetParam();
  for (const char Decimal : {'.', ','}) {
    TFormatSettingsGuard Guard;
    ProcessFormatSettings().DecimalSeparator = Decimal;
    EdfBytes E = EdfBytes::Valid(2, 200, 3);
    E.General[static_cast<size_t>(C.Field)] = C.Raw;
    TJudgedFile T(E);
    const TFieldView& V = T.J.General[static_cast<size_t>(C.Field)];
    EXPECT_EQ(V.Caption, EDFGeneralFields[static_cast<size_t>(C.Field)].Caption);
    EXPECT_EQ(V.Shown, C.Shown);
    EXPECT_EQ(V.Reason, C.Reason) << Decimal;
    EXPECT_EQ(V.Mark, C.Mark);
    EXPECT_EQ(T.J.Verdict, C.Verdict);
    for (size_t k = 0; k < T.J.General.size(); ++k) {
      if (static_cast<int>(k) != C.Field && k != 5) {  // HeaderBytes follows NrSignals
        EXPECT_EQ(T.J.General[k].Mark, None) << EDFGeneralFields[k].Caption;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeneralFieldTest,
    testing::Values(
        TGeneralCase{"VersionZero", 0, "0", "0", "", None, true},
        TGeneralCase{"VersionLeadingBlank", 0, " 0", " 0", "Not left justified", Error, false},
        TGeneralCase{"StartDateDashes", 3, "01-02-03", "01-02-03", "Separators should be '.'",
                     Error, false},
        TGeneralCase{"StartDateLongYear", 3, "1.2.2003", "1.2.2003", "Separators should be '.'",
                     Error, false},
        TGeneralCase{"PatientNotPrintable", 1, "X X\x01 X X", "X X\x01 X X",
                     "Not ASCII printable", Error, false},
        TGeneralCase{"NrSignalsNotANumber", 9, "x", "x", "Not a number", Error, false},
        TGeneralCase{"DurationDecimalComma", 8, "0,5", "0,5", "Not a number", Error, false}),
    [](const testing::TestParamInfo<TGeneralCase>& I) { return std::string(I.param.Name); });

TEST(HeaderJudgement, FileShorterThanAGeneralHeaderIsJudgedInvalidWithoutReadingBeyondIt) {
  TJudgedFile T(std::string(100, ' '));
  for (size_t k = 0; k < T.J.General.size(); ++k) EXPECT_EQ(T.J.General[k].Raw, "") << k;
  EXPECT_EQ(T.J.General[0].Mark, Error);
  EXPECT_EQ(T.J.General[9].Mark, Error);
  EXPECT_EQ(T.J.General[3].Reason, "Separators should be '.'");
  EXPECT_EQ(T.J.DataBlockLine, "");
  EXPECT_FALSE(T.J.Verdict);
  EXPECT_EQ(T.J.VerdictText, VerdictInvalidText);
  EXPECT_FALSE(T.J.Signal.InRange);
}

TEST(HeaderJudgement, FileWithoutSignalsShowsNoSignalAndARedNrSignals) {
  EdfBytes E = EdfBytes::Valid(0, 10, 0);
  TJudgedFile T(E);
  EXPECT_EQ(T.J.ShownSignal, -1);
  EXPECT_FALSE(T.J.Signal.InRange);
  EXPECT_FALSE(T.J.Verdict);
  EXPECT_EQ(T.J.General[9].Mark, Error);
}

TEST(HeaderJudgement, MissingFilePropagatesTheOpenErrorAfterFillingTheCaptions) {
  testkit::TempDir Dir;
  TEDFFile F;
  F.SetFileName(Dir.File("absent.edf"));
  THeaderJudgement J;
  J.Verdict = true;
  EXPECT_THROW(JudgeOpenFile(F, J), Exception);
  EXPECT_EQ(J.General[7].Caption, "NrDataRecords");
  EXPECT_FALSE(J.Verdict);
  EXPECT_EQ(J.VerdictText, "");
}

// ---------------------------------------------------------------- signal pane

TEST(HeaderJudgement, OneSignalShowsSignalOneWithBothButtonsDisabled) {
  TJudgedFile T(EdfBytes::Valid(1, 200, 2));
  EXPECT_EQ(T.J.ShownSignal, 0);
  EXPECT_TRUE(T.J.Signal.InRange);
  EXPECT_EQ(T.J.Signal.PaneCaption, "Signal Header for signal 1");
  EXPECT_FALSE(T.J.Signal.PreviousEnabled);
  EXPECT_FALSE(T.J.Signal.NextEnabled);
  EXPECT_EQ(T.J.Signal.Fields[0].Shown, "Signal 1");
  EXPECT_EQ(T.J.Signal.Fields[1].Caption, "TransducerType");
}

TEST(HeaderJudgement, NavigationEnablesPreviousAndNextByPosition) {
  TJudgedFile T(EdfBytes::Valid(3, 10, 1));
  struct {
    int Index;
    bool InRange, Previous, Next;
  } const Rows[] = {{0, true, false, true},  {1, true, true, true},  {2, true, true, false},
                    {3, false, false, false}, {-1, false, false, false}};
  for (const auto& R : Rows) {
    const TSignalView V = DescribeSignal(T.F, R.Index);
    EXPECT_EQ(V.Index, R.Index);
    EXPECT_EQ(V.InRange, R.InRange) << R.Index;
    EXPECT_EQ(V.PreviousEnabled, R.Previous) << R.Index;
    EXPECT_EQ(V.NextEnabled, R.Next) << R.Index;
    EXPECT_EQ(V.PaneCaption,
              R.InRange ? "Signal Header for signal " + std::to_string(R.Index + 1) : "");
    if (!R.InRange) {
      EXPECT_EQ(V.Fields[0].Shown, "");
    }
  }
}

TEST(HeaderJudgement, OpensOnTheFirstInvalidSignal) {
  EdfBytes E = EdfBytes::Valid(4, 10, 1);
  E.Signals[2][8] = "x";  // NrSamples
  E.Signals[3][8] = "y";
  TJudgedFile T(E);
  EXPECT_EQ(T.J.ShownSignal, 2);
  EXPECT_EQ(T.J.Signal.PaneCaption, "Signal Header for signal 3");
  EXPECT_EQ(T.J.Signal.Fields[8].Mark, Error);
  EXPECT_FALSE(T.J.Verdict);
}

struct TSignalCase {
  const char* Name;
  std::function<void(EdfBytes&)> Change;
  std::array<TFieldMark, 10> Marks;
  std::string Remark;
  bool Verdict;
  int ReasonField;
  std::string Reason;
};

void PrintTo(const TSignalCase& C, std::ostream* Os) { *Os << C.Name; }

class SignalFieldTest : public testing::TestWithParam<TSignalCase> {};

TEST_P(SignalFieldTest, MarksFieldsAndCalibrationAsShownAfterTheOpen) {
  const TSignalCase& C = GetParam();
  EdfBytes E = EdfBytes::Valid(1, 200, 2);
  C.Change(E);
  TJudgedFile T(E);
  ASSERT_EQ(T.J.ShownSignal, 0);
  for (size_t f = 0; f < 10; ++f) EXPECT_EQ(T.J.Signal.Fields[f].Mark, C.Marks[f]) << f;
  EXPECT_EQ(T.J.Signal.CalibrationRemark, C.Remark);
  EXPECT_EQ(T.J.Verdict, C.Verdict);
  if (C.ReasonField >= 0) {
    EXPECT_EQ(T.J.Signal.Fields[static_cast<size_t>(C.ReasonField)].Reason, C.Reason);
  }
}

constexpr TFieldMark Warn = TFieldMark::Warning;

INSTANTIATE_TEST_SUITE_P(
    Table, SignalFieldTest,
    testing::Values(
        TSignalCase{"Valid", [](EdfBytes&) {}, {}, "", true, 0, ""},
        TSignalCase{"PhysiMinNotANumber", [](EdfBytes& E) { E.Signals[0][3] = "abc"; },
                    {None, None, None, Error, None, None, None, None, None, None},
                    CalibrationRemarkText, true, 3, ""},
        TSignalCase{"BothPhysicalLimitsBlank",
                    [](EdfBytes& E) {
                      E.Signals[0][3] = "";
                      E.Signals[0][4] = "";
                    },
                    {None, None, None, Warn, Warn, None, None, None, None, None},
                    CalibrationRemarkText, true, -1, ""},
        TSignalCase{"DigiMinEqualsDigiMax",
                    [](EdfBytes& E) {
                      E.Signals[0][5] = "100";
                      E.Signals[0][6] = "100";
                    },
                    {None, None, None, None, None, Error, Error, None, None, None},
                    CalibrationRemarkText, false, -1, ""},
        TSignalCase{"LabelWithLeadingBlank", [](EdfBytes& E) { E.Signals[0][0] = " EEG"; },
                    {Error, None, None, None, None, None, None, None, None, None}, "", false, 0,
                    "Not left justified"},
        // A valid signal is shown again after the lenient re-read, which
        // accepts the blank: a reason without a mark.
        TSignalCase{"PhysiMinWithLeadingBlank", [](EdfBytes& E) { E.Signals[0][3] = " -500"; },
                    {}, "", true, 3, "Not left justified"}),
    [](const testing::TestParamInfo<TSignalCase>& I) { return std::string(I.param.Name); });

TEST(HeaderJudgement, AllSignalsAreDescribedUnderStrictRulesAfterTheOpen) {
  EdfBytes E = EdfBytes::Valid(3, 10, 1);
  E.Signals[0][3] = " -500";  // accepted only without strictness
  E.Signals[1][8] = " 10";
  TJudgedFile T(E);
  EXPECT_EQ(T.J.ShownSignal, 1);
  const std::vector<TSignalView> All = DescribeAllSignals(T.F);
  ASSERT_EQ(All.size(), 3u);
  EXPECT_EQ(All[0].Fields[3].Mark, Error);
  EXPECT_EQ(All[0].CalibrationRemark, CalibrationRemarkText);
  EXPECT_EQ(All[1].Fields[8].Mark, Error);
  EXPECT_EQ(All[1].Fields[8].Shown, " 10");
  EXPECT_EQ(All[1].PaneCaption, "Signal Header for signal 2");
  EXPECT_EQ(All[2].Fields[8].Mark, None);
}

// ---------------------------------------------------------------- formats

// The format of the first byte decides the rules, the texts and the name: the
// window's view of BDF files and of files that only look like BDF.
struct TFormatCase {
  const char* Name;
  std::function<EdfBytes()> Make;
  size_t Cut;  // bytes kept; 0 for all
  std::string FormatName;
  std::string VersionReason;
  TFieldMark VersionMark;
  std::string DataBlockLine;
  bool TooLarge;
  std::string VerdictText;
  std::string FirstError = "";  // the rule of the first error finding, and its byte
  int64_t FirstErrorOffset = -1;
};

void PrintTo(const TFormatCase& C, std::ostream* Os) { *Os << C.Name; }

class FormatTest : public testing::TestWithParam<TFormatCase> {};

TEST_P(FormatTest, GivesTheFormatsVersionViewLayoutAndVerdict) {
  const TFormatCase& C = GetParam();
  std::string Bytes = C.Make().Bytes();
  if (C.Cut) Bytes.resize(C.Cut);
  TJudgedFile T(Bytes);
  EXPECT_EQ(T.J.FormatName, C.FormatName);
  EXPECT_EQ(T.J.General[0].Reason, C.VersionReason);
  EXPECT_EQ(T.J.General[0].Mark, C.VersionMark);
  EXPECT_EQ(T.J.DataBlockLine, C.DataBlockLine);
  EXPECT_EQ(T.J.DataBlockTooLarge, C.TooLarge);
  EXPECT_EQ(T.J.DurationRemark, "");
  EXPECT_EQ(T.J.VerdictText, C.VerdictText);
  EXPECT_EQ(T.J.Verdict, C.VerdictText == VerdictValidText || C.VerdictText == BdfVerdictValidText);
  const auto Error = std::find_if(T.J.Findings.begin(), T.J.Findings.end(),
                                  [](const TFinding& F) { return F.Severity == TSeverity::Error; });
  EXPECT_EQ(Error == T.J.Findings.end() ? "" : Error->Rule, C.FirstError);
  EXPECT_EQ(Error == T.J.Findings.end() ? -1 : Error->Offset, C.FirstErrorOffset);
}

EdfBytes Bdf(const std::function<void(EdfBytes&)>& Change = [](EdfBytes&) {}) {
  return testkit::With(EdfBytes::ValidBdf(2, 200, 3), Change);
}

const std::string BdfValid = BdfVerdictValidText;
const std::string BdfInvalid = BdfVerdictInvalidText;

INSTANTIATE_TEST_SUITE_P(
    Table, FormatTest,
    testing::Values(
        // Byte 0xFF is BDF's mark, not a byte outside printable ASCII.
        TFormatCase{"PlainBdf", [] { return Bdf(); }, 0, "BDF", "", None, "Datablock size = 1200 bytes", false,
                    BdfValid},
        TFormatCase{"BdfVersionInLowerCase", [] { return Bdf([](EdfBytes& E) { E.General[0] = "\xFF" "biosemi"; }); },
                    0, "BDF", "", Error, "", false, BdfInvalid, "header.version.value", 0},
        TFormatCase{"FirstByteOtherThanFF",
                    [] { return Bdf([](EdfBytes& E) { E.General[0] = "\xFE" "BIOSEMI"; }); }, 0, "EDF",
                    "Not ASCII printable", Error, "", false, VerdictInvalidText, "header.version.value", 0},
        TFormatCase{"BdfCutInsideItsHeader", [] { return Bdf(); }, 10, "BDF", "", Error, "", false, BdfInvalid,
                    "header.version.value", 0},
        // EDF by its first byte: 24-bit limits are beyond EDF's range.
        TFormatCase{"EdfVersionWith24BitLimits", [] { return Bdf([](EdfBytes& E) { E.General[0] = "0"; }); }, 0,
                    "EDF", "", None, "", false, VerdictInvalidText, "signal.digimin.range",
                    EDFSignalFieldOffset(sfDigimin, 0, 2)},
        // EDF's 61440-byte and 1 s recommendations do not apply to BDF.
        TFormatCase{"BdfRecordAboveEdfLimit", [] { return EdfBytes::ValidBdf(1, 30721, 1); }, 0, "BDF", "", None,
                    "Datablock size = 92163 bytes", false, BdfValid},
        TFormatCase{"BdfShortRecord",
                    [] { return testkit::With(EdfBytes::ValidBdf(1, 100, 2), [](EdfBytes& E) { E.General[8] = "0.5"; }); },
                    0, "BDF", "", None, "Datablock size = 300 bytes", false, BdfValid},
        TFormatCase{"BdfRecordBeyondTheCap",
                    [] {
                      return testkit::With(EdfBytes::ValidBdf(1, 67108865, 0), [](EdfBytes& E) { E.General[7] = "0"; });
                    },
                    0, "BDF", "", None,
                    "Datablock size = 201326595 bytes, exceeds the 201326592-byte limit this checker reads", true,
                    BdfInvalid, "layout.record.cap", 512},
        // An annotation signal: its bytes are text, three to a "sample".
        TFormatCase{"BdfPlusWithAnnotations",
                    [] {
                      return Bdf([](EdfBytes& E) {
                        E.General[6] = "BDF+C";
                        E.Signals[1] = {"BDF Annotations", "", "", "-1", "1", "-8388608", "8388607", "", "20", ""};
                        E.Text = [](int r, int s) {
                          return s == 1 ? "+" + std::to_string(r) + std::string("\x14\x14\0+0.5\x14" "beep\x14\0", 14)
                                        : std::string();
                        };
                      });
                    },
                    0, "BDF+", "", None, "Datablock size = 660 bytes", false, BdfValid},
        TFormatCase{"EdfPlus",
                    [] { return testkit::With(EdfBytes::Valid(2, 200, 3), [](EdfBytes& E) { E.General[6] = "EDF+C"; }); },
                    0, "EDF+", "", None, "Datablock size = 800 bytes", false, VerdictValidText}),
    [](const testing::TestParamInfo<TFormatCase>& I) { return std::string(I.param.Name); });

}  // namespace

// ---------------------------------------------------------------- routes

namespace {

// Headers valid under strict rules skip the lenient re-read; whatever the
// layout, the judgement and the file's state must be those of the long way.
struct TRouteCase {
  const char* Name;
  std::function<std::string()> Bytes;
};

void PrintTo(const TRouteCase& C, std::ostream* Os) { *Os << C.Name; }

class RouteTest : public testing::TestWithParam<TRouteCase> {};

void ExpectSameRoutes(const std::string& Path) {
  TEDFFile Short, Long;
  THeaderJudgement JShort, JLong;
  Short.SetFileName(Path);
  Long.SetFileName(Path);
  JudgeOpenFile(Short, JShort, true, TJudgeRoute::Shortest);
  JudgeOpenFile(Long, JLong, true, TJudgeRoute::Reread);
  EXPECT_EQ(JShort, JLong);
  EXPECT_EQ(Short.FileInfo()->NrDataRecords(), Long.FileInfo()->NrDataRecords());
  EXPECT_EQ(Short.HeaderErrors(), Long.HeaderErrors());
  EXPECT_EQ(Short.Valid(), Long.Valid());
  EXPECT_EQ(Short.PlannedBufferLength(), Long.PlannedBufferLength());
  EXPECT_EQ(DescribeAllSignals(Short), DescribeAllSignals(Long));
}

TEST_P(RouteTest, ShortcutEndsWhereTheLenientRereadEnds) {
  testkit::TempDir Dir;
  const std::string Path = Dir.File("t.edf");
  testkit::WriteFileBytes(Path, GetParam().Bytes());
  ExpectSameRoutes(Path);
}

std::function<std::string()> Edf(const std::function<void(EdfBytes&)>& Change, EdfBytes Base = EdfBytes::Valid()) {
  return [=] { return testkit::With(Base, Change).Bytes(); };
}

INSTANTIATE_TEST_SUITE_P(
    Table, RouteTest,
    testing::Values(
        TRouteCase{"Valid", Edf([](EdfBytes&) {})},
        TRouteCase{"ValidBdf", Edf([](EdfBytes&) {}, EdfBytes::ValidBdf())},
        TRouteCase{"HalfARecordMore", Edf([](EdfBytes& E) { E.Tail = std::string(200, '\0'); })},
        TRouteCase{"CountAboveTheRecordsPresent", Edf([](EdfBytes& E) { E.General[NrDataRecordsField] = "5"; })},
        TRouteCase{"CountUnknown", Edf([](EdfBytes& E) { E.General[NrDataRecordsField] = "-1"; })},
        TRouteCase{"RecordAboveTheLimit", Edf([](EdfBytes&) {}, EdfBytes::Valid(1, 31000, 1))},
        TRouteCase{"RecordShorterThanASecond",
                   Edf([](EdfBytes& E) { E.General[SampleRecDurationField] = "0.5"; }, EdfBytes::Valid(1, 100, 2))},
        TRouteCase{"CutInsideTheSignalHeaders", [] { return EdfBytes::Valid().Bytes().substr(0, 600); }},
        TRouteCase{"StrictOnlyFault", Edf([](EdfBytes& E) { E.Signals[0][3] = " -500"; })}),
    [](const testing::TestParamInfo<TRouteCase>& I) { return std::string(I.param.Name); });

TEST(RouteTest, RealFilesEndAlikeOnBothRoutes) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  for (const auto& Entry : std::filesystem::directory_iterator(Dir)) {
    const std::string Ext = Entry.path().extension().string();
    if (!Entry.is_regular_file() || (Ext != ".edf" && Ext != ".bdf")) continue;
    SCOPED_TRACE(Entry.path().string());
    ExpectSameRoutes(Entry.path().string());
  }
}

}  // namespace
