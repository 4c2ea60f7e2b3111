#include "cli/Progress.h"

#include <gtest/gtest.h>

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

}  // namespace
