// The EDF file object on the writing side: creating a file, composing and
// writing its headers, appending and overwriting data records. The bytes
// written are checked directly where the layout matters.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "support_lib/EdfBytes.h"
#include "util/uCalendar.h"

namespace {

using testsupport::EdfBytes;
using testsupport::TempDir;

int16_t Pattern(int record, int signal, int index) {
  return static_cast<int16_t>(-(record * 1000 + signal * 100 + index));
}

// Sample i of data record `record`, straight from the file's bytes.
int16_t SampleAt(const std::string& bytes, int64_t headerBytes, int64_t recordSamples,
                 int64_t record, int64_t i) {
  const size_t at = static_cast<size_t>(headerBytes + 2 * (record * recordSamples + i));
  const auto lo = static_cast<uint8_t>(bytes.at(at));
  const auto hi = static_cast<uint8_t>(bytes.at(at + 1));
  return static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
}

// Fills every field of a signal with sound values.
void ComposeSignal(TCustomEDFSignalInfo& s, int index, int samples) {
  s.SetSignalLabel("EEG " + std::to_string(index));
  s.SetTransducertype("AgAgCl electrode");
  s.SetPhysidim("uV");
  s.SetPhysimin(-500);
  s.SetPhysimax(500.5);
  s.SetDigimin(-2048);
  s.SetDigimax(2047);
  s.SetPrefilter("HP:0.1Hz");
  s.SetNrSamples(samples);
  s.SetReserved("");
}

// A new file of signals with the given samples per record, header written.
std::unique_ptr<TEDFFile> CreateComposed(const std::string& path, std::initializer_list<int> samples,
                                         long double duration = 0.25) {
  auto file = std::make_unique<TEDFFile>();
  file->SetFileName(path);
  file->CreateNew(static_cast<int>(samples.size()), false);
  TCustomEDFFileInfo& info = *file->FileInfo();
  info.SetPatient("X M 01-JAN-1970 Test_Person");
  info.SetRecording("Startdate 07-DEC-2026 X X Vellicor");
  info.SetStartDate(EncodeDate(2026, 12, 7));
  info.SetStartTime(EncodeTime(22, 30, 5, 0));
  info.SetSampleRecDuration(duration);
  info.SetReserved("EDF+C");
  int i = 0;
  for (const int n : samples) {
    ComposeSignal(*file->GetSignal(i), i, n);
    ++i;
  }
  file->WriteHeaders();
  return file;
}

void AppendPatternRecord(TEDFFile& file, int record) {
  auto buffer = file.GetBuffer();
  for (int s = 0; s < file.SignalCount(); ++s) {
    const TCustomEDFSignalInfo& signal = *file.GetSignal(s);
    if (signal.BufferOffset() < 0) continue;
    for (int i = 0; i < signal.NrSamples(); ++i)
      (*buffer)[static_cast<size_t>(signal.BufferOffset() + i)] = Pattern(record, s, i);
  }
  file.WriteDataRecord(file.FileInfo()->NrDataRecords());
}

TEST(UEDFCreate, NewFileStartsWithTheHeaderSizeAndAnUnknownCount) {
  TempDir dir;
  TEDFFile file;
  file.SetFileName(dir.File("new.edf"));
  file.CreateNew(2, false);
  EXPECT_TRUE(file.Creating());
  EXPECT_FALSE(file.Active());
  EXPECT_FALSE(file.ReadOnly());
  EXPECT_EQ(file.SignalCount(), 2);
  EXPECT_EQ(file.FileInfo()->HeaderBytes(), 768);
  EXPECT_EQ(file.FileInfo()->NrDataRecords(), -1);
  EXPECT_EQ(file.FileInfo()->Version(), "0");
  EXPECT_TRUE(file.HeaderModified());
  EXPECT_THROW(file.SetReadOnly(true), EDataFileIsCreating);
  EXPECT_THROW(file.SetFileName("x.edf"), EDataFileIsOpen);
  EXPECT_THROW(file.WriteDataRecord(0), EDataFileHeaderInvalid);
}

TEST(UEDFCreate, RefusalsComeBeforeAnyChange) {
  TempDir dir;
  const std::string existing = dir.File("old.edf");
  testsupport::WriteFileBytes(existing, "keep me");
  {
    TEDFFile file;
    file.SetFileName(existing);
    EXPECT_THROW(file.CreateNew(0, true), EAssertionFailed);
    EXPECT_THROW(file.CreateNew(1, false), EDataFileExists);
    EXPECT_FALSE(file.Creating());
    EXPECT_EQ(testsupport::ReadFileBytes(existing), "keep me");
  }
  for (const char* name : {"", "   "}) {
    TEDFFile file;
    file.SetFileName(name);
    try {
      file.CreateNew(1, false);
      ADD_FAILURE() << "no error for the name '" << name << "'";
    } catch (const EDataFile& e) {
      EXPECT_EQ(e.Message(), "No filename");
    }
  }
  {
    TEDFFile file;
    file.SetFileName(existing);
    file.SetReadOnly(true);
    file.SetActive(true);
    EXPECT_THROW(file.CreateNew(1, true), EDataFileIsOpen);
  }
  {
    TEDFFile file;
    file.SetFileName(existing);
    file.CreateNew(1, true);
    EXPECT_TRUE(file.Creating());
    EXPECT_EQ(testsupport::ReadFileBytes(existing), "");
  }
}

TEST(UEDFCreate, InvalidSamplesCountKeepsCreatingAndWritesBlanks) {
  TempDir dir;
  const std::string path = dir.File("new.edf");
  TEDFFile file;
  file.SetFileName(path);
  file.CreateNew(2, false);
  file.FileInfo()->SetSampleRecDuration(1);
  file.FileInfo()->SetStartDate(EncodeDate(2000, 1, 2));
  file.FileInfo()->SetStartTime(EncodeTime(3, 4, 5, 0));
  for (int i = 0; i < 2; ++i) {
    TCustomEDFSignalInfo& s = *file.GetSignal(i);
    s.SetSignalLabel("S" + std::to_string(i));
    s.SetDigimin(-1);
    s.SetDigimax(1);
  }
  file.WriteHeaders();
  EXPECT_TRUE(file.Creating());
  EXPECT_FALSE(file.Active());
  const std::string bytes = testsupport::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 768u);
  EXPECT_EQ(bytes.substr(0, 8), "0       ");
  EXPECT_EQ(bytes.substr(184, 8), "768     ");
  EXPECT_EQ(bytes.substr(236, 8), "-1      ");
  EXPECT_EQ(bytes.substr(256, 32), "S0              S1              ");
  EXPECT_EQ(bytes.substr(256 + 216 * 2, 16), std::string(16, ' '));  // NrSamples
}

