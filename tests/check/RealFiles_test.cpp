// The real EDF and BDF files from other projects: the window's verdict and
// format, and extremes that both scans agree on with the files' own bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "check/HeaderJudgement.h"
#include "check/MinMaxScan.h"
#include "check/RecordScan.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "testkit/EdfBytes.h"
#include "testkit/RealFiles.h"

namespace {

// Each signal's smallest and largest sample, decoded here from the bytes
// without the library's readers.
void ExtremesOfTheBytes(const std::string& Bytes, const TRecordLayout& L, std::vector<int32_t>& Min,
                        std::vector<int32_t>& Max) {
  Min.assign(L.Signals.size(), FoundMinStart);
  Max.assign(L.Signals.size(), FoundMaxStart);
  for (int64_t r = 0; r < L.NrRecords; ++r) {
    for (size_t s = 0; s < L.Signals.size(); ++s) {
      for (int64_t i = 0; i < L.Signals[s].Samples; ++i) {
        const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data()) + L.HeaderBytes +
                        r * L.RecordBytes + L.Signals[s].Offset + i * L.SampleBytes;
        int32_t V = 0;
        for (int b = L.SampleBytes - 1; b >= 0; --b) V = V * 256 + P[b];
        if (P[L.SampleBytes - 1] & 0x80) V -= int32_t{1} << (8 * L.SampleBytes);
        Min[s] = std::min(Min[s], V);
        Max[s] = std::max(Max[s], V);
      }
    }
  }
}

TEST(RealFiles, VerdictFormatAndTheExtremesOfTheirBytes) {
  const std::string Dir = testkit::RealTestDataDir();
  if (Dir.empty()) GTEST_SKIP() << "no real test data folder (../shared/testdata/real)";
  for (const testkit::RealFile& Real : testkit::RealFiles()) {
    const std::string Path = Dir + "/" + Real.Name;
    SCOPED_TRACE(Path);
    if (!std::filesystem::is_regular_file(Path)) {
      ADD_FAILURE() << "missing from the real test data";
      continue;
    }
    TEDFFile F;
    F.SetFileName(Path);
    THeaderJudgement J;
    JudgeOpenFile(F, J);
    EXPECT_EQ(J.Verdict, Real.Valid);
    EXPECT_EQ(J.VerdictText, VerdictText(Real.Bdf() ? TEDFFormat::BDF : TEDFFormat::EDF, Real.Valid));
    EXPECT_EQ(J.FormatName, Real.Format);
    EXPECT_EQ(J.DataBlockBytes.value_or(0), Real.DataBlockBytes);
    if (!Real.Valid) continue;

    const TRecordLayout Layout = RecordLayoutOf(F);
    EXPECT_EQ(Layout.SampleBytes, Real.Bdf() ? 3 : 2);
    std::vector<int32_t> Min, Max;
    ExtremesOfTheBytes(testkit::ReadFileBytes(Path), Layout, Min, Max);
    const TMinMaxResult Window = ScanDigitalMinMax(F);
    TMinMaxFold Fold(Layout);
    TRecordVisitor* Visitors[] = {&Fold};
    EXPECT_FALSE(ScanRecords(*F.Stream(), Layout, Visitors).ReadFailed);
    EXPECT_EQ(Window.FoundMin, Min);
    EXPECT_EQ(Window.FoundMax, Max);
    EXPECT_EQ(Fold.Result().FoundMin, Min);
    EXPECT_EQ(Fold.Result().FoundMax, Max);
    EXPECT_EQ(BuildMinMaxReport(F, Window), std::vector<std::string>{"No errors found"});
  }
}

}  // namespace
