#include "check/MinMaxScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <utility>
#include <string>
#include <vector>

#include "check/RecordScan.h"
#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;

namespace {

// A file written from E and opened as the check finds it: read-only, strict.
struct TOpenFile {
  testkit::TempDir Dir;
  std::string Path;
  TEDFFile F;

  explicit TOpenFile(const EdfBytes& E) : Path(Dir.File("t.edf")) {
    testkit::WriteFileBytes(Path, E.Bytes());
    F.SetFileName(Path);
    F.SetReadOnly(true);
    F.SetActive(true);
  }
};

std::vector<std::string> Scan(const EdfBytes& E) {
  TOpenFile T(E);
  return BuildMinMaxReport(T.F, ScanDigitalMinMax(T.F));
}

using Lines = std::vector<std::string>;

// ---------------------------------------------------------------- the findings

struct TReportCase {
  const char* Name;
  int Signals;
  std::vector<int16_t> Values;  // every sample of signal `Target`, cycled
  int Target;
  Lines Expected;
};

void PrintTo(const TReportCase& C, std::ostream* Os) { *Os << C.Name; }

class MinMaxReportTest : public testing::TestWithParam<TReportCase> {};

TEST_P(MinMaxReportTest, ReportsOnlyValuesOutsideTheDeclaredRange) {
  const TReportCase& C = GetParam();
  EdfBytes E = EdfBytes::Valid(C.Signals, 7, 3);  // digital range -2048 .. 2047
  E.Signals[static_cast<size_t>(C.Target)][0] = "EEG Fpz";
  const std::vector<int16_t> Values = C.Values;
  const int Target = C.Target;
  E.Sample = [Values, Target](int r, int s, int i) -> int16_t {
    if (s != Target) return 0;
    return Values[static_cast<size_t>(r * 7 + i) % Values.size()];
  };
  EXPECT_EQ(Scan(E), C.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MinMaxReportTest,
    testing::Values(
        TReportCase{"LimitsThemselvesAreNoFinding", 1, {-2048, 2047, 0}, 0, {"No errors found"}},
        TReportCase{"OneBelowDigiMin", 1, {-2049, 0}, 0,
                    {"Found 1 errors:\r\n",
                     "Signal 1 (EEG Fpz): found DigitalMin value=-2049 (headerinfo DigiMin=-2048)"}},
        TReportCase{"OneAboveDigiMax", 1, {2048, 0}, 0,
                    {"Found 1 errors:\r\n",
                     "Signal 1 (EEG Fpz): found DigitalMax value=2048 (headerinfo DigiMax=2047)"}},
        TReportCase{"BelowAndAboveGiveTwoLinesMinimumFirst", 1, {-32768, 32767, 5}, 0,
                    {"Found 2 errors:\r\n",
                     "Signal 1 (EEG Fpz): found DigitalMin value=-32768 (headerinfo DigiMin=-2048)",
                     "Signal 1 (EEG Fpz): found DigitalMax value=32767 (headerinfo DigiMax=2047)"}},
        TReportCase{"SignalsNumberedFromOne", 4, {3000}, 2,
                    {"Found 1 errors:\r\n",
                     "Signal 3 (EEG Fpz): found DigitalMax value=3000 (headerinfo DigiMax=2047)"}}),
    [](const testing::TestParamInfo<TReportCase>& I) { return std::string(I.param.Name); });

TEST(MinMaxScan, NoDataRecordsGiveNoErrorsAndNoProgress) {
  TOpenFile T(EdfBytes::Valid(2, 10, 0));
  int Calls = 0;
  const TMinMaxResult R = ScanDigitalMinMax(T.F, [&](int, int, int) { return ++Calls, true; });
  EXPECT_EQ(Calls, 0);
  EXPECT_EQ(R.RecordsScanned, 0);
  EXPECT_EQ(R.FoundMin, (std::vector<int32_t>{FoundMinStart, FoundMinStart}));
  EXPECT_EQ(R.FoundMax, (std::vector<int32_t>{FoundMaxStart, FoundMaxStart}));
  EXPECT_EQ(BuildMinMaxReport(T.F, R), Lines{"No errors found"});
}

// A signal without samples keeps the start values, which lie beyond every
// 16-bit limit; the file layer refuses such a header, so it is given directly.
TEST(MinMaxScan, SignalWithoutSamplesNeverReports) {
  TOpenFile T(EdfBytes::Valid(1, 10, 0));
  TMinMaxResult R;
  R.FoundMin = {FoundMinStart};
  R.FoundMax = {FoundMaxStart};
  EXPECT_EQ(BuildMinMaxReport(T.F, R), Lines{"No errors found"});
}

TEST(MinMaxScan, AnnotationSignalIsScannedAsSixteenBitSamples) {
  EdfBytes E = EdfBytes::Valid(2, 6, 2);
  E.Signals[1] = {"EDF Annotations", "", "", "-1", "1", "-32768", "32767", "", "6", ""};
  const std::string Text("+0\x14\x14\0\0+1\x14\x14\0\0", 12);  // 6 samples of TAL bytes
  E.Sample = [&](int, int s, int i) -> int16_t {
    if (s == 0) return static_cast<int16_t>(i - 3);
    const auto Lo = static_cast<uint8_t>(Text[static_cast<size_t>(2 * i)]);
    const auto Hi = static_cast<uint8_t>(Text[static_cast<size_t>(2 * i + 1)]);
    return static_cast<int16_t>(Lo | (Hi << 8));
  };
  TOpenFile T(E);
  const TMinMaxResult R = ScanDigitalMinMax(T.F);
  EXPECT_EQ(R.FoundMin, (std::vector<int32_t>{-3, 0}));
  EXPECT_EQ(R.FoundMax, (std::vector<int32_t>{2, '1' << 8 | '+'}));
  EXPECT_EQ(R.RecordsScanned, 2);
}

// ---------------------------------------------------------------- progress and cancel

TEST(MinMaxScan, EightRecordsReportPercentagesRoundedHalfToEven) {
  TOpenFile T(EdfBytes::Valid(1, 4, 8));
  std::vector<int> Records, Totals, Percents;
  const TMinMaxResult R = ScanDigitalMinMax(T.F, [&](int Record, int N, int Percent) {
    Records.push_back(Record);
    Totals.push_back(N);
    Percents.push_back(Percent);
    return true;
  });
  EXPECT_EQ(Percents, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88}));
  EXPECT_EQ(Records, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Totals, std::vector<int>(8, 8));
  EXPECT_EQ(R.RecordsScanned, 8);
  EXPECT_FALSE(R.Cancelled);
}