TEST(UEDFWrite, FieldFormsOfNumbersDatesAndTimes) {
  TempDir dir;
  const std::string path = dir.File("new.edf");
  auto file = CreateComposed(path, {5});
  ASSERT_TRUE(file->Active());
  file->SetActive(false);
  const std::string bytes = testsupport::ReadFileBytes(path);
  EXPECT_EQ(bytes.substr(168, 8), "07.12.26");
  EXPECT_EQ(bytes.substr(176, 8), "22.30.05");
  EXPECT_EQ(bytes.substr(184, 8), "512     ");
  EXPECT_EQ(bytes.substr(236, 8), "0       ");
  EXPECT_EQ(bytes.substr(244, 8), "0.25    ");
  EXPECT_EQ(bytes.substr(252, 4), "1   ");
  EXPECT_EQ(bytes.substr(256 + 104, 8), "-500    ");
  EXPECT_EQ(bytes.substr(256 + 112, 8), "500.5   ");
  EXPECT_EQ(bytes.substr(256 + 120, 8), "-2048   ");
  EXPECT_EQ(bytes.substr(256 + 216, 8), "5       ");
}

TEST(UEDFWrite, RoundTripKeepsEveryFieldAndSample) {
  TempDir dir;
  const std::string path = dir.File("round.edf");
  {
    // 1 s records: shorter ones of so few samples would be judged too short.
    auto file = CreateComposed(path, {5, 10, 3}, 1);
    ASSERT_TRUE(file->Valid());
    EXPECT_EQ(file->FileInfo()->NrDataRecords(), 0);
    for (int r = 0; r < 4; ++r) AppendPatternRecord(*file, r);
    EXPECT_EQ(file->FileInfo()->NrDataRecords(), 4);
  }  // destroying the object closes it and stores the final count

  TEDFFile file;
  file.SetFileName(path);
  file.SetReadOnly(true);
  file.SetActive(true);
  EXPECT_TRUE(file.IsValid());
  EXPECT_TRUE(file.HeaderErrors().Empty());
  const TCustomEDFFileInfo& info = *file.FileInfo();
  EXPECT_EQ(info.Version(), "0");
  EXPECT_EQ(info.Patient(), "X M 01-JAN-1970 Test_Person");
  EXPECT_EQ(info.Recording(), "Startdate 07-DEC-2026 X X Vellicor");
  EXPECT_EQ(info.StartDate(), EncodeDate(2026, 12, 7));
  EXPECT_NEAR(info.StartTime(), EncodeTime(22, 30, 5, 0), 1e-9);
  EXPECT_EQ(info.HeaderBytes(), 1024);
  EXPECT_EQ(info.Reserved(), "EDF+C");
  EXPECT_EQ(info.OriginalHeader()[7], "4       ");
  EXPECT_EQ(info.NrDataRecords(), 4);
  EXPECT_EQ(static_cast<double>(info.SampleRecDuration()), 1.0);
  EXPECT_EQ(info.NrSignals(), 3);
  const int samples[3] = {5, 10, 3};
  for (int s = 0; s < 3; ++s) {
    const TCustomEDFSignalInfo& signal = *file.GetSignal(s);
    EXPECT_EQ(signal.SignalLabel(), "EEG " + std::to_string(s));
    EXPECT_EQ(signal.Transducertype(), "AgAgCl electrode");
    EXPECT_EQ(signal.Physidim(), "uV");
    EXPECT_EQ(signal.Physimin(), -500);
    EXPECT_EQ(signal.Physimax(), 500.5);
    EXPECT_EQ(signal.Digimin(), -2048);
    EXPECT_EQ(signal.Digimax(), 2047);
    EXPECT_EQ(signal.Prefilter(), "HP:0.1Hz");
    EXPECT_EQ(signal.NrSamples(), samples[s]);
    EXPECT_EQ(signal.Reserved(), "");
  }
  auto buffer = file.GetBuffer();
  for (int r = 0; r < 4; ++r) {
    file.ReadDataRecord(r);
    for (int s = 0; s < 3; ++s)
      for (int i = 0; i < samples[s]; ++i)
        ASSERT_EQ((*buffer)[static_cast<size_t>(file.GetSignal(s)->BufferOffset() + i)],
                  Pattern(r, s, i));
  }
}

