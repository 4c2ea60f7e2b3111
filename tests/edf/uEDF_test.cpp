// The EDF file object on the reading side: opening, the header verdict and
// the whole-file checks, the read plan and the loading of data records. The
// files are composed byte by byte by the test helper, not by our writer.
#include "edf/uEDF.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "edf/uDataFileErrors.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "support/uByteOrder.h"
#include "testkit/EdfBytes.h"
#include "testkit/RealFiles.h"
#include "util/udStr.h"

namespace {

using testkit::EdfBytes;
using testkit::TempDir;

int16_t Pattern(int record, int signal, int index) {
  return static_cast<int16_t>(record * 1000 + signal * 100 + index % 100);
}

std::unique_ptr<TEDFFile> OpenEdf(const std::string& path, bool strict = true) {
  auto file = std::make_unique<TEDFFile>();
  file->SetFileName(path);
  file->SetReadOnly(true);
  file->SetStrict(strict);
  file->SetActive(true);
  return file;
}

std::string WriteEdf(const TempDir& dir, const EdfBytes& edf, const std::string& name = "t.edf") {
  const std::string path = dir.File(name);
  testkit::WriteFileBytes(path, edf.Bytes());
  return path;
}

TEST(UEDFOpen, FileShorterThanAGeneralHeaderOpensWithEmptyTexts) {
  TempDir dir;
  const std::string path = dir.File("short.edf");
  testkit::WriteFileBytes(path, std::string(200, 'x'));
  auto file = OpenEdf(path);
  EXPECT_TRUE(file->Active());
  EXPECT_FALSE(file->Valid());
  for (const std::string& text : file->FileInfo()->OriginalHeader()) EXPECT_EQ(text, "");
  EXPECT_EQ(file->HeaderErrors(), TEDFHeaderErrors{heGeneralHeader});
  EXPECT_EQ(file->SignalCount(), 0);
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 0);
  EXPECT_FALSE(file->IsValid());
}

TEST(UEDFOpen, SignalsAnnouncedInAHeaderOnlyFileAreInvalidRecords) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 0);
  const std::string path = dir.File("t.edf");
  testkit::WriteFileBytes(path, edf.HeaderBytes().substr(0, 256));
  auto file = OpenEdf(path);
  ASSERT_EQ(file->SignalCount(), 2);
  EXPECT_FALSE(file->GetSignal(0)->IsValid());
  EXPECT_FALSE(file->GetSignal(1)->IsValid());
  EXPECT_EQ(file->HeaderErrors(), TEDFHeaderErrors{heSignalHeader});
  EXPECT_FALSE(file->Valid());
}

TEST(UEDFOpen, CountsTheCompleteRecordsPresentWhateverTheHeaderSays) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 10);
  edf.General[7] = "12";
  edf.Tail = std::string(200, '\0');  // half a record
  auto file = OpenEdf(WriteEdf(dir, edf));
  EXPECT_TRUE(file->Valid());
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 10);
  EXPECT_EQ(file->RecordSamples(), 200);
}

TEST(UEDFOpen, AHeldFileSizeStaysUntilReleasedOrReopened) {
  TempDir dir;
  const std::string path = WriteEdf(dir, EdfBytes::Valid(1, 10, 3));
  auto file = OpenEdf(path);
  const int64_t before = file->FileSize();
  file->HoldFileSize(true);
  EXPECT_EQ(file->FileSize(), before);
  std::ofstream(path, std::ios::app) << std::string(20, 'x');
  EXPECT_EQ(file->FileSize(), before);
  file->SetActive(false);
  file->SetActive(true);  // a new open asks again, even while held
  EXPECT_EQ(file->FileSize(), before + 20);
  std::ofstream(path, std::ios::app) << std::string(20, 'x');
  file->HoldFileSize(false);
  EXPECT_EQ(file->FileSize(), before + 40);
}

TEST(UEDFOpen, SettersRefuseAnOpenObjectAndTheSignalListChecksItsIndex) {
  TempDir dir;
  auto file = OpenEdf(WriteEdf(dir, EdfBytes::Valid()));
  EXPECT_THROW(file->SetFileName("other.edf"), EDataFileIsOpen);
  EXPECT_THROW(file->SetReadOnly(false), EDataFileIsOpen);
  EXPECT_THROW(file->GetSignal(2), EListError);
  EXPECT_THROW(file->GetSignal(-1), EListError);
  file->SetActive(false);
  EXPECT_FALSE(file->Active());
  EXPECT_NO_THROW(file->SetReadOnly(false));
}

TEST(UEDFOpen, MissingFileRaisesTheOpenErrorAndStaysClosed) {
  TempDir dir;
  TEDFFile file;
  file.SetFileName(dir.File("absent.edf"));
  file.SetReadOnly(true);
  EXPECT_THROW(file.SetActive(true), EFOpenError);
  EXPECT_FALSE(file.Active());
}