TEST(MinMaxScan, CancelStopsBeforeTheLoadedRecordIsScanned) {
  EdfBytes E = EdfBytes::Valid(1, 4, 5);
  // Each record r holds the value 100 * r, so the extremes tell which were scanned.
  E.Sample = [](int r, int, int) { return static_cast<int16_t>(100 * r); };
  TOpenFile T(E);
  int Calls = 0;
  const TMinMaxResult R = ScanDigitalMinMax(T.F, [&](int, int, int) { return ++Calls < 3; });
  EXPECT_EQ(Calls, 3);
  EXPECT_TRUE(R.Cancelled);
  EXPECT_EQ(R.RecordsScanned, 2);
  EXPECT_EQ(R.FoundMin[0], 0);
  EXPECT_EQ(R.FoundMax[0], 100);
}

struct TPercentCase {
  int64_t r, N;
  int Expected;
};

TEST(MinMaxScan, ProgressPercentRoundsHalfToEven) {
  const TPercentCase Cases[] = {{0, 8, 0},   {1, 8, 12},  {3, 8, 38},  {5, 8, 62},
                                {7, 8, 88},  {1, 3, 33},  {2, 3, 67},  {1, 40, 2},
                                {3, 40, 8},  {99, 100, 99}, {0, 0, 0},  {5, -1, 0},
                                {int64_t{1} << 40, int64_t{1} << 41, 50}};
  for (const auto& C : Cases) EXPECT_EQ(ProgressPercent(C.r, C.N), C.Expected) << C.r << "/" << C.N;
}

// ---------------------------------------------------------------- errors

TEST(MinMaxScan, LoadErrorAfterTheFileShrankPropagates) {
  EdfBytes E = EdfBytes::Valid(1, 10, 4);
  TOpenFile T(E);
  std::filesystem::resize_file(T.Path, static_cast<uintmax_t>(256 * 2 + 20 * 1));
  EXPECT_THROW(ScanDigitalMinMax(T.F), EDataFile);
}

// ---------------------------------------------------------------- the per-sample fold

// The fold is vectorised; every length and position of the extremes must
// still come out as a plain scan would find them, tails included.
TEST(MinMaxScan, FoldFindsTheExtremesAtEveryPositionAndLength) {
  for (int32_t Count = 1; Count <= 70; ++Count) {
    for (int32_t At = 0; At < Count; ++At) {
      std::vector<int16_t> V(static_cast<size_t>(Count));
      for (int32_t i = 0; i < Count; ++i) V[static_cast<size_t>(i)] = static_cast<int16_t>(i % 7 - 3);
      V[static_cast<size_t>(At)] = -32768;
      const int32_t MaxAt = Count > 1 ? (At + 1) % Count : At;
      if (Count > 1) V[static_cast<size_t>(MaxAt)] = 32767;
      int32_t Min = FoundMinStart, Max = FoundMaxStart;
      FoldMinMax(V.data(), Count, Min, Max);
      ASSERT_EQ(Min, -32768) << Count << " " << At;
      ASSERT_EQ(Max, Count > 1 ? 32767 : -32768) << Count << " " << At;
    }
  }
  int32_t Min = FoundMinStart, Max = FoundMaxStart;
  FoldMinMax(nullptr, 0, Min, Max);
  EXPECT_EQ(Min, FoundMinStart);
  EXPECT_EQ(Max, FoundMaxStart);
  // Running extremes from earlier records are kept.
  const int16_t Few[] = {5, 6};
  Min = -10;
  Max = 10;
  FoldMinMax(Few, 2, Min, Max);
  EXPECT_EQ(Min, -10);
  EXPECT_EQ(Max, 10);
}

}  // namespace

