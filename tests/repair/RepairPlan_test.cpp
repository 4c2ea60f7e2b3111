// The planner on real files from other projects and on BDF files: a sound
// file gets no change, and a BDF file's version is never rewritten.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "repair/RepairPlan.h"
#include "testkit/EdfBytes.h"
#include "testkit/RealFiles.h"

namespace {

TEST(RepairPlan, RealFilesGetNoChangeTheyDoNotNeed) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "the real test files are not there";
  for (const testkit::RealFile& F : testkit::RealFiles()) {
    const TRepairPlan Plan = PlanRepair(Dir + "/" + F.Name);
    EXPECT_EQ(Plan.NothingToRepair(), F.Valid) << F.Name;
    // The hypnogram's record duration of 0 has no right value to take.
    EXPECT_TRUE(Plan.Changes.empty()) << F.Name;
  }
}

TEST(RepairPlan, BdfVersionIsNeverRewritten) {
  testkit::TempDir Temp;
  std::vector<std::string> Paths;
  // A BDF file with a date that needs its separators mended as well.
  const std::string Built = Temp.File("built.bdf");
  testkit::WriteFileBytes(Built, testkit::With(testkit::EdfBytes::Valid(2, 200, 3), [](testkit::EdfBytes& E) {
                                   E.General[0] = "\xFF" "BIOSEMI";
                                   E.General[3] = "01-02-03";
                                 }).Bytes());
  Paths.push_back(Built);
  if (const std::string Dir = testkit::RealTestDataDir(); !Dir.empty())
    for (const auto& E : std::filesystem::directory_iterator(Dir))
      if (E.path().extension() == ".bdf") Paths.push_back(E.path().string());

  for (const std::string& Path : Paths) {
    const TRepairPlan Plan = PlanRepair(Path);
    for (const TRepairChange& C : Plan.Changes) EXPECT_GE(C.Offset, 8) << Path << ": " << C.Field;
  }
  const TRepairPlan Plan = PlanRepair(Built);
  ASSERT_FALSE(Plan.Changes.empty());
  EXPECT_EQ(Plan.Changes.front().Field, "StartDate");
}

}  // namespace