// The whole-file checks added by IsValid, one changed property per row.
struct WholeFileCase {
  const char* Name;
  int Samples;               // one signal
  const char* Duration;      // "SampleRecDuration" text
  const char* RecordsText;   // "NrDataRecords" text
  int Records;               // records present
  int TailBytes;             // extra bytes after them
  uint8_t ExpectedErrors;
  bool ExpectedStrict;
  bool ExpectedLenient;
  bool Bdf = false;
};
void PrintTo(const WholeFileCase& Case, std::ostream* Out) { *Out << Case.Name; }

class UEDFWholeFile : public ::testing::TestWithParam<WholeFileCase> {};

TEST_P(UEDFWholeFile, IsValidAddsTheFileProblems) {
  const WholeFileCase& c = GetParam();
  TempDir dir;
  EdfBytes edf = c.Bdf ? EdfBytes::ValidBdf(1, c.Samples, c.Records) : EdfBytes::Valid(1, c.Samples, c.Records);
  edf.General[7] = c.RecordsText;
  edf.General[8] = c.Duration;
  edf.Tail = std::string(static_cast<size_t>(c.TailBytes), '\0');
  const std::string path = WriteEdf(dir, edf);
  for (const bool strict : {true, false}) {
    SCOPED_TRACE(strict ? "strict" : "lenient");
    auto file = OpenEdf(path, strict);
    ASSERT_TRUE(file->Valid());
    EXPECT_EQ(file->IsValid(), strict ? c.ExpectedStrict : c.ExpectedLenient);
    EXPECT_EQ(file->HeaderErrors().Bits(), c.ExpectedErrors);
    EXPECT_TRUE(file->Valid());  // the checks never change the header verdict
    EXPECT_FALSE(file->InValidation());
  }
}

constexpr uint8_t kCountUnknown = 4, kTooLarge = 8, kTooShort = 16, kMismatch = 32, kBeyondCap = 64;

INSTANTIATE_TEST_SUITE_P(
    Cases, UEDFWholeFile,
    ::testing::Values(
        WholeFileCase{"Sound", 200, "1", "3", 3, 0, 0, true, true},
        WholeFileCase{"HalfRecordMore", 200, "1", "10", 10, 200, kMismatch, false, true},
        WholeFileCase{"CountSaysMore", 200, "1", "11", 10, 0, kMismatch, false, true},
        WholeFileCase{"CountUnknown", 200, "1", "-1", 2, 0, kCountUnknown, true, true},
        WholeFileCase{"RecordAtTheLimit", 30720, "1", "1", 1, 0, 0, true, true},
        WholeFileCase{"RecordOverTheLimit", 30721, "1", "1", 1, 0, kTooLarge, false, true},
        WholeFileCase{"HalfSecondTooShort", 10000, "0.5", "1", 1, 0, kTooShort, false, true},
        WholeFileCase{"HalfSecondFull", 20000, "0.5", "1", 1, 0, 0, true, true},
        // One second of these records is exactly 61440 bytes: allowed.
        WholeFileCase{"ExactLimitAt0275", 8448, "0.275", "1", 1, 0, 0, true, true},
        WholeFileCase{"ExactLimitAt04625", 14208, "0.4625", "1", 1, 0, 0, true, true},
        WholeFileCase{"HairBelowTheLimit", 8448, "0.275001", "1", 1, 0, kTooShort, false, true},
        WholeFileCase{"ExponentForm", 10000, "5E-1", "1", 1, 0, kTooShort, false, true},
        WholeFileCase{"OneSecondNeverShort", 10, "1", "1", 1, 0, 0, true, true},
        // BDF: 3 bytes a sample, and EDF's 61440-byte recommendation does not apply.
        WholeFileCase{"BdfSound", 200, "1", "3", 3, 0, 0, true, true, true},
        WholeFileCase{"BdfHalfRecordMore", 200, "1", "10", 10, 300, kMismatch, false, true, true},
        WholeFileCase{"BdfRecordOverEdfLimit", 30721, "1", "1", 1, 0, 0, true, true, true},
        WholeFileCase{"BdfHalfSecond", 10000, "0.5", "1", 1, 0, 0, true, true, true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(UEDFIsValid, OnAClosedObjectOpensJudgesAndClosesAgain) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(1, 30721, 1);
  TEDFFile file;
  file.SetFileName(WriteEdf(dir, edf));
  file.SetReadOnly(true);
  // Closed: only the header verdict; the whole-file checks need an open file.
  EXPECT_TRUE(file.IsValid());
  EXPECT_FALSE(file.Active());
  EXPECT_TRUE(file.HeaderErrors().Empty());
}

TEST(UEDFRead, LoadsTheSamplesOfEachRecord) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(3, 50, 4);
  edf.Signals[1][8] = "20";
  edf.Sample = Pattern;
  auto file = OpenEdf(WriteEdf(dir, edf));
  auto buffer = file->GetBuffer();
  ASSERT_EQ(buffer->size(), 120u);
  for (int r = 0; r < 4; ++r) {
    file->ReadDataRecord(r);
    EXPECT_EQ(file->CurrentRecord(), r);
    for (int s = 0; s < 3; ++s) {
      const TCustomEDFSignalInfo* signal = file->GetSignal(s);
      for (int i = 0; i < signal->NrSamples(); ++i)
        ASSERT_EQ((*buffer)[static_cast<size_t>(signal->BufferOffset() + i)], Pattern(r, s, i))
            << "record " << r << " signal " << s << " sample " << i;
    }
  }
}

// 3-byte samples sign-extended into the 32-bit buffer, through two chunks
// around an unselected signal; the 16-bit buffer stays empty.
TEST(UEDFRead, LoadsBdfSamplesSignExtended) {
  const int32_t Corners[] = {-1, -8388608, 8388607, 0, 1, -2, 65536};
  const auto pattern = [&](int r, int s, int i) { return i < 7 ? Corners[(i + r) % 7] : r * 100000 - s * 1000 - i; };
  TempDir dir;
  EdfBytes edf = EdfBytes::ValidBdf(3, 9, 2);
  edf.Signals[1][8] = "4";
  edf.Sample = pattern;
  edf.Tail = std::string(30, '\xFF');  // part of a third record
  auto file = OpenEdf(WriteEdf(dir, edf));
  EXPECT_EQ(file->Format(), TEDFFormat::BDF);
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 2);
  ASSERT_TRUE(file->Valid());
  file->GetSignal(1)->SetSelected(false);
  EXPECT_EQ(file->Chunks().size(), 2u);
  auto buffer = file->GetBuffer32();
  ASSERT_EQ(buffer->size(), 18u);
  EXPECT_TRUE(file->GetBuffer()->empty());
  for (int r = 0; r < 2; ++r) {
    file->ReadDataRecord(r);
    for (int s : {0, 2})
      for (int i = 0; i < 9; ++i)
        ASSERT_EQ((*buffer)[static_cast<size_t>(file->GetSignal(s)->BufferOffset() + i)], pattern(r, s, i))
            << "record " << r << " signal " << s << " sample " << i;
  }
}

