#include "cli/ReportText.h"

#include <gtest/gtest.h>

#include "check/MinMaxScan.h"
#include "edf/uEDF.h"
#include "RunCli.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;
using testkit::TempDir;

namespace {

TEST(ReportText, FileNamesPrintAsOneLineThatMapsBackToTheirBytes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"night 1.edf", "night 1.edf"},
      {"caf\xC3\xA9.edf", "caf\xC3\xA9.edf"},  // UTF-8 stays readable
      {"a\nb.edf: File has a valid EDF fileheader.", "a\\x0Ab.edf: File has a valid EDF fileheader."},
      {"back\\slash", "back\\\\slash"},
      {"n\xFFx", "n\\xFFx"},
      {"\xC3(", "\\xC3("},          // a broken sequence
      {"\xC0\xAF", "\\xC0\\xAF"},    // an overlong form
      {"tab\there\x7F", "tab\\x09here\\x7F"},
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(DisplayName(name), shown) << name;
}

// Samples outside the declared range in both directions and on two signals.
EdfBytes OutOfRange() {
  EdfBytes e = EdfBytes::Valid(3, 20, 4);
  e.Sample = [](int record, int signal, int i) -> int16_t {
    if (signal == 0 && record == 2 && i == 3) return -2049;
    if (signal == 2 && record == 1 && i == 0) return 3000;
    if (signal == 2 && record == 3 && i == 19) return -30000;
    return static_cast<int16_t>(i);
  };
  return e;
}

std::vector<std::string> LibraryReport(const std::string& Path) {
  TEDFFile F;
  F.SetFileName(Path);
  THeaderJudgement J;
  JudgeOpenFile(F, J);
  EXPECT_TRUE(J.Verdict);
  return BuildMinMaxReport(F, ScanDigitalMinMax(F));
}

TEST(ReportText, MinMaxFindingsPointAtTheFirstSampleOfEachExtreme) {
  TempDir dir;
  const std::string path = dir.File("mm.edf");
  testkit::WriteFileBytes(path, OutOfRange().Bytes());
  EXPECT_EQ(LibraryReport(path).size(), 4u);  // heading and three lines
  const auto r = clitest::RunCli({"--minmax", path}, dir.Path());
  EXPECT_EQ(r.Exit, 0);
  // 3 signals of 20 samples: a record is 120 bytes after a header of 1024.
  const std::vector<std::string> expected = {
      "  error [samples.digimin] data record 3, signal 1 (Signal 1), byte " + std::to_string(1024 + 2 * 120 + 2 * 3) +
          ": Signal 1 (Signal 1) holds -2049, below DigiMin -2048",
      "  error [samples.digimin] data record 4, signal 3 (Signal 3), byte " + std::to_string(1024 + 3 * 120 + 2 * (40 + 19)) +
          ": Signal 3 (Signal 3) holds -30000, below DigiMin -2048",
      "  error [samples.digimax] data record 2, signal 3 (Signal 3), byte " + std::to_string(1024 + 120 + 2 * 40) +
          ": Signal 3 (Signal 3) holds 3000, above DigiMax 2047",
      "  digital min/max: Found 3 errors:"};
  for (const std::string& line : expected) EXPECT_TRUE(clitest::HasLine(r.Out, line)) << line << "\n" << r.Out;
  EXPECT_EQ(r.Err, "");  // standard error is a file here: no progress bar
  // With --fail-on-samples the same findings fail the run.
  EXPECT_EQ(clitest::RunCli({"--minmax", "--fail-on-samples", path}, dir.Path()).Exit, 1);
}

// A BDF+ file: its verdict and format lines, and a finding at the first byte
// of the 3-byte sample FF FF FF, which is -1.
TEST(ReportText, BdfReportNamesItsFormatAndPointsAtThreeByteSamples) {
  TempDir dir;
  const std::string path = dir.File("mm.bdf");
  EdfBytes e = EdfBytes::ValidBdf(2, 5, 3);
  e.General[6] = "BDF+C";
  e.Signals[0][5] = "0";
  e.Sample = [](int record, int signal, int i) { return record == 1 && signal == 0 && i == 2 ? -1 : i; };
  testkit::WriteFileBytes(path, e.Bytes());
  const auto r = clitest::RunCli({"--minmax", path}, dir.Path());
  EXPECT_EQ(r.Exit, 0) << r.Err;
  // 768 header bytes, records of 2 x 5 x 3 bytes: record 2, sample 3 of signal 1.
  EXPECT_EQ(r.Out, path + ": File has a valid BDF fileheader.\n"
                   "  format: BDF+\n"
                   "  error [samples.digimin] data record 2, signal 1 (Signal 1), byte 804: "
                   "Signal 1 (Signal 1) holds -1, below DigiMin 0\n"
                   "  Datablock size = 30 bytes\n"
                   "  digital min/max: Found 1 errors:\n");
}

TEST(ReportText, RulesDocTableIsTheRegistry) {
  const std::string Doc = testkit::ReadFileBytes(std::string(VELLICOR_SOURCE_DIR) + "/docs/rules.md");
  const std::string Begin = "<!-- rules:begin -->\n";
  const size_t A = Doc.find(Begin);
  const size_t B = Doc.find("<!-- rules:end -->");
  ASSERT_NE(A, std::string::npos);
  ASSERT_NE(B, std::string::npos);
  EXPECT_EQ(Doc.substr(A + Begin.size(), B - A - Begin.size()), FormatRulesText())
      << "replace the table in docs/rules.md with the output of: vellicor-check --list-rules";
}

}  // namespace
