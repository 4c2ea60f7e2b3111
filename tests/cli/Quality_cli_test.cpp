// vellicor-check --quality: its options, the findings and summary lines of
// the text form, the "quality" key of the JSON line, the exit status of
// --fail-on-quality and the counts of --summary, on a file with planted runs
// and on the real files from other projects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "RunCli.h"
#include "testkit/PlantedRuns.h"
#include "testkit/RealFiles.h"

using clitest::HasLine;
using clitest::RunCli;
using clitest::SplitLines;
using testing::HasSubstr;
using testkit::EdfBytes;
using testkit::TempDir;

namespace {

QJsonObject Object(const std::string& Line) { return QJsonDocument::fromJson(QByteArray::fromStdString(Line)).object(); }

// Three signals of 200 samples in 30 records of 1 s; with 5 s epochs, six.
// Signal 1 is flat for exactly 10 s from 5 s, signal 2 clipped at DigiMax
// for 3 samples in each of its first 24 records, signal 3 a percentage
// (not judged) that stays put for the first half.
std::string WritePlanted(const TempDir& Dir) {
  EdfBytes E = testkit::With(EdfBytes::Valid(3, 200, 30), [](EdfBytes& F) { F.Signals[2][2].assign(1, '%'); });
  std::vector<testkit::Planted> Runs = {{0, 1000, 3000, 5}, {2, 0, 3000, 50}};
  for (int r = 0; r < 24; ++r) Runs.push_back({1, r * 200 + 100, r * 200 + 103, 2047});
  E.Sample = testkit::PlantedSamples(E, Runs);
  const std::string Path = Dir.File("planted.edf");
  testkit::WriteFileBytes(Path, E.Bytes());
  return Path;
}

TEST(QualityCli, OptionsAreCheckedBeforeAnyFileIsRead) {
  TempDir Dir;
  const std::string Path = WritePlanted(Dir);
  const std::vector<std::pair<std::vector<std::string>, std::string>> Rows = {
      {{"--flat-seconds", "5"}, "--flat-seconds needs --quality"},
      {{"--fail-on-quality"}, "--fail-on-quality needs --quality"},
      {{"--clip-samples", "4"}, "--clip-samples needs --quality"},
      {{"--quality", "--flat-seconds", "0"}, "invalid number of seconds for --flat-seconds: '0'"},
      {{"--quality", "--tail-seconds", "-1"}, "invalid number of seconds for --tail-seconds: '-1'"},
      {{"--quality", "--dead-seconds", "1s"}, "invalid number of seconds for --dead-seconds: '1s'"},
      {{"--quality", "--epoch", "nan"}, "invalid number of seconds for --epoch: 'nan'"},
      {{"--quality", "--epoch", ""}, "invalid number of seconds for --epoch: ''"},
      {{"--quality", "--clip-samples", "2.5"}, "invalid number of samples for --clip-samples: '2.5'"},
      {{"--quality", "--clip-samples", "0"}, "invalid number of samples for --clip-samples: '0'"},
  };
  for (const auto& [Args, Message] : Rows) {
    std::vector<std::string> A = Args;
    A.push_back(Path);
    const auto R = RunCli(A, Dir.Path());
    EXPECT_EQ(R.Exit, 2) << Message;
    EXPECT_EQ(SplitLines(R.Err).front(), "vellicor-check: " + Message);
    EXPECT_EQ(R.Out, "");
  }
}

TEST(QualityCli, TextListsTheFindingsThenOneSummaryLinePerSignal) {
  TempDir Dir;
  const std::string Path = WritePlanted(Dir);
  const auto R = RunCli({"--quality", "--epoch", "5", "--summary", Path}, Dir.Path());
  EXPECT_EQ(R.Exit, 0) << R.Err;
  // Header 4 * 256 bytes, records of 3 * 200 * 2: sample 1000 of signal 1
  // opens record 6.
  EXPECT_THAT(R.Out, HasSubstr("  warning [quality.flat] data record 6, signal 1 (Signal 1), byte 7024: flat at 5 "));
  const std::vector<std::string> Tail = {
      "  [quality.clipped] 24 findings in all, 20 listed",
      "  signal 1 (Signal 1): usable 66 % of 6 epochs; flat 10 s; clipped 0",
      "  signal 2 (Signal 2): usable 16 % of 6 epochs; flat 0 s; clipped 72 (1.2 %)",
      "  quality: 30 data records checked, 2 of 3 signals judged: 25 warnings",
      "summary: 1 files: 1 valid, 0 invalid, 0 not read",
      "  warning [quality.clipped] 24 findings in 1 file",
      "  warning [quality.flat] 1 finding in 1 file"};
  const std::vector<std::string> Lines = SplitLines(R.Out);
  ASSERT_GE(Lines.size(), Tail.size());
  EXPECT_EQ(std::vector<std::string>(Lines.end() - static_cast<long>(Tail.size()), Lines.end()), Tail) << R.Out;

  // Only --fail-on-quality turns the warnings into a failing status, and only
  // when there are some.
  EXPECT_EQ(RunCli({"--quality", "--fail-on-quality", Path}, Dir.Path()).Exit, 1);
  const std::string Clean = Dir.File("clean.edf");
  testkit::WriteFileBytes(Clean, testkit::With(EdfBytes::Valid(2, 200, 30), [](EdfBytes& E) {
                                   E.Sample = testkit::PlantedSamples(E, {});
                                 }).Bytes());
  EXPECT_EQ(RunCli({"--quality", "--fail-on-quality", Clean}, Dir.Path()).Exit, 0);
}

TEST(QualityCli, JsonCarriesEverySignalsSummaryAndMap) {
  TempDir Dir;
  const std::string Path = WritePlanted(Dir);
  const auto R = RunCli({"--quality", "--epoch", "5", "--json", "--summary", Path}, Dir.Path());
  const std::vector<std::string> Lines = SplitLines(R.Out);
  ASSERT_EQ(Lines.size(), 2u) << R.Out;
  const QJsonObject Q = Object(Lines[0])["quality"].toObject();
  EXPECT_EQ(Q["epochSeconds"].toDouble(), 5.0);
  struct TRow {
    const char* Label;
    bool Judged;
    double FlatSeconds;
    int ClippedSamples;
    double UsableShare;
    const char* Map;
  };
  const TRow Rows[] = {{"Signal 1", true, 10, 0, 4.0 / 6, ".ff..."},
                       {"Signal 2", true, 0, 72, 1.0 / 6, "ccccc."},
                       {"Signal 3", false, 0, 0, 1, "------"}};
  const QJsonArray Signals = Q["signals"].toArray();
  ASSERT_EQ(Signals.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const QJsonObject S = Signals[i].toObject();
    SCOPED_TRACE(Rows[i].Label);
    EXPECT_EQ(S["index"].toInt(), i + 1);
    EXPECT_EQ(S["label"].toString().toStdString(), Rows[i].Label);
    EXPECT_EQ(S["judged"].toBool(), Rows[i].Judged);
    EXPECT_EQ(S["samples"].toInteger(), 6000);
    EXPECT_DOUBLE_EQ(S["flatSeconds"].toDouble(), Rows[i].FlatSeconds);
    EXPECT_EQ(S["clippedSamples"].toInteger(), Rows[i].ClippedSamples);
    EXPECT_DOUBLE_EQ(S["usableShare"].toDouble(), Rows[i].UsableShare);
    EXPECT_EQ(S["map"].toString().toStdString(), Rows[i].Map);
  }
  const QJsonObject Clipped = Q["totals"].toObject()["quality.clipped"].toObject();
  EXPECT_EQ(Clipped["total"].toInteger(), 24);
  EXPECT_EQ(Clipped["listed"].toInteger(), 20);

  // --summarize of the line counts what --summary counted.
  testkit::WriteFileBytes(Dir.File("lines.jsonl"), Lines[0] + "\n");
  const auto Summarized = RunCli({"--summarize", "--json", Dir.File("lines.jsonl")}, Dir.Path());
  EXPECT_EQ(Summarized.Out, Lines[1] + "\n");
}

// Files from other projects: every one gets a quality key with a row per
// signal, all rows one map's length, no false alarm on these clean
// recordings, and the file left as it was.
TEST(QualityCli, RealFilesGetAMapPerSignalAndNoFalseAlarm) {
  const std::string Real = testkit::RealTestDataDir();
  if (Real.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  TempDir Dir;
  for (const testkit::RealFile& C : testkit::RealFiles()) {
    const std::string F = Real + "/" + C.Name;
    SCOPED_TRACE(F);
    const std::string Bytes = testkit::ReadFileBytes(F);
    const int64_t MTime = testkit::FileMTimeNs(F);
    const auto R = RunCli({"--quality", "--fail-on-quality", "--json", F}, Dir.Path());
    EXPECT_EQ(R.Exit, C.Valid ? 0 : 1) << R.Err;
    const QJsonObject Line = Object(R.Out);
    const QJsonArray Signals = Line["signals"].toArray();
    const QJsonArray Rows = Line["quality"].toObject()["signals"].toArray();
    ASSERT_EQ(Rows.size(), Signals.size());
    for (qsizetype i = 0; i < Rows.size(); ++i) {
      const QJsonObject S = Rows[i].toObject();
      EXPECT_EQ(S["index"].toInt(), i + 1);
      EXPECT_EQ(S["label"].toString(), Signals[i].toObject()["label"].toString());
      EXPECT_EQ(S["map"].toString().size(), Rows[0].toObject()["map"].toString().size());
      if (S["judged"].toBool()) {
        EXPECT_EQ(S["usableShare"].toDouble(), 1.0) << S["label"].toString().toStdString();
      }
    }
    EXPECT_TRUE(Line["quality"].toObject()["totals"].toObject().isEmpty());
    EXPECT_TRUE(testkit::ReadFileBytes(F) == Bytes) << "the file was changed";
    EXPECT_EQ(testkit::FileMTimeNs(F), MTime);
  }
}

}  // namespace