TEST(UEDFRead, RecordIndexChecks) {
  TempDir dir;
  auto file = OpenEdf(WriteEdf(dir, EdfBytes::Valid(2, 100, 3)));
  EXPECT_THROW(file->ReadDataRecord(3), EDataFileReadData);
  EXPECT_THROW(file->ReadDataRecord(-2), EDataFileReadData);
  file->ReadDataRecord(2);
  file->SetActive(false);
  // The record already loaded costs nothing, even on a closed object.
  EXPECT_NO_THROW(file->ReadDataRecord(2));
  EXPECT_THROW(file->ReadDataRecord(1), EDataFileHeaderInvalid);

  TEDFFile fresh;
  EXPECT_NO_THROW(fresh.ReadDataRecord(-1));
  EXPECT_THROW(fresh.ReadDataRecord(0), EDataFileHeaderInvalid);
}

TEST(UEDFRead, InvalidHeaderLeavesNothingToLoad) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 3);
  edf.General[0] = "1";
  auto file = OpenEdf(WriteEdf(dir, edf));
  EXPECT_TRUE(file->Active());
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 0);
  EXPECT_EQ(file->RecordSamples(), 0);
  EXPECT_THROW(file->ReadDataRecord(0), EDataFileReadData);
}

TEST(UEDFRead, FileCutAfterOpeningRaisesInsteadOfKeepingOldSamples) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 3);
  edf.Sample = Pattern;
  const std::string path = WriteEdf(dir, edf);
  auto file = OpenEdf(path);
  file->GetBuffer();
  file->ReadDataRecord(0);
  ASSERT_EQ(::truncate(path.c_str(), 768 + 400 + 200), 0);
  EXPECT_THROW(file->ReadDataRecord(1), EDataFileReadData);  // second signal cut off
  EXPECT_EQ(file->CurrentRecord(), -1);
  EXPECT_THROW(file->ReadDataRecord(2), EDataFileReadData);
  file->ReadDataRecord(0);
  EXPECT_EQ((*file->GetBuffer())[150], Pattern(0, 1, 50));
}

// The sample order on disk, whatever the host's: low byte first, two's complement.
TEST(UByteOrder, SamplesAreLittleEndianTwosComplement) {
  const struct {
    unsigned char Bytes[2];
    int16_t Value;
  } Cases[] = {{{0x34, 0x12}, 0x1234},
               {{0xFE, 0xFF}, -2},
               {{0x00, 0x80}, -32768},
               {{0xFF, 0x7F}, 32767}};
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(LoadLE16(c.Bytes), c.Value);
    unsigned char stored[2] = {};
    StoreLE16(stored, c.Value);
    EXPECT_EQ(stored[0], c.Bytes[0]);
    EXPECT_EQ(stored[1], c.Bytes[1]);
    int16_t inPlace = 0;
    std::memcpy(&inPlace, c.Bytes, 2);
    LE16ToHost(&inPlace, 1);
    EXPECT_EQ(inPlace, c.Value);
  }
}

