// The planner on real files from other projects and on BDF files: a sound
// file gets no change, a BDF file's version is never rewritten, and the
// copy is judged with the conformance check.
#include <algorithm>
#include <filesystem>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "check/FileCheck.h"
#include "repair/RepairPlan.h"
#include "testkit/EdfBytes.h"
#include "testkit/PlusBytes.h"
#include "testkit/RealFiles.h"

namespace {

// A file is left alone only when neither the header judgement nor the
// conformance check faults it; the one real change is the plain BDF's blank
// Reserved, which reads 24BIT.
TEST(RepairPlan, RealFilesGetNoChangeTheyDoNotNeed) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "the real test files are not there";
  for (const testkit::RealFile& F : testkit::RealFiles()) {
    const std::string Path = Dir + "/" + F.Name;
    TCheckRequest Request;
    Request.Conformance = true;
    const TFileReport Report = CheckFile(Path, Request);
    const bool Faulted = std::any_of(Report.Findings.begin(), Report.Findings.end(),
                                     [](const TFinding& Found) { return Found.Severity != TSeverity::Note; });
    const TRepairPlan Plan = PlanRepair(Path);
    EXPECT_EQ(Plan.NothingToRepair(), !Faulted) << F.Name;
    for (const TRepairChange& C : Plan.Changes) {
      EXPECT_EQ(F.Name, "edfio_short_psg.bdf");
      EXPECT_EQ(C.New.substr(0, 6), "24BIT ") << F.Name << ": " << C.Field;
    }
  }
}

// The copy is judged with the conformance check, its data records read:
// a copy holding a fault the plan did not leave is not as planned.
TEST(RepairPlan, ACopyWithAConformanceFaultIsNotAsPlanned) {
  testkit::TempDir Temp;
  const std::string In = Temp.File("in.edf");
  const std::string Other = Temp.File("other.edf");
  testkit::PlusBytes P = testkit::PlusBytes::Valid();
  P.Header.Signals[2][1] = "Pen";
  P.Write(In);
  P.Annotations = [](int r, int) { return testkit::TimeKeeping('+' + std::to_string(r)) + testkit::Tal("+1,5", {"x"}); };
  P.Header.Signals[2][1] = "";
  P.Write(Other);
  const TRepairPlan Plan = PlanRepair(In);
  ASSERT_EQ(Plan.Changes.size(), 1u);
  EXPECT_TRUE(Plan.Complete());
  EXPECT_THAT(CheckCopy(Plan, Other), testing::HasSubstr("it has edfplus.tal.onset"));
  P.Annotations = [](int r, int) { return testkit::TimeKeeping('+' + std::to_string(r)); };
  P.Write(Other);
  EXPECT_EQ(CheckCopy(Plan, Other), "");
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
