#include "cli/Progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Progress, BarFillsWithThePercentAndCutsLongNamesFromTheLeft) {
  const std::string empty = TProgress::BarText("a.edf", 0, 80);
  EXPECT_EQ(empty, "[" + std::string(30, '.') + "]   0% a.edf");
  EXPECT_EQ(TProgress::BarText("a.edf", 50, 80), "[" + std::string(15, '#') + std::string(15, '.') + "]  50% a.edf");
  EXPECT_EQ(TProgress::BarText("a.edf", 100, 80), "[" + std::string(30, '#') + "] 100% a.edf");
  EXPECT_EQ(TProgress::BarText("a.edf", 140, 80), TProgress::BarText("a.edf", 100, 80));
  const std::string longName = "/very/long/folder/name/" + std::string(100, 'x') + "/end.edf";
  const std::string cut = TProgress::BarText(longName, 12, 60);
  EXPECT_EQ(cut.size(), 59u);  // one column free, so the terminal never wraps
  EXPECT_EQ(cut.substr(cut.size() - 8), "/end.edf");
  EXPECT_NE(cut.find("..."), std::string::npos);
}

// A name is shown as the report shows it, so escape sequences in it cannot
// drive the terminal, and a cut never splits an escape.
TEST(Progress, NamesAreEscapedAsTheReportEscapesThem) {
  struct TRow {
    std::string Name;
    int Width;
    std::string Shown;  // the bar's text after the percentage
  };
  const std::vector<TRow> Rows = {
      {"\x1B]0;title\x07\x1B[2J.edf", 80, "\\x1B]0;title\\x07\\x1B[2J.edf"},
      {"a\xE2\x80\xA8" "b\xC2\x85" "c.edf", 80, "a\\xE2\\x80\\xA8b\\xC2\\x85c.edf"},
      {std::string(40, 'y') + "\x1B" "z.edf", 50, "...z.edf"},
      {std::string(40, 'y') + "\xC3\xA9z.edf", 48, "...z.edf"},
  };
  for (const TRow& R : Rows) {
    const std::string Bar = TProgress::BarText(R.Name, 7, R.Width);
    EXPECT_EQ(Bar.substr(Bar.find("% ") + 2), R.Shown) << R.Shown;
    EXPECT_LT(Bar.size(), static_cast<size_t>(R.Width));
  }
}

}  // namespace