TEST(UEDFPlan, AdjacentSelectedSignalsShareOneChunk) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(4, 10, 2);
  edf.Signals[1][8] = "20";
  edf.Signals[2][8] = "30";
  edf.Signals[3][8] = "40";
  edf.Sample = Pattern;
  auto file = OpenEdf(WriteEdf(dir, edf));
  ASSERT_EQ(file->Chunks().size(), 1u);
  file->ReadDataRecord(1);
  file->GetSignal(1)->SetSelected(false);  // selected, unselected, selected, selected
  EXPECT_EQ(file->CurrentRecord(), -1);
  EXPECT_EQ(file->GetBuffer()->size(), 80u);
  ASSERT_EQ(file->Chunks().size(), 2u);
  EXPECT_EQ(file->Chunks()[0].RecordOffset, 0);
  EXPECT_EQ(file->Chunks()[0].BufferOffset, 0);
  EXPECT_EQ(file->Chunks()[0].Count, 10);
  EXPECT_EQ(file->Chunks()[1].RecordOffset, 30);
  EXPECT_EQ(file->Chunks()[1].BufferOffset, 10);
  EXPECT_EQ(file->Chunks()[1].Count, 70);
  EXPECT_EQ(file->GetSignal(1)->BufferOffset(), -1);
  EXPECT_EQ(file->GetSignal(1)->RecordOffset(), 10);
  EXPECT_EQ(file->GetSignal(3)->BufferOffset(), 40);
  EXPECT_EQ(file->GetSignal(3)->RecordOffset(), 60);
  EXPECT_EQ(file->RecordSamples(), 100);

  file->ReadDataRecord(1);
  auto buffer = file->GetBuffer();
  EXPECT_EQ((*buffer)[9], Pattern(1, 0, 9));
  EXPECT_EQ((*buffer)[10], Pattern(1, 2, 0));
  EXPECT_EQ((*buffer)[79], Pattern(1, 3, 39));
}

TEST(UEDFPlan, AnOldBufferReferenceKeepsItsSamples) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 10, 2);
  edf.Sample = Pattern;
  auto file = OpenEdf(WriteEdf(dir, edf));
  auto before = file->GetBuffer();
  EXPECT_EQ(file->GetBuffer().get(), before.get());  // shared, not copied
  file->ReadDataRecord(1);
  file->UpdateChunks(nullptr);
  EXPECT_NE(file->GetBuffer().get(), before.get());
  EXPECT_EQ((*before)[0], Pattern(1, 0, 0));
  EXPECT_EQ((*file->GetBuffer())[0], 0);
}

TEST(UEDFPlan, ReReadingHeadersPlacesTheNewSignalRecords) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 10, 1);
  edf.Signals[0][8] = "25";
  auto file = OpenEdf(WriteEdf(dir, edf));
  file->ReadHeaders();
  EXPECT_EQ(file->GetSignal(1)->RecordOffset(), 25);
  EXPECT_EQ(file->GetSignal(1)->BufferOffset(), 25);
  EXPECT_EQ(file->GetBuffer()->size(), 35u);
}

TEST(UEDFStrict, ChangingItRejudgesValidButNotHeaderErrors) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(1, 100, 5);
  edf.General[7] = " 4";  // a leading blank is a fault only under strict checking
  auto file = OpenEdf(WriteEdf(dir, edf), true);
  EXPECT_FALSE(file->Valid());
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 0);
  file->SetStrict(false);
  EXPECT_TRUE(file->Valid());
  EXPECT_EQ(file->HeaderErrors(), TEDFHeaderErrors{heGeneralHeader});
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 4);  // the header's value again

  auto lenient = OpenEdf(WriteEdf(dir, edf, "l.edf"), false);
  EXPECT_TRUE(lenient->Valid());
  EXPECT_EQ(lenient->FileInfo()->NrDataRecords(), 5);  // counted from the size
  lenient->SetStrict(true);
  EXPECT_FALSE(lenient->Valid());
  EXPECT_TRUE(lenient->HeaderErrors().Empty());
}

TEST(UEDFStrict, LenientOpenDetectsADecimalComma) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(1, 100, 2);
  edf.General[8] = "0,5";
  const std::string path = WriteEdf(dir, edf);
  auto strict = OpenEdf(path, true);
  EXPECT_FALSE(strict->Valid());
  EXPECT_EQ(strict->DecimalSeparator(), '.');

  auto lenient = OpenEdf(path, false);
  EXPECT_TRUE(lenient->Valid());
  EXPECT_EQ(lenient->DecimalSeparator(), ',');
  EXPECT_DOUBLE_EQ(static_cast<double>(lenient->FileInfo()->SampleRecDuration()), 0.5);
  EXPECT_EQ(lenient->HeaderErrors(), TEDFHeaderErrors{heGeneralHeader});
  EXPECT_EQ(lenient->FileInfo()->NrDataRecords(), 2);
}

// A file written under a locale with a decimal comma in the physical range.
// The physical range never decides the verdict, so the open has no reason to
// guess; asked to, the object guesses from the fields that failed and applies
// the guess to every number field.
struct DetectCase {
  const char* Name;
  const char* Physimin;  // of the second signal
  const char* Physimax;
  bool ExpectedDetected;
  char ExpectedDecimal;
  char ExpectedThousand;
  bool ExpectedRangeValid;
  double ExpectedPhysimin;  // checked when the range is valid
  double ExpectedPhysimax;
};
void PrintTo(const DetectCase& Case, std::ostream* Out) { *Out << Case.Name; }

