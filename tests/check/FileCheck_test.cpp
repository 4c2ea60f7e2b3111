// What checking one file comes to: one outcome, whichever passes read the
// data records, and each field's worst finding over the whole report.
#include "check/FileCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "edf/uEDFLayout.h"
#include "testkit/PlusBytes.h"

using testkit::PlusBytes;

namespace {

// The descriptor this process holds on Path.
int DescriptorOf(const std::string& Path) {
  const std::filesystem::path Want = std::filesystem::canonical(Path);
  for (const auto& Entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code Error;
    if (std::filesystem::read_symlink(Entry.path(), Error) == Want) return std::stoi(Entry.path().filename());
  }
  return -1;
}

enum class TFault { None, ReadError, FileShort };

struct TRow {
  const char* Name;
  TFault Fault;
  bool MinMax, Conformance, ConformanceOnly;
  TFileOutcome Outcome;
};

TEST(FileCheck, AReadFailingHalfWayIsTheReadersFaultWhicheverPassMetIt) {
  using enum TFileOutcome;
  const TRow Rows[] = {
      {"clean, min/max", TFault::None, true, false, false, Valid},
      {"clean, conformance", TFault::None, false, true, false, Valid},
      {"read error, min/max", TFault::ReadError, true, false, false, CannotRead},
      {"read error, conformance", TFault::ReadError, false, true, false, CannotRead},
      {"read error, both in one pass", TFault::ReadError, true, true, false, CannotRead},
      {"read error, conformance only", TFault::ReadError, false, true, true, CannotRead},
      // Records the file never held: its own fault, already in its verdict.
      {"file short, conformance", TFault::FileShort, false, true, false, Invalid},
      {"file short, conformance only", TFault::FileShort, false, true, true, Invalid},
  };
  for (const TRow& Row : Rows) {
    testkit::TempDir Dir;
    const std::string Path = Dir.File("f.edf");
    // Records of 100 bytes: 100000 take more than one window of the mapped
    // pass, so the pass goes back to the descriptor after the first block.
    PlusBytes P = PlusBytes::Valid(100000);
    if (Row.Fault == TFault::FileShort) P.Records = 90000;
    P.Write(Path);
    // A read error without a change of size: after the first block the
    // file's descriptor reads a write-only twin of the same size.
    const std::string Twin = Dir.File("twin.edf");
    std::filesystem::copy_file(Path, Twin);
    const int WriteOnly = ::open(Twin.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(WriteOnly, 0);
    bool Swapped = false;
    TCheckRequest Request;
    Request.MinMax = Row.MinMax;
    Request.Conformance = Row.Conformance;
    Request.ConformanceOnly = Row.ConformanceOnly;
    const TFileReport R = CheckFile(Path, Request, [&](int) {
      if (Row.Fault != TFault::ReadError || Swapped) return;
      Swapped = ::dup2(WriteOnly, DescriptorOf(Path)) >= 0;
    });
    ::close(WriteOnly);
    EXPECT_EQ(Swapped, Row.Fault == TFault::ReadError) << Row.Name;
    EXPECT_FALSE(R.FileChanged) << Row.Name;
    EXPECT_EQ(R.Outcome, Row.Outcome) << Row.Name;
  }
}

TEST(FileCheck, AFieldsSeverityIsItsWorstFindingInTheWholeReport) {
  testkit::TempDir Dir;
  const std::string Path = Dir.File("f.edf");
  PlusBytes P = PlusBytes::Valid(3);
  P.Header.General[gfStartDate] = "01-02-03";  // a classic error
  P.Header.General[gfPatient] = "X  M X X";    // a conformance error, no classic one
  P.Write(Path);
  TCheckRequest Request;
  Request.Conformance = true;
  Request.ConformanceOnly = true;
  const TFileReport R = CheckFile(Path, Request);
  const TFieldView& Date = R.Judgement.General[gfStartDate];
  const TFieldView& Patient = R.Judgement.General[gfPatient];
  // Judged by conformance alone the classic fault is a warning; the box
  // keeps the colour the window gives it.
  EXPECT_EQ(Date.Severity, TSeverity::Warning);
  EXPECT_EQ(Date.Mark, TFieldMark::Error);
  EXPECT_EQ(Patient.Severity, TSeverity::Error);
  EXPECT_EQ(Patient.Mark, TFieldMark::None);
  EXPECT_EQ(R.Judgement.General[gfVersion].Severity, std::nullopt);
  EXPECT_EQ(R.Outcome, TFileOutcome::Invalid);
}

}  // namespace