namespace {

// ---------------------------------------------------------------- BDF

// Samples planted in a BDF file of 2 signals x 5 samples x 3 records whose
// digital range is narrower than 24 bits.
struct TPlant {
  int Record, Signal, Index;
  int32_t Value;
};
struct TBdfCase {
  const char* Name;
  const char* DigiMin;
  const char* DigiMax;
  std::vector<TPlant> Plants;
  Lines Expected;
  std::vector<std::pair<std::string, int64_t>> Findings;  // rule, byte of the first extreme
};
void PrintTo(const TBdfCase& C, std::ostream* Os) { *Os << C.Name; }

// The byte of sample (r, s, i): 768 header bytes, records of 2 x 5 x 3 bytes.
int64_t At(int r, int s, int i) { return 768 + 30 * r + 15 * s + 3 * i; }

class MinMaxBdfTest : public testing::TestWithParam<TBdfCase> {};

TEST_P(MinMaxBdfTest, WindowAndBlockScanFindTheSame24BitExtremes) {
  const TBdfCase& C = GetParam();
  EdfBytes E = EdfBytes::ValidBdf(2, 5, 3);
  for (auto& Signal : E.Signals) {
    Signal[5] = C.DigiMin;
    Signal[6] = C.DigiMax;
  }
  const std::vector<TPlant> Plants = C.Plants;
  E.Sample = [Plants](int r, int s, int i) {
    for (const TPlant& P : Plants)
      if (P.Record == r && P.Signal == s && P.Index == i) return P.Value;
    return int32_t{0};
  };
  TOpenFile T(E);
  const TMinMaxResult Window = ScanDigitalMinMax(T.F);
  const TRecordLayout Layout = RecordLayoutOf(T.F);
  EXPECT_EQ(Layout.SampleBytes, 3);
  TMinMaxFold Fold(Layout);
  TRecordVisitor* Visitors[] = {&Fold};
  EXPECT_FALSE(ScanRecords(*T.F.Stream(), Layout, Visitors).ReadFailed);
  EXPECT_EQ(Fold.Result().FoundMin, Window.FoundMin);
  EXPECT_EQ(Fold.Result().FoundMax, Window.FoundMax);
  EXPECT_EQ(Fold.Result().MinRecord, Window.MinRecord);
  EXPECT_EQ(Fold.Result().MaxRecord, Window.MaxRecord);

  EXPECT_EQ(BuildMinMaxReport(T.F, Window), C.Expected);
  std::vector<std::pair<std::string, int64_t>> Found;
  for (const TFinding& F : MinMaxFindings(T.F, Fold.Result())) {
    EXPECT_EQ(F.Length, 3);
    Found.emplace_back(F.Rule, F.Offset);
  }
  EXPECT_EQ(Found, C.Findings);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MinMaxBdfTest,
    testing::Values(
        // FF FF FF is -1, not 16777215.
        TBdfCase{"MinusOneBelowZero", "0", "8388607", {{1, 0, 2, -1}},
                 {"Found 1 errors:\r\n", "Signal 1 (Signal 1): found DigitalMin value=-1 (headerinfo DigiMin=0)"},
                 {{"samples.digimin", At(1, 0, 2)}}},
        // 00 00 80 is -8388608.
        TBdfCase{"MostNegativeBelowANarrowerRange", "-8388607", "8388607", {{2, 1, 4, -8388608}},
                 {"Found 1 errors:\r\n",
                  "Signal 2 (Signal 2): found DigitalMin value=-8388608 (headerinfo DigiMin=-8388607)"},
                 {{"samples.digimin", At(2, 1, 4)}}},
        TBdfCase{"BothEndsFirstRecordOfEachCounts", "-100", "100",
                 {{0, 0, 1, 8388607}, {2, 0, 3, 8388607}, {1, 1, 0, -8388608}, {1, 1, 4, -101}, {2, 1, 2, 101}},
                 {"Found 3 errors:\r\n",
                  "Signal 1 (Signal 1): found DigitalMax value=8388607 (headerinfo DigiMax=100)",
                  "Signal 2 (Signal 2): found DigitalMin value=-8388608 (headerinfo DigiMin=-100)",
                  "Signal 2 (Signal 2): found DigitalMax value=101 (headerinfo DigiMax=100)"},
                 {{"samples.digimax", At(0, 0, 1)}, {"samples.digimin", At(1, 1, 0)}, {"samples.digimax", At(2, 1, 2)}}},
        TBdfCase{"TheWholeRangeIsNoFinding", "-8388608", "8388607", {{0, 0, 0, -8388608}, {2, 1, 4, 8388607}},
                 {"No errors found"}, {}}),
    [](const testing::TestParamInfo<TBdfCase>& I) { return std::string(I.param.Name); });

}  // namespace
