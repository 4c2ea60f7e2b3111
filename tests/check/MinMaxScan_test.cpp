#include "check/MinMaxScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

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