TEST(UEDFWrite, OverwriteTouchesOnlySelectedSignalsAndAppendFillsZeros) {
  TempDir dir;
  const std::string path = dir.File("sel.edf");
  auto file = CreateComposed(path, {4, 3, 2});
  AppendPatternRecord(*file, 0);
  file->GetSignal(0)->SetSelected(false);
  file->GetSignal(2)->SetSelected(false);
  auto buffer = file->GetBuffer();
  ASSERT_EQ(buffer->size(), 3u);
  *buffer = {100, 101, 102};
  file->WriteDataRecord(0);  // overwrite
  file->WriteDataRecord(1);  // append
  file->SetActive(false);

  const std::string bytes = testsupport::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 1024u + 2 * 2 * 9);
  const int16_t expected[2][9] = {
      {Pattern(0, 0, 0), Pattern(0, 0, 1), Pattern(0, 0, 2), Pattern(0, 0, 3), 100, 101, 102,
       Pattern(0, 2, 0), Pattern(0, 2, 1)},
      {0, 0, 0, 0, 100, 101, 102, 0, 0}};
  for (int r = 0; r < 2; ++r)
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(SampleAt(bytes, 1024, 9, r, i), expected[r][i]) << "record " << r << " i " << i;
  EXPECT_EQ(bytes.substr(236, 8), "2       ");
}

TEST(UEDFWrite, RecordIndexAndModeChecks) {
  TempDir dir;
  const std::string path = dir.File("idx.edf");
  auto file = CreateComposed(path, {2});
  AppendPatternRecord(*file, 0);
  EXPECT_THROW(file->WriteDataRecord(2), EDataFileReadData);
  EXPECT_THROW(file->WriteDataRecord(-1), EDataFileReadData);
  // From the first record on the layout of a record is fixed.
  EXPECT_THROW(file->GetSignal(0)->SetNrSamples(3), EDataFileDataExists);
  EXPECT_THROW(file->FileInfo()->SetNrSignals(2), EDataFileDataExists);
  file->SetActive(false);
  EXPECT_THROW(file->WriteDataRecord(0), EDataFileHeaderInvalid);
  file->SetReadOnly(true);
  file->SetActive(true);
  EXPECT_THROW(file->WriteDataRecord(0), EDataFileReadOnly);
}

TEST(UEDFWrite, CloseStoresHeaderChangesOnlyWhenWritable) {
  TempDir dir;
  const std::string path = dir.File("edit.edf");
  testsupport::WriteFileBytes(path, EdfBytes::Valid(2, 10, 2).Bytes());
  const std::string original = testsupport::ReadFileBytes(path);
  for (const bool readOnly : {true, false}) {
    TEDFFile file;
    file.SetFileName(path);
    file.SetReadOnly(readOnly);
    file.SetActive(true);
    file.FileInfo()->SetPatient("Changed");
    file.GetSignal(1)->SetSignalLabel("Renamed");
    file.SetActive(false);
    const std::string bytes = testsupport::ReadFileBytes(path);
    if (readOnly) {
      EXPECT_EQ(bytes, original);
    } else {
      ASSERT_EQ(bytes.size(), original.size());
      EXPECT_EQ(bytes.substr(8, 80), "Changed" + std::string(73, ' '));
      EXPECT_EQ(bytes.substr(256 + 16, 16), "Renamed         ");
      EXPECT_EQ(bytes.substr(768), original.substr(768));  // the records stay
    }
  }
}

}  // namespace
