// The conformance visitor shares the block scan with the min/max fold: the
// shared pass gives each the results it gives alone. The test also prints
// what the conformance pass costs next to the min/max scan of the same file
// (no timed assertion; size in MiB from VELLICOR_CONFORMANCE_MIB, default 16;
// 1024 measures a 1 GiB file).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "check/Conformance.h"
#include "check/MinMaxScan.h"
#include "check/RecordScan.h"
#include "edf/uEDF.h"
#include "testkit/PlusBytes.h"

using testkit::PlusBytes;

namespace {

// 8 signals of 256 samples and one annotation signal of 30 samples per 1 s
// record (4156 bytes), an annotation in every tenth record.
PlusBytes LargeFile(int64_t Mib) {
  constexpr int Ordinary = 8;
  PlusBytes P = PlusBytes::Valid(1);
  const auto Annotation = P.Header.Signals[2];
  P.Header.Signals.assign(Ordinary, P.Header.Signals[0]);
  for (int s = 0; s < Ordinary; ++s) {
    P.Header.Signals[static_cast<size_t>(s)][0] = "EEG " + std::to_string(s + 1);
    P.Header.Signals[static_cast<size_t>(s)][8] = "256";
  }
  P.Header.Signals.push_back(Annotation);
  P.Header.General[5] = std::to_string(256 * (Ordinary + 2));
  P.Header.General[9] = std::to_string(Ordinary + 1);
  P.AnnotationSignals = {Ordinary};
  P.Records = static_cast<int>(Mib * 1024 * 1024 / P.RecordBytes());
  P.Header.General[7] = std::to_string(P.Records);
  P.Annotations = [](int r, int) {
    const std::string N = std::to_string(r);
    return testkit::TimeKeeping("+" + N) + (r % 10 == 0 ? testkit::Tal("+" + N + ".5", {"Event"}) : "");
  };
  return P;
}

double SecondsOf(const std::function<void()>& Run) {
  const auto Start = std::chrono::steady_clock::now();
  Run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

long PeakKib() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return Usage.ru_maxrss;
}

TEST(ConformanceSpeed, SharedPassGivesEachVisitorItsOwnResults) {
  const char* Env = std::getenv("VELLICOR_CONFORMANCE_MIB");
  const int64_t Mib = Env != nullptr ? std::max<int64_t>(1, std::atoll(Env)) : 16;
  testkit::TempDir Dir;
  const std::string Path = Dir.File("large.edf");
  const PlusBytes P = LargeFile(Mib);
  P.Write(Path);
  TEDFFile F;
  F.SetFileName(Path);
  F.SetReadOnly(true);
  F.SetActive(true);
  const long PeakBefore = PeakKib();

  const TRecordLayout Layout = RecordLayoutOf(F);
  TMinMaxResult Alone;
  TConformanceReport Conformance;
  TMinMaxResult Shared;
  TConformanceReport SharedReport;
  double MinMax = 1e9, Check = 1e9, Both = 1e9;
  for (int Round = 0; Round < 3; ++Round) {
    MinMax = std::min(MinMax, SecondsOf([&] {
      TMinMaxFold Fold(Layout);
      TRecordVisitor* V[] = {&Fold};
      ScanRecords(*F.Stream(), Layout, V);
      Alone = Fold.Result();
    }));
    Check = std::min(Check, SecondsOf([&] { Conformance = CheckConformance(F); }));
    Both = std::min(Both, SecondsOf([&] {
      TConformanceCheck C(F);
      TMinMaxFold Fold(C.Layout());
      TRecordVisitor* V[] = {&C, &Fold};
      SharedReport = C.Finish(ScanRecords(*F.Stream(), C.Layout(), V));
      Shared = Fold.Result();
    }));
  }
  EXPECT_TRUE(Conformance.Findings.empty());
  EXPECT_EQ(Conformance.RecordsScanned, P.Records);
  EXPECT_EQ(SharedReport.RecordsScanned, P.Records);
  EXPECT_TRUE(SharedReport.Findings.empty());
  EXPECT_EQ(Shared.RecordsScanned, Alone.RecordsScanned);
  EXPECT_EQ(Shared.FoundMin, Alone.FoundMin);
  EXPECT_EQ(Shared.FoundMax, Alone.FoundMax);
  std::printf("%lld MiB, %d records: min/max %.3f s, conformance %.3f s (ratio %.3f), both in one pass %.3f s "
              "(ratio %.3f); peak memory %ld KiB before the passes, %ld KiB after\n",
              static_cast<long long>(Mib), P.Records, MinMax, Check, Check / MinMax, Both, Both / MinMax, PeakBefore,
              PeakKib());
}

}  // namespace