class UEDFDetect : public ::testing::TestWithParam<DetectCase> {};

TEST_P(UEDFDetect, GuessFromThePhysicalRangeReparsesEverySignal) {
  const DetectCase& c = GetParam();
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 2);
  edf.Signals[1][sfPhysimin] = c.Physimin;
  edf.Signals[1][sfPhysimax] = c.Physimax;
  auto file = OpenEdf(WriteEdf(dir, edf), false);
  ASSERT_TRUE(file->Valid());
  EXPECT_EQ(file->DecimalSeparator(), '.');
  EXPECT_FALSE(file->GetSignal(1)->Calibrated());

  EXPECT_EQ(file->DetectNumberFormat(), c.ExpectedDetected);
  EXPECT_EQ(file->DecimalSeparator(), c.ExpectedDecimal);
  EXPECT_EQ(file->ThousandSeparator(), c.ExpectedThousand);
  // The guess reaches every record, not only the one it came from.
  EXPECT_EQ(file->FileInfo()->DecimalSeparator(), c.ExpectedDecimal);
  EXPECT_EQ(file->GetSignal(0)->DecimalSeparator(), c.ExpectedDecimal);
  EXPECT_EQ(file->GetSignal(0)->ThousandSeparator(), c.ExpectedThousand);
  EXPECT_TRUE(file->GetSignal(0)->Calibrated()) << "\"-500\" reads the same under any guess";
  const TCustomEDFSignalInfo* signal = file->GetSignal(1);
  EXPECT_TRUE(signal->IsValid());
  EXPECT_EQ(signal->GetFieldValid(sfPhysimin) && signal->GetFieldValid(sfPhysimax),
            c.ExpectedRangeValid);
  EXPECT_EQ(signal->Calibrated(), c.ExpectedRangeValid);
  if (c.ExpectedRangeValid) {
    EXPECT_DOUBLE_EQ(signal->Physimin(), c.ExpectedPhysimin);
    EXPECT_DOUBLE_EQ(signal->Physimax(), c.ExpectedPhysimax);
  }
  EXPECT_TRUE(file->HeaderValid());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UEDFDetect,
    ::testing::Values(
        DetectCase{"CommaInBoth", "-500,5", "500,5", true, ',', '\0', true, -500.5, 500.5},
        DetectCase{"CommaAndPointGroups", "-500", "1.000,25", true, ',', '.', true, -500, 1000.25},
        // Only failed texts are looked at: "-500.5" was sound under the point
        // and breaks the thousands groups guessed from the other field.
        DetectCase{"GuessBreaksASoundField", "-500.5", "1.000,25", true, ',', '.', false, 0, 0},
        // A text that starts with a letter ends the guess: nothing changes.
        DetectCase{"NoNumberAtAll", "abc", "500", false, '.', '\0', false, 0, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(UEDFStrict, LenientOpenGuessesFromDurationAndPhysicalRangeTogether) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 2);
  edf.General[gfSampleRecDuration] = "0,5";   // gives the decimal separator only
  edf.Signals[1][sfPhysimin] = "-1.234,5";    // gives the thousand separator
  edf.Signals[1][sfPhysimax] = "1.234,5";
  auto file = OpenEdf(WriteEdf(dir, edf), false);
  EXPECT_TRUE(file->Valid());
  EXPECT_EQ(file->DecimalSeparator(), ',');
  EXPECT_EQ(file->ThousandSeparator(), '.');
  EXPECT_EQ(file->HeaderErrors(), TEDFHeaderErrors{heGeneralHeader});
  EXPECT_DOUBLE_EQ(static_cast<double>(file->FileInfo()->SampleRecDuration()), 0.5);
  const TCustomEDFSignalInfo* signal = file->GetSignal(1);
  EXPECT_TRUE(signal->Calibrated());
  EXPECT_DOUBLE_EQ(signal->Physimin(), -1234.5);
  EXPECT_DOUBLE_EQ(signal->Physimax(), 1234.5);
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 2);
}

