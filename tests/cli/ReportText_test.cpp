#include "cli/ReportText.h"

#include <gtest/gtest.h>

#include "check/MinMaxScan.h"
#include "edf/uEDF.h"
#include "RunCli.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;
using testkit::TempDir;

namespace {

TEST(ReportText, RawTextsAreQuotedWithNonPrintableBytesEscaped) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "\"\""},
      {"abc 1", "\"abc 1\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\b", "\"a\\\\b\""},
      {std::string("a\0b", 3), "\"a\\x00b\""},
      {"\x1F\x7F\xC8\xFF", "\"\\x1F\\x7F\\xC8\\xFF\""},
      {"~ ", "\"~ \""},
  };
  for (const auto& [raw, quoted] : cases) EXPECT_EQ(QuoteRaw(raw), quoted) << raw;
}

TEST(ReportText, PhysicalRangeFaultsAreWarningsOthersKeepTheirMark) {
  for (int f = 0; f < 10; ++f) {
    const bool physical = f == 3 || f == 4;
    EXPECT_EQ(FaultSeverity(true, f, TFieldMark::Error),
              physical ? TFieldMark::Warning : TFieldMark::Error) << f;
    EXPECT_EQ(FaultSeverity(false, f, TFieldMark::Error), TFieldMark::Error) << f;
    EXPECT_EQ(FaultSeverity(true, f, TFieldMark::None), TFieldMark::None) << f;
  }
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

TEST(ReportText, MinMaxLinesAreTheSharedReportAsTheResultsWindowShowsThem) {
  TempDir dir;
  const std::vector<std::pair<EdfBytes, size_t>> files = {{OutOfRange(), 4}, {EdfBytes::Valid(2, 10, 2), 1}};
  for (const auto& [e, reportLines] : files) {
    const std::string path = dir.File("mm.edf");
    testkit::WriteFileBytes(path, e.Bytes());
    const std::vector<std::string> report = LibraryReport(path);
    ASSERT_EQ(report.size(), reportLines);
    // The heading's own line break becomes the empty line the memo shows.
    std::string tail;
    for (const std::string& line : report) {
      if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        tail += "  " + line.substr(0, line.size() - 2) + "\n\n";
      else
        tail += "  " + line + "\n";
    }
    const auto r = clitest::RunCli({"--minmax", path}, dir.Path());
    EXPECT_EQ(r.Exit, 0);
    ASSERT_GE(r.Out.size(), tail.size()) << r.Out;
    EXPECT_EQ(r.Out.substr(r.Out.size() - tail.size()), tail) << r.Out;
    EXPECT_EQ(r.Err, "");  // standard error is a file here: no progress bar
  }
}

}  // namespace
