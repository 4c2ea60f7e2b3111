// The signal-quality pass on files with runs planted at known samples: which
// rule finds what, at which record and byte, the epoch map of every signal,
// and that the vector and portable run detection agree on each file.
#include "check/QualityCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/FileCheck.h"
#include "check/QualityRuns.h"
#include "check/QualityText.h"
#include "edf/uEDF.h"
#include "testkit/EdfBytes.h"
#include "testkit/PlantedRuns.h"
#include "testkit/RealFiles.h"

using testkit::EdfBytes;
using testkit::Planted;
using testkit::With;

namespace {

struct TOpened {
  testkit::TempDir Dir;
  std::string Path = Dir.File("q.edf");
  TEDFFile F;
  explicit TOpened(const EdfBytes& E) {
    testkit::WriteFileBytes(Path, E.Bytes());
    F.SetFileName(Path);
    F.SetReadOnly(true);
    F.SetActive(true);
  }
};

// "quality.flat record 6 signal 1 byte 4768": what a finding points at.
std::string Brief(const TFinding& F) {
  return F.Rule + " record " + std::to_string(F.Where.Record + 1) + " signal " + std::to_string(F.Where.Signal + 1) +
         " byte " + std::to_string(F.Offset);
}

// Two signals in uV (digital -2048..2047), 200 samples in records of 1 s,
// 30 records (0.5 s of them for one record is 100 samples), each signal
// moving except where Runs are planted. Bytes: 768 + 800 r + 400 s + 2 k.
EdfBytes Planting(std::vector<Planted> Runs, EdfBytes E = EdfBytes::Valid(2, 200, 30)) {
  E.Sample = testkit::PlantedSamples(E, std::move(Runs));
  return E;
}

TQualityOptions Epochs5() {
  TQualityOptions O;
  O.EpochSeconds = 5;
  return O;
}

struct TQualityCase {
  const char* Name;
  EdfBytes File;
  TQualityOptions Options;
  std::vector<std::string> Findings;
  std::vector<std::string> Maps;
  std::string Sentence = "";  // of the first finding, when given
};

TEST(Quality, PlantedRunsAreFoundWhereTheyLie) {
  const TQualityOptions O = Epochs5();
  const EdfBytes Percent = With(EdfBytes::Valid(3, 200, 30), [](EdfBytes& E) { E.Signals[2][2].assign(1, '%'); });
  const EdfBytes NoWaveform = With(EdfBytes::Valid(2, 200, 30), [](EdfBytes& E) {
    E.Signals[0][2].assign(1, '%');
    E.Signals[1][2] = "degC";
  });
  const EdfBytes TwoSecondRecords = With(EdfBytes::Valid(2, 200, 15), [](EdfBytes& E) { E.General[8].assign(1, '2'); });
  TQualityOptions Custom;
  Custom.FlatSeconds = 2;
  Custom.ClipSamples = 5;
  Custom.EpochSeconds = 10;
  const std::vector<TQualityCase> Cases = {
      {"nothing planted", Planting({}), O, {}, {"......", "......"}},
      {"flat for exactly the threshold", Planting({{0, 1000, 3000, 0}}), O,
       {"quality.flat record 6 signal 1 byte 4768"}, {".ff...", "......"},
       "flat at 0 (0.1 uV) for 10 s from 04:05:11 (5 s)"},
      {"flat for one sample less", Planting({{0, 1000, 2999, 0}}), O, {}, {"......", "......"}},
      {"flat from the file start across records", Planting({{1, 0, 2500, 7}}), O,
       {"quality.flat record 1 signal 2 byte 1168"}, {"......", "fff..."}},
      {"clipped runs of 2 (none) and of 3 at each limit",
       Planting({{0, 100, 102, 2047}, {0, 300, 303, 2047}, {0, 500, 503, -2048}}), O,
       {"quality.clipped record 2 signal 1 byte 1768", "quality.clipped record 3 signal 1 byte 2568"},
       {"c.....", "......"},
       "clipped at DigiMax 2047 (500.0 uV) for 3 samples (0.015 s) from 04:05:07 (1.5 s)"},
      {"a long run at a limit is clipped, not flat", Planting({{0, 1000, 3400, -2048}}), O,
       {"quality.clipped record 6 signal 1 byte 4768"}, {".ccc..", "......"},
       "clipped at DigiMin -2048 (-500.0 uV) for 2,400 samples (12 s) from 04:05:11 (5 s)"},
      {"constant throughout, a waveform and a percentage", Planting({{1, 0, 6000, 3}, {2, 0, 6000, 100}}, Percent), O,
       {"quality.constant record 1 signal 2 byte 1424", "quality.constant record 1 signal 3 byte 1824"},
       {"......", "ffffff", "ffffff"},
       "constant at 3 (0.9 uV) throughout: 6,000 samples over 30 s"},
      {"zero padding of the whole last record", Planting({{0, 5800, 6000, 0}, {1, 5800, 6000, 0}}), O,
       {"quality.tail record 30 signal 1 byte 23968"}, {".....t", ".....t"},
       "every waveform signal constant until the recording ends, for 1 s from 04:05:35 (29 s); this signal at 0 "
       "(0.1 uV)"},
      {"zero padding of half a last record of 2 s",
       Planting({{0, 2900, 3000, 0}, {1, 2900, 3000, 0}}, TwoSecondRecords), O,
       {"quality.tail record 15 signal 1 byte 12168"}, {".....t", ".....t"}},
      {"0.9 s of padding is no tail", Planting({{0, 5820, 6000, 0}, {1, 5820, 6000, 0}}), O, {},
       {"......", "......"}},
      {"padding with DigiMin: one tail, its clipped runs not again",
       Planting({{0, 5800, 6000, -2048}, {1, 5800, 6000, -2048}}), O, {"quality.tail record 30 signal 1 byte 23968"},
       {".....t", ".....t"}},
      {"a dead stretch of 2 s in the middle", Planting({{0, 2000, 2400, 0}, {1, 2000, 2400, 0}}), O,
       {"quality.dead record 11 signal 1 byte 8768"}, {"..t...", "..t..."},
       "every waveform signal constant for 2 s from 04:05:16 (10 s); this signal at 0 (0.1 uV)"},
      {"a dead stretch at the start", Planting({{0, 0, 400, 0}, {1, 0, 400, 0}}), O,
       {"quality.dead record 1 signal 1 byte 768"}, {"t.....", "t....."}},
      {"no dead stretch while one waveform signal moves", Planting({{0, 2000, 2400, 0}}), O, {},
       {"......", "......"}},
      {"no waveform signals: no tail, constant still", Planting({{0, 5800, 6000, 0}, {1, 0, 6000, 20}}, NoWaveform),
       O, {"quality.constant record 1 signal 2 byte 1168"}, {"------", "ffffff"}},
      {"two levels: runs at a limit are judged as flat", Planting({{0, 0, 2400, -2048}, {0, 2400, 6000, 2047}}), O,
       {"quality.flat record 1 signal 1 byte 768", "quality.flat record 13 signal 1 byte 10368"},
       {"ffffff", "......"}},
      {"samples outside the range: no clipping judged", Planting({{0, 300, 303, 2047}, {0, 1000, 1001, 3000}}), O,
       {}, {".r....", "......"}},
      {"every waveform signal constant: no tail", Planting({{0, 0, 6000, 0}, {1, 0, 6000, 1}}), O,
       {"quality.constant record 1 signal 1 byte 768", "quality.constant record 1 signal 2 byte 1168"},
       {"ffffff", "ffffff"}},
      {"24-bit rails", Planting({{0, 300, 303, 8388607}, {0, 500, 502, -8388608}}, EdfBytes::ValidBdf(2, 200, 30)),
       O, {"quality.clipped record 2 signal 1 byte 2268"}, {"c.....", "......"}},
      {"other thresholds and epochs", Planting({{0, 1000, 1400, 0}, {1, 300, 304, 2047}, {1, 600, 605, -2048}}), Custom,
       {"quality.clipped record 4 signal 2 byte 3568", "quality.flat record 6 signal 1 byte 4768"},
       {"f..", "c.."}},
      {"EDF+D: a flat run ends at a gap, what follows it is another run",
       testkit::Discontinuous(Planting({{0, 0, 2400, 5}}, EdfBytes::Valid(2, 200, 20)), {"0",  "1",  "2",  "3",  "4",  "5",  "6",
                                                               "7",  "8",  "9",  "20", "21", "22", "23",
                                                               "24", "25", "26", "27", "28", "29"}),
       O, {"quality.flat record 1 signal 1 byte 1024"}, {"ffgg..", "..gg..", "--gg--"},
       "flat at 5 (1.3 uV) for 10 s from 04:05:06 (0 s)"},
      {"EDF+D: an unreadable stamp breaks a run of 15 s into pieces shorter than 10 s",
       testkit::Discontinuous(Planting({{0, 0, 3000, 5}}, EdfBytes::Valid(2, 200, 20)),
                              {"0",  "1",  "2",  "3",  "4",  "1,5", "6",  "7",  "8",  "9",
                               "10", "11", "12", "13", "14", "15",  "16", "17", "18", "19"}),
       O, {}, {"....", "....", "----"}},
  };
  for (const TQualityCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TOpened O(C.File);
    const TQualityReport R = CheckQuality(O.F, C.Options);
    EXPECT_TRUE(R.Complete);
    std::vector<std::string> Found, Maps;
    for (const TFinding& F : R.Findings) Found.push_back(Brief(F));
    for (const TQualitySignal& S : R.Signals) Maps.push_back(S.Map);
    EXPECT_EQ(Found, C.Findings);
    EXPECT_EQ(Maps, C.Maps);
    if (!C.Sentence.empty()) {
      ASSERT_FALSE(R.Findings.empty());
      EXPECT_EQ(R.Findings[0].Message, C.Sentence);
    }
    // Sharing the conformance check's pass over a mapped file changes nothing,
    // and the extremes gathered on the way are the min/max fold's.
    TConformanceCheck Conformance(O.F);
    TQualityCheck Shared(O.F, C.Options);
    const TRecordLayout& Pass = Conformance.WantsRecords() ? Conformance.Layout() : Shared.Layout();
    TMinMaxFold Fold(Pass);
    TRecordVisitor* V[] = {&Conformance, &Shared, &Fold};
    EXPECT_EQ(Shared.Finish(ScanRecords(*O.F.Stream(), Pass, V, {}, TScanSource::Map)).Findings, R.Findings);
    const TMinMaxResult Extremes = Shared.MinMax();
    EXPECT_EQ(Extremes.FoundMin, Fold.Result().FoundMin);
    EXPECT_EQ(Extremes.FoundMax, Fold.Result().FoundMax);
    EXPECT_EQ(Extremes.MinRecord, Fold.Result().MinRecord);
    EXPECT_EQ(Extremes.MaxRecord, Fold.Result().MaxRecord);
    // The command line's check with the quality pass reports the min/max
    // check as it does alone.
    TCheckRequest Both, Alone;
    Both.MinMax = Both.Quality = Alone.MinMax = true;
    Both.QualityOptions = C.Options;
    const TFileReport WithQuality = CheckFile(O.Path, Both);
    EXPECT_TRUE(WithQuality.MinMaxRun);
    EXPECT_EQ(WithQuality.MinMaxLines, CheckFile(O.Path, Alone).MinMaxLines);
    EXPECT_EQ(WithQuality.Quality.Findings, R.Findings);
    // The vector and the portable run detection see the same samples alike.
    const TRecordLayout L = RecordLayoutOf(O.F);
    const std::string Bytes = testkit::ReadFileBytes(O.Path);
    for (const TSignalSpan& S : L.Signals) {
      const auto* P = reinterpret_cast<const uint8_t*>(Bytes.data()) + L.HeaderBytes + S.Offset;
      EXPECT_TRUE(RunMaskPathsAgree(P, S.Samples, L.SampleBytes, L.NrRecords, L.RecordBytes, 0, -2048, 2047));
    }
  }
}

TEST(Quality, EveryFindingCountsListedOrNot) {
  // 25 clipped runs of 4 samples, one every 2 s: 20 listed, all counted in
  // the total, the summary and the map.
  std::vector<Planted> Runs;
  for (int i = 0; i < 25; ++i) Runs.push_back({0, 400 * i + 10, 400 * i + 14, 2047});
  TOpened O(Planting(Runs, EdfBytes::Valid(2, 200, 60)));
  const TQualityReport R = CheckQuality(O.F, Epochs5());
  EXPECT_EQ(R.Findings.size(), 20u);
  EXPECT_EQ(R.TotalOf("quality.clipped"), 25);
  ASSERT_EQ(R.Totals.size(), 1u);
  EXPECT_EQ(R.Totals[0].Listed, 20);
  const TQualitySignal& S = R.Signals[0];
  EXPECT_EQ(S.ClippedSamples, 100);
  EXPECT_EQ(S.Map, "cccccccccc..");
  EXPECT_EQ(S.UsableEpochs, 2);
  EXPECT_EQ(QualitySummaryLine(S), "signal 1 (Signal 1): usable 16 % of 12 epochs; flat 0 s; clipped 100 (0.8 %)");
}

TEST(QualityText, DurationsClockTimesAndTheSummaryLine) {
  const struct {
    double Seconds;
    const char* Text;
  } Durations[] = {{0.3, "0.3 s"},   {0.015, "0.015 s"},  {10, "10 s"},         {59.9999, "59.999 s"},
                   {60, "1 min"},    {250, "4 min 10 s"}, {3600, "1 h"},        {7989, "2 h 13 min"},
                   {90061, "25 h 1 min"}};
  for (const auto& D : Durations) EXPECT_EQ(QualityDuration(D.Seconds), D.Text) << D.Seconds;
  EXPECT_EQ(QualityFrom(7890, 0), "from 02:11:30 (7,890 s)");
  EXPECT_EQ(QualityFrom(3599.5, 82800), "from 23:59:59 (3,599.5 s)");
  EXPECT_EQ(QualityFrom(90061, 0), "from 01:01:01 (90,061 s)");
  EXPECT_EQ(QualityFrom(12.25, -1), "from 12.25 s");
  EXPECT_EQ(QualityValueText({-3, true, -0.04, 1, "uV"}), "-3 (0.0 uV)");
  EXPECT_EQ(QualityValueText({-3, false, 0, 1, ""}), "-3");

  TQualitySignal S;
  S.Index = 2;
  S.Label = "EEG C3-M2";
  S.Role = TQualityRole::Waveform;
  S.Epochs = 960;
  S.UsableEpochs = 682;
  S.FlatSeconds = 7989;
  EXPECT_EQ(QualitySummaryLine(S), "signal 3 (EEG C3-M2): usable 71 % of 960 epochs; flat 2 h 13 min; clipped 0");
  EXPECT_TRUE(QualitySummaryWanted(S));
  S.UsableEpochs = 960;
  S.FlatSeconds = 0;
  EXPECT_FALSE(QualitySummaryWanted(S));
}

TEST(Quality, RealFilesFromOtherProjectsGiveNoFalseAlarm) {
  // Their longest run in a waveform signal lasts 5 s (a square wave of two
  // levels), no sample touches a limit and none leaves the digital range:
  // nothing to report, and every ordinary signal's epochs usable.
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  for (const testkit::RealFile& Real : testkit::RealFiles()) {
    const std::string Path = Dir + "/" + Real.Name;
    SCOPED_TRACE(Path);
    const std::string Before = testkit::ReadFileBytes(Path);
    TEDFFile F;
    F.SetFileName(Path);
    F.SetReadOnly(true);
    F.SetActive(true);
    TQualityCheck Check(F);
    const TRecordLayout& L = Check.Layout();
    TMinMaxFold Fold(L);
    TRecordVisitor* V[] = {&Check, &Fold};
    const TQualityReport R = Check.Finish(
        Check.WantsRecords() ? ScanRecords(*F.Stream(), L, V, {}, TScanSource::Map) : TScanOutcome{});
    EXPECT_TRUE(R.Findings.empty()) << R.Findings.front().Message;
    if (Check.WantsRecords()) {
      EXPECT_EQ(Check.MinMax().FoundMin, Fold.Result().FoundMin);
      EXPECT_EQ(Check.MinMax().FoundMax, Fold.Result().FoundMax);
      EXPECT_EQ(Check.MinMax().MinRecord, Fold.Result().MinRecord);
      EXPECT_EQ(Check.MinMax().MaxRecord, Fold.Result().MaxRecord);
    }
    // Only the hypnogram, annotations alone in records of 0 s, is not read.
    EXPECT_EQ(R.Complete, Real.Name != "sleepedf_hypnogram.edf");
    for (const TQualitySignal& S : R.Signals) EXPECT_EQ(S.UsableEpochs, S.Epochs) << S.Label;
    EXPECT_EQ(testkit::ReadFileBytes(Path), Before);
  }
}

}  // namespace