TEST(UEDFStrict, SeparatorsSetOnAnOpenFileReparseEveryRecord) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 100, 2);
  edf.Signals[1][sfPhysimin] = "-1.234,5";
  edf.Signals[1][sfPhysimax] = "1.234,5";
  auto file = OpenEdf(WriteEdf(dir, edf), true);
  // Strict opens make no guess; lenient checking from here on still doesn't.
  file->SetStrict(false);
  const TCustomEDFSignalInfo* signal = file->GetSignal(1);
  ASSERT_EQ(file->DecimalSeparator(), '.');
  EXPECT_FALSE(signal->GetFieldValid(sfPhysimin));

  file->SetDecimalSeparator(',');
  signal = file->GetSignal(1);
  EXPECT_FALSE(signal->GetFieldValid(sfPhysimin)) << "the point is no decimal any more";
  EXPECT_FALSE(signal->GetFieldValid(sfPhysimax));

  file->SetThousandSeparator('.');
  signal = file->GetSignal(1);
  EXPECT_EQ(signal->ThousandSeparator(), '.');
  EXPECT_EQ(file->FileInfo()->ThousandSeparator(), '.');
  EXPECT_TRUE(signal->GetFieldValid(sfPhysimin));
  EXPECT_TRUE(signal->GetFieldValid(sfPhysimax));
  EXPECT_DOUBLE_EQ(signal->Physimin(), -1234.5);
  EXPECT_DOUBLE_EQ(signal->Physimax(), 1234.5);
  EXPECT_TRUE(file->SignalHeadersValid());
  EXPECT_TRUE(file->HeaderValid());  // "1" still reads as 1 under the new separators

  // EDF itself knows only the point: strict checking refuses any other separators.
  file->SetStrict(true);
  EXPECT_FALSE(file->GetSignal(1)->GetFieldValid(sfPhysimin));
  EXPECT_FALSE(file->GetSignal(0)->GetFieldValid(sfPhysimin));
  EXPECT_FALSE(file->GetSignal(1)->Calibrated());
}

TEST(UEDFHeaderErrors, EachElementIsItsOwnBit) {
  const struct {
    TEDFHeaderError Element;
    uint8_t Bit;
  } Cases[] = {{heGeneralHeader, 1},  {heSignalHeader, 2},     {heRecordCountUnknown, 4},
               {heRecordTooLarge, 8}, {heRecordTooShort, 16}, {heFileSizeMismatch, 32}};
  TEDFHeaderErrors all;
  for (const auto& c : Cases) {
    SCOPED_TRACE(static_cast<int>(c.Element));
    const TEDFHeaderErrors one{c.Element};
    EXPECT_EQ(one.Bits(), c.Bit);
    EXPECT_TRUE(one.Contains(c.Element));
    EXPECT_FALSE(one.Empty());
    all.Include(c.Element);
  }
  EXPECT_EQ(all.Bits(), 63);
  for (const auto& c : Cases) {
    TEDFHeaderErrors rest = all;
    rest.Exclude(c.Element);
    EXPECT_EQ(rest.Bits(), 63 - c.Bit);
    EXPECT_FALSE(rest.Contains(c.Element));
  }
  EXPECT_TRUE(TEDFHeaderErrors{}.Empty());
}

// Headers that announce absurd sizes: an invalid verdict or a clean EDataFile
// error, never a crash or a gigabyte buffer.
struct CraftedCase {
  const char* Name;
  int Signals;
  const char* Samples;
  const char* RecordsText;
  int64_t ExpectedRecordSamples;
  uint8_t ExpectedErrors;
  size_t ExpectedBufferLength;  // asked for; 0 when the plan is refused
  bool Bdf = false;
};
void PrintTo(const CraftedCase& Case, std::ostream* Out) { *Out << Case.Name; }

class UEDFCrafted : public ::testing::TestWithParam<CraftedCase> {};

TEST_P(UEDFCrafted, EndsAsAVerdictWithoutAllocating) {
  const CraftedCase& c = GetParam();
  TempDir dir;
  EdfBytes edf = c.Bdf ? EdfBytes::ValidBdf(c.Signals, 1, 0) : EdfBytes::Valid(c.Signals, 1, 0);
  for (auto& signal : edf.Signals) signal[8] = c.Samples;
  edf.General[7] = c.RecordsText;
  edf.Tail = std::string(1000, '\0');
  auto file = OpenEdf(WriteEdf(dir, edf));
  ASSERT_TRUE(file->Valid());
  EXPECT_EQ(file->RecordSamples(), c.ExpectedRecordSamples);
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 0);
  EXPECT_FALSE(file->IsValid());
  EXPECT_EQ(file->HeaderErrors().Bits(), c.ExpectedErrors);
  EXPECT_EQ(file->PlannedBufferLength(), c.ExpectedRecordSamples);
  EXPECT_EQ(c.Bdf ? file->GetBuffer32()->size() : file->GetBuffer()->size(), c.ExpectedBufferLength);
  EXPECT_THROW(file->ReadDataRecord(0), EDataFileReadData);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UEDFCrafted,
    ::testing::Values(CraftedCase{"OverTheBufferCap", 2, "99999999", "1", 199999998,
                                  kTooLarge | kMismatch, 0},
                      CraftedCase{"SumBeyond32Bits", 30, "99999999", "99999999", 2999999970,
                                  kTooLarge | kMismatch, 0},
                      CraftedCase{"MostSignalsLargestCounts", 9999, "99999999", "99999999",
                                  int64_t{9999} * 99999999, kTooLarge | kMismatch, 0},
                      // Under the cap: no record in the file, yet asked for,
                      // the buffer has the length of one.
                      CraftedCase{"UnderTheCapWithoutARecord", 1, "40000000", "1", 40000000,
                                  kTooLarge | kMismatch, 40000000},
                      // BDF has no record limit of its own: the cap is the limit.
                      CraftedCase{"BdfOverTheBufferCap", 2, "99999999", "1", 199999998,
                                  kBeyondCap | kMismatch, 0, true},
                      CraftedCase{"BdfUnderTheCapWithoutARecord", 1, "40000000", "1", 40000000,
                                  kMismatch, 40000000, true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(UEDFCrafted, RecordCountFarBeyondTheFileIsAMismatch) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(1, 100, 2);
  edf.General[7] = "99999999";
  auto file = OpenEdf(WriteEdf(dir, edf));
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 2);
  EXPECT_FALSE(file->IsValid());
  EXPECT_EQ(file->HeaderErrors().Bits(), kMismatch);
  EXPECT_THROW(file->ReadDataRecord(2), EDataFileReadData);
}

