// The block scan: the same extremes as the record-by-record scan whatever
// the block size and whether the file is read or mapped, and a file that
// changes under it is reported, never read as stale data; a mapped file cut
// while its bytes are being read ends the pass as a short read does.
#include "check/RecordScan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "check/FileCheck.h"
#include "check/MinMaxScan.h"
#include "edf/uEDF.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;

namespace {

constexpr TScanSource Sources[] = {TScanSource::Read, TScanSource::Map};
const char* NameOf(TScanSource S) { return S == TScanSource::Read ? "read" : "mapped"; }

// Calls Action once, when record Trigger is handed over.
struct TActOnRecord : TRecordVisitor {
  int64_t Trigger;
  std::function<void()> Action;
  TActOnRecord(int64_t T, std::function<void()> A) : Trigger(T), Action(std::move(A)) {}
  void OnRecord(int64_t Index, int64_t, const uint8_t*) override {
    if (Index == Trigger) Action();
  }
};

struct TOpenFile {
  testkit::TempDir Dir;
  std::string Path = Dir.File("s.edf");
  TEDFFile F;
  explicit TOpenFile(const EdfBytes& E) {
    testkit::WriteFileBytes(Path, E.Bytes());
    F.SetFileName(Path);
    F.SetReadOnly(true);
    F.SetActive(true);
  }
};

TEST(RecordScan, BlockFoldGivesTheExtremesOfTheRecordByRecordScan) {
  // Records larger than a block, odd counts, one-sample signals, the 16-bit
  // and the 24-bit limits.
  const struct {
    int Ns, Samples, Records;
    bool Bdf = false;
  } Shapes[] = {{1, 1, 7}, {3, 333, 5}, {2, 600000, 3}, {5, 17, 2000}, {3, 333, 5, true}, {2, 400000, 3, true}};
  for (const auto& Shape : Shapes) {
    EdfBytes E = Shape.Bdf ? EdfBytes::ValidBdf(Shape.Ns, Shape.Samples, Shape.Records)
                           : EdfBytes::Valid(Shape.Ns, Shape.Samples, Shape.Records);
    const int32_t Lowest = Shape.Bdf ? -8388608 : -32768;
    E.Signals[0][5] = std::to_string(Lowest);
    E.Signals[0][6] = std::to_string(-Lowest - 1);
    E.Sample = [Lowest](int R, int S, int I) -> int32_t {
      if (R == 1 && I == 0) return S == 0 ? Lowest : -3000;
      if (R == 2 && I == 0) return S == 0 ? -Lowest - 1 : 3000;
      return (R * 31 + S * 7 + I) % 4000 - 2000;
    };
    TOpenFile O(E);
    const TMinMaxResult ByRecord = ScanDigitalMinMax(O.F);
    const TRecordLayout Layout = RecordLayoutOf(O.F);
    for (const TScanSource Source : Sources) {
      SCOPED_TRACE(std::to_string(Shape.Samples) + " samples, " + NameOf(Source));
      TMinMaxFold Fold(Layout);
      TRecordVisitor* V[] = {&Fold};
      const TScanOutcome Outcome = ScanRecords(*O.F.Stream(), Layout, V, {}, Source);
      EXPECT_FALSE(Outcome.ReadFailed);
      EXPECT_EQ(Outcome.RecordsScanned, Shape.Records);
      EXPECT_EQ(Fold.Result().FoundMin, ByRecord.FoundMin);
      EXPECT_EQ(Fold.Result().FoundMax, ByRecord.FoundMax);
      EXPECT_EQ(Fold.Result().MinRecord, ByRecord.MinRecord);
      EXPECT_EQ(Fold.Result().MaxRecord, ByRecord.MaxRecord);
    }
  }
}

TEST(RecordScan, AFileCutOrGrownDuringThePassIsReported) {
  for (const TScanSource Source : Sources) {
    SCOPED_TRACE(NameOf(Source));
    // 1000 records of 2 x 300 samples: several blocks.
    TOpenFile Cut(EdfBytes::Valid(2, 300, 1000));
    const TRecordLayout Layout = RecordLayoutOf(Cut.F);
    const int64_t CutAt = Layout.HeaderBytes + 900 * Layout.RecordBytes + 10;
    TActOnRecord Shrink(1, [&] { std::filesystem::resize_file(Cut.Path, static_cast<uintmax_t>(CutAt)); });
    TRecordVisitor* V1[] = {&Shrink};
    const TScanOutcome Short = ScanRecords(*Cut.F.Stream(), Layout, V1, {}, Source);
    EXPECT_TRUE(Short.ReadFailed);
    EXPECT_EQ(Short.FailedRecord, 900);
    EXPECT_EQ(Short.FailedOffset, CutAt);
    EXPECT_EQ(Short.RecordsScanned, 900);
    EXPECT_EQ(Short.Error, "the file ends at byte " + std::to_string(CutAt) + ", in data record 901");
    EXPECT_TRUE(Short.FileChanged());

    TOpenFile Grown(EdfBytes::Valid(2, 300, 1000));
    TActOnRecord Grow(3, [&] { std::ofstream(Grown.Path, std::ios::app) << std::string(1200, 'x'); });
    TRecordVisitor* V2[] = {&Grow};
    const TScanOutcome Long = ScanRecords(*Grown.F.Stream(), Layout, V2, {}, Source);
    EXPECT_FALSE(Long.ReadFailed);
    EXPECT_EQ(Long.RecordsScanned, 1000);
    EXPECT_EQ(Long.SizeAtEnd - Long.SizeAtStart, 1200);
  }
}

// Cuts the file inside the first block the moment it is handed over, then
// reads every byte of that block, as a fold does: the pages past the cut
// are gone from the mapping by then.
struct TCutWhileReading : TRecordVisitor {
  std::string Path;
  int64_t CutAt;
  unsigned Sum = 0;
  TCutWhileReading(std::string P, int64_t C) : Path(std::move(P)), CutAt(C) {}
  void OnRecord(int64_t, int64_t, const uint8_t*) override {}
  void OnRecords(int64_t First, int64_t Count, int64_t RecordBytes, int64_t, const uint8_t* Bytes) override {
    if (First == 0) std::filesystem::resize_file(Path, static_cast<uintmax_t>(CutAt));
    for (int64_t i = 0; i < Count * RecordBytes; ++i) Sum += Bytes[i];
  }
};

// The scans of two files on two threads at once (as `-j 2` runs them), one
// cut while mapped: 0 when each outcome is the one a short read gives.
int CutWhileMappedOnTwoThreads() {
  TOpenFile A(EdfBytes::Valid(2, 300, 1000));
  TOpenFile B(EdfBytes::Valid(2, 300, 1000));
  const TRecordLayout Layout = RecordLayoutOf(A.F);
  const int64_t CutAt = Layout.HeaderBytes + 3 * Layout.RecordBytes + 10;
  TScanOutcome CutOutcome, Whole;
  std::thread Other([&] {
    TMinMaxFold Fold(Layout);
    TRecordVisitor* V[] = {&Fold};
    Whole = ScanRecords(*B.F.Stream(), Layout, V, {}, TScanSource::Map);
  });
  TCutWhileReading Cut(A.Path, CutAt);
  TRecordVisitor* V[] = {&Cut};
  CutOutcome = ScanRecords(*A.F.Stream(), Layout, V, {}, TScanSource::Map);
  Other.join();
  const std::string Error = "the file ends at byte " + std::to_string(CutAt) + ", in data record 4";
  const bool CutRight = CutOutcome.ReadFailed && CutOutcome.FailedRecord == 3 && CutOutcome.FailedOffset == CutAt &&
                        CutOutcome.RecordsScanned == 3 && CutOutcome.Error == Error;
  const bool WholeRight = !Whole.ReadFailed && Whole.RecordsScanned == 1000;
  if (!CutRight) std::fprintf(stderr, "cut: %s after %lld records\n", CutOutcome.Error.c_str(),
                              static_cast<long long>(CutOutcome.RecordsScanned));
  return CutRight && WholeRight ? 0 : 1;
}

TEST(RecordScan, AMappedFileCutWhileItsBytesAreReadEndsThePassAsAShortRead) {
  // In a child process: if the fault were not recovered it would end the
  // process, which must not take the test program with it.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(CutWhileMappedOnTwoThreads()), ::testing::ExitedWithCode(0), "");
}

TEST(RecordScan, CheckFileReportsAFileThatChangesWhileItIsScanned) {
  testkit::TempDir Dir;
  const std::string Path = Dir.File("g.edf");
  // 2 signals x 300 samples x 2000 records: 2.4 MB, so at least three blocks.
  testkit::WriteFileBytes(Path, EdfBytes::Valid(2, 300, 2000).Bytes());
  TCheckRequest Request;
  Request.MinMax = true;
  const int64_t CutAt = 768 + 1500 * 1200 + 7;
  int Calls = 0;
  // After the first block the file is cut inside record 1501.
  const TFileReport Cut = CheckFile(Path, Request, [&](int) {
    if (Calls++ == 0) std::filesystem::resize_file(Path, static_cast<uintmax_t>(CutAt));
  });
  EXPECT_TRUE(Cut.MinMaxFailed);
  EXPECT_FALSE(Cut.MinMaxRun);
  ASSERT_GE(Cut.Findings.size(), 2u);
  const TFinding& Read = Cut.Findings[Cut.Findings.size() - 2];
  EXPECT_EQ(Read.Rule, "file.read");
  EXPECT_EQ(Read.Where.Record, 1500);
  EXPECT_EQ(Read.Offset, CutAt);
  EXPECT_EQ(Cut.Findings.back().Rule, "file.changed");

  // A file that grows meanwhile is read to its announced end, and the
  // report says it changed instead of passing it silently.
  testkit::WriteFileBytes(Path, EdfBytes::Valid(2, 300, 2000).Bytes());
  Calls = 0;
  const TFileReport Grown = CheckFile(Path, Request, [&](int) {
    if (Calls++ == 0) std::ofstream(Path, std::ios::app) << std::string(600, 'x');
  });
  EXPECT_TRUE(Grown.MinMaxRun);
  EXPECT_TRUE(Grown.FileChanged);
  ASSERT_FALSE(Grown.Findings.empty());
  EXPECT_EQ(Grown.Findings.back().Rule, "file.changed");
  EXPECT_EQ(Grown.Findings.back().Message,
            "the file changed during the check: 2400768 bytes at the start, 2401368 at the end");
}

}  // namespace