TEST(UEDFCrafted, RecordBeyondTheBufferCapIsRefusedOnReading) {
  TempDir dir;
  EdfBytes edf = EdfBytes::Valid(2, 1, 0);
  for (auto& signal : edf.Signals) signal[8] = "40000000";
  edf.General[7] = "1";
  const std::string path = WriteEdf(dir, edf);
  // One whole record of 160 MB, sparse so that it costs nothing.
  std::filesystem::resize_file(path, 768 + int64_t{160000000});
  auto file = OpenEdf(path);
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 1);
  EXPECT_FALSE(file->IsValid());
  EXPECT_EQ(file->HeaderErrors().Bits(), kTooLarge);
  EXPECT_EQ(file->GetBuffer()->capacity(), 0u);
  EXPECT_THROW(file->ReadDataRecord(0), EDataFileReadData);
}

// Resident memory of this process in KiB as /proc/self/status gives it
// ("VmRSS", "VmHWM"); -1 when the line is missing.
int64_t StatusKiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key + ":", 0) == 0) return std::stoll(line.substr(key.size() + 1));
  return -1;
}

// Runs Work in a child process and gives the growth of its peak resident
// memory in KiB over what it held before, or -1 when Work failed.
int64_t PeakGrowthKiB(const std::function<void()>& Work) {
  int channel[2];
  if (::pipe(channel) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    int64_t growth = -1;
    try {
      // Writing 5 resets the peak to the present size (Linux 4.0 on); when
      // refused, the peak inherited from the parent only makes the figure larger.
      std::ofstream("/proc/self/clear_refs") << "5";
      const int64_t before = StatusKiB("VmRSS");
      Work();
      growth = StatusKiB("VmHWM") - before;
    } catch (...) {
    }
    const bool sent = ::write(channel[1], &growth, sizeof growth) == sizeof growth;
    ::_exit(sent ? 0 : 1);
  }
  ::close(channel[1]);
  int64_t growth = -1;
  if (child < 0 || ::read(channel[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(channel[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return growth;
}

// AddressSanitizer keeps freed memory aside and shadows what is used, so the
// figures then say nothing about the program.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryFiguresMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool MemoryFiguresMeaningful = false;
#else
constexpr bool MemoryFiguresMeaningful = true;
#endif
#else
constexpr bool MemoryFiguresMeaningful = true;
#endif

// A file under 1 MB cannot make the open reserve memory for records it does
// not hold, whatever its header announces.
TEST(UEDFCrafted, OpeningASmallFileStaysSmallWhateverItsHeaderAnnounces) {
  if (!MemoryFiguresMeaningful) GTEST_SKIP() << "no memory figures under AddressSanitizer";
  const struct {
    const char* What;
    int Signals;
    const char* Samples;
    bool SignalHeaders;  // written, or cut off after the general header
  } Cases[] = {
      {"one signal of 40000000 samples", 1, "40000000", true},
      {"4000 signals of 99999999 samples", 4000, "99999999", true},
      {"9999 signals announced, no signal headers", 9999, "1", false},
  };
  constexpr int64_t LimitKiB = 16 * 1024;
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.What);
    TempDir dir;
    EdfBytes edf = EdfBytes::Valid(c.Signals, 1, 0);
    for (auto& signal : edf.Signals) signal[8] = c.Samples;
    edf.General[7] = "1";
    std::string bytes = c.SignalHeaders ? edf.HeaderBytes() : edf.HeaderBytes().substr(0, 256);
    bytes.resize(std::max<size_t>(bytes.size(), 1024), '\0');
    ASSERT_LT(bytes.size(), size_t{1} << 20);
    const std::string path = dir.File("crafted.edf");
    testkit::WriteFileBytes(path, bytes);
    // The window's sequence: a strict open and verdict, a lenient re-read of
    // the headers and its verdict, strict again.
    const int64_t growth = PeakGrowthKiB([&] {
      auto file = OpenEdf(path);
      file->IsValid();
      file->SetStrict(false);
      file->ReadHeaders();
      file->IsValid();
      file->SetStrict(true);
    });
    ASSERT_GE(growth, 0) << "the child failed";
    EXPECT_LT(growth, LimitKiB);
    std::cout << "[ memory   ] " << c.What << ": peak grew by " << growth << " KiB\n";
  }
}

// A sparse file of `records` records of 30000 samples; the last one carries
// the pattern. Empty when the file system refuses the size.
std::string WriteSparseEdf(const TempDir& dir, int records) {
  EdfBytes edf = EdfBytes::Valid(1, 30000, 0);
  edf.General[7] = std::to_string(records);
  const std::string path = dir.File("big.edf");
  testkit::WriteFileBytes(path, edf.HeaderBytes());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return "";
  const int64_t recordBytes = 60000;
  const int64_t size = 512 + records * recordBytes;
  std::string last;
  for (int i = 0; i < 30000; ++i) {
    const auto v = static_cast<uint16_t>(Pattern(7, 0, i));
    last.push_back(static_cast<char>(v & 0xFF));
    last.push_back(static_cast<char>(v >> 8));
  }
  const bool ok = ::ftruncate(fd, size) == 0 &&
                  ::pwrite(fd, last.data(), last.size(), size - recordBytes) ==
                      static_cast<ssize_t>(last.size());
  ::close(fd);
  return ok ? path : "";
}

TEST(UEDFLargeFile, BeyondTwoAndFourGiBCountsAndReadsTheLastRecord) {
  for (const int records : {35800, 71600}) {  // 2.15e9 and 4.30e9 bytes
    SCOPED_TRACE(records);
    TempDir dir;
    const std::string path = WriteSparseEdf(dir, records);
    if (path.empty()) GTEST_SKIP() << "the temporary file system refuses a sparse file of "
                                   << records << " records";
    auto file = OpenEdf(path);
    EXPECT_GT(file->FileSize(), int64_t{2147483647});
    EXPECT_EQ(file->FileInfo()->NrDataRecords(), records);
    EXPECT_TRUE(file->IsValid());
    EXPECT_TRUE(file->HeaderErrors().Empty());
    file->ReadDataRecord(records - 1);
    auto buffer = file->GetBuffer();
    EXPECT_EQ((*buffer)[0], Pattern(7, 0, 0));
    EXPECT_EQ((*buffer)[29999], Pattern(7, 0, 29999));
    file->ReadDataRecord(records - 2);
    EXPECT_EQ((*buffer)[0], 0);
  }
}

// Opening, judging and reading every record of a file, as the checker does.
// Only the EDataFile family may come out; the file must stay untouched.
void CheckReadOnlyUse(const std::string& path, bool strict) {
  const std::string bytes = testkit::ReadFileBytes(path);
  const int64_t mtime = testkit::FileMTimeNs(path);
  bool active = false;
  try {
    auto file = OpenEdf(path, strict);
    active = file->Active();
    file->IsValid();
    if (file->Valid())
      for (int32_t r = 0; r < file->FileInfo()->NrDataRecords(); ++r) file->ReadDataRecord(r);
    file->SetActive(false);
  } catch (const EDataFile&) {
    // allowed: a clean refusal of the file
  }
  EXPECT_TRUE(active);
  EXPECT_EQ(testkit::ReadFileBytes(path), bytes);
  EXPECT_EQ(testkit::FileMTimeNs(path), mtime);
}

TEST(UEDFReadOnly, SampleFileStaysUnchangedAndIsValid) {
  const std::string path = std::string(VELLICOR_SOURCE_DIR) + "/examples/sample.edf";
  CheckReadOnlyUse(path, true);
  auto file = OpenEdf(path);
  EXPECT_TRUE(file->IsValid());
  EXPECT_EQ(file->FileInfo()->NrDataRecords(), 10);
  EXPECT_EQ(file->RecordSamples(), 140);
}

TEST(UEDFReadOnly, RealFilesGetTheirVerdictAndStayUnchanged) {
  const std::string dir = testkit::RealTestDataDir();
  if (dir.empty()) GTEST_SKIP() << "no real test data folder";
  for (const testkit::RealFile& real : testkit::RealFiles()) {
    const std::string path = dir + "/" + real.Name;
    SCOPED_TRACE(path);
    if (!std::filesystem::is_regular_file(path)) {
      ADD_FAILURE() << "missing from the real test data";
      continue;
    }
    CheckReadOnlyUse(path, true);
    CheckReadOnlyUse(path, false);
    auto file = OpenEdf(path);
    EXPECT_EQ(file->Format(), real.Bdf() ? TEDFFormat::BDF : TEDFFormat::EDF);
    EXPECT_EQ(file->IsValid(), real.Valid);
    EXPECT_EQ(file->SampleBytes() * file->PlannedBufferLength(), real.DataBlockBytes);
    const TCustomEDFFileInfo& info = *file->FileInfo();
    for (int f = 0; f < EDFFieldCount; ++f)
      EXPECT_EQ(info.FieldValid()[static_cast<size_t>(f)], !real.Faulty(f)) << "field " << f;
    for (const testkit::RealFault& fault : real.Faults)
      EXPECT_EQ(Trim(info.OriginalHeader()[static_cast<size_t>(fault.Field)]), fault.Raw);
  }
  for (const std::string& path : testkit::UntabledRealFiles(dir)) {
    SCOPED_TRACE(path);
    CheckReadOnlyUse(path, true);
    CheckReadOnlyUse(path, false);
  }
}

}  // namespace
