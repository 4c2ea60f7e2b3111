// The EDF file object on the writing side: creating a file, composing and
// writing its headers, appending and overwriting data records. The bytes
// written are checked directly where the layout matters.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "testkit/EdfBytes.h"
#include "util/uCalendar.h"

namespace {

using testkit::EdfBytes;
using testkit::TempDir;

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

// The class and message of what Action raised; "none" when nothing was.
// Most derived classes first, so that each error is named by its own class.
struct Raised {
  std::string Class = "none";
  std::string Message;
};
Raised RaisedBy(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EAssertionFailed& e) {
    return {"EAssertionFailed", e.Message()};
  } catch (const EDataFileIsCreating& e) {
    return {"EDataFileIsCreating", e.Message()};
  } catch (const EDataFileIsOpen& e) {
    return {"EDataFileIsOpen", e.Message()};
  } catch (const EDataFileReadOnly& e) {
    return {"EDataFileReadOnly", e.Message()};
  } catch (const EDataFileReadData& e) {
    return {"EDataFileReadData", e.Message()};
  } catch (const EDataFileExists& e) {
    return {"EDataFileExists", e.Message()};
  } catch (const EDataFileDataExists& e) {
    return {"EDataFileDataExists", e.Message()};
  } catch (const EDataFileHeaderInvalid& e) {
    return {"EDataFileHeaderInvalid", e.Message()};
  } catch (const EDataFile& e) {
    return {"EDataFile", e.Message()};
  }
  return {};
}

// An assertion's message ends with its unit and line, which say nothing here.
void ExpectRaised(const Raised& Actual, const std::string& Class, const std::string& Message) {
  EXPECT_EQ(Actual.Class, Class);
  if (Class == "EAssertionFailed")
    EXPECT_EQ(Actual.Message.rfind(Message + " (", 0), 0u) << Actual.Message;
  else
    EXPECT_EQ(Actual.Message, Message);
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
  testkit::WriteFileBytes(existing, "keep me");
  const struct {
    const char* What;
    std::string Name;
    bool OpenFirst;  // read-only
    int Signals;
    bool Overwrite;
    const char* Class;
    const char* Message;
  } Cases[] = {
      {"no signals", existing, false, 0, true, "EAssertionFailed", "Number of signals should be > 0"},
      {"existing file kept", existing, false, 1, false, "EDataFileExists", "Data file already exists"},
      {"empty name", "", false, 1, false, "EDataFile", "No filename"},
      {"blank name", "   ", false, 1, false, "EDataFile", "No filename"},
      {"open object", existing, true, 1, true, "EDataFileIsOpen", "Data file is already open"},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.What);
    TEDFFile file;
    file.SetFileName(c.Name);
    if (c.OpenFirst) {
      file.SetReadOnly(true);
      file.SetActive(true);
    }
    ExpectRaised(RaisedBy([&] { file.CreateNew(c.Signals, c.Overwrite); }), c.Class, c.Message);
    EXPECT_FALSE(file.Creating());
    EXPECT_EQ(testkit::ReadFileBytes(existing), "keep me");
  }
  // Allowed to overwrite, the object starts creating on an emptied file.
  TEDFFile file;
  file.SetFileName(existing);
  file.CreateNew(1, true);
  EXPECT_TRUE(file.Creating());
  EXPECT_EQ(testkit::ReadFileBytes(existing), "");
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
  const std::string bytes = testkit::ReadFileBytes(path);
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
  const std::string bytes = testkit::ReadFileBytes(path);
  const struct {
    const char* Field;
    size_t Offset;
    const char* Text;  // its width is the field's
  } Cases[] = {
      {"StartDate", 168, "07.12.26"},
      {"StartTime", 176, "22.30.05"},
      {"HeaderBytes", 184, "512     "},
      {"NrDataRecords", 236, "0       "},
      {"SampleRecDuration", 244, "0.25    "},
      {"NrSignals", 252, "1   "},
      {"Physimin", 256 + 104, "-500    "},
      {"Physimax", 256 + 112, "500.5   "},
      {"Digimin", 256 + 120, "-2048   "},
      {"NrSamples", 256 + 216, "5       "},
  };
  for (const auto& c : Cases)
    EXPECT_EQ(bytes.substr(c.Offset, std::strlen(c.Text)), c.Text) << c.Field;
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

TEST(UEDFWrite, NewFileTakesARecordWithoutItsBufferFetchedFirst) {
  TempDir dir;
  const std::string path = dir.File("plain.edf");
  auto file = CreateComposed(path, {4, 3});
  ASSERT_TRUE(file->Active());
  file->WriteDataRecord(0);
  EXPECT_EQ(file->GetBuffer()->size(), 7u);
  (*file->GetBuffer())[6] = 9;
  file->WriteDataRecord(1);
  file->SetActive(false);
  const std::string bytes = testkit::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 768u + 2 * 2 * 7);
  EXPECT_EQ(SampleAt(bytes, 768, 7, 0, 6), 0);
  EXPECT_EQ(SampleAt(bytes, 768, 7, 1, 6), 9);
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

  const std::string bytes = testkit::ReadFileBytes(path);
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
  enum TState { Written, Closed, ReadOnlyOpen };
  const struct {
    const char* What;
    TState State;
    std::function<void(TEDFFile&)> Action;
    const char* Class;
    const char* Message;
  } Cases[] = {
      {"a record beyond the end", Written, [](TEDFFile& F) { F.WriteDataRecord(2); },
       "EDataFileReadData", "Error reading file data"},
      {"a negative record", Written, [](TEDFFile& F) { F.WriteDataRecord(-1); },
       "EDataFileReadData", "Error reading file data"},
      // From the first record on the layout of a record is fixed.
      {"another sample count", Written, [](TEDFFile& F) { F.GetSignal(0)->SetNrSamples(3); },
       "EDataFileDataExists", "Data file already contains data"},
      {"another signal count", Written, [](TEDFFile& F) { F.FileInfo()->SetNrSignals(2); },
       "EDataFileDataExists", "Data file already contains data"},
      {"a closed object", Closed, [](TEDFFile& F) { F.WriteDataRecord(0); },
       "EDataFileHeaderInvalid", "Invalid or incomplete file header"},
      {"a read-only object", ReadOnlyOpen, [](TEDFFile& F) { F.WriteDataRecord(0); },
       "EDataFileReadOnly", "File is opened read-only"},
  };
  for (const auto& c : Cases) {
    SCOPED_TRACE(c.What);
    TempDir dir;
    const std::string path = dir.File("idx.edf");
    auto file = CreateComposed(path, {2});
    AppendPatternRecord(*file, 0);
    if (c.State != Written) file->SetActive(false);
    if (c.State == ReadOnlyOpen) {
      file->SetReadOnly(true);
      file->SetActive(true);
    }
    const std::string before = testkit::ReadFileBytes(path);
    ExpectRaised(RaisedBy([&] { c.Action(*file); }), c.Class, c.Message);
    EXPECT_EQ(file->FileInfo()->NrDataRecords(), 1);
    EXPECT_EQ(testkit::ReadFileBytes(path), before) << "refused before writing";
  }
}

TEST(UEDFWrite, CloseStoresHeaderChangesOnlyWhenWritable) {
  TempDir dir;
  const std::string path = dir.File("edit.edf");
  testkit::WriteFileBytes(path, EdfBytes::Valid(2, 10, 2).Bytes());
  const std::string original = testkit::ReadFileBytes(path);
  for (const bool readOnly : {true, false}) {
    TEDFFile file;
    file.SetFileName(path);
    file.SetReadOnly(readOnly);
    file.SetActive(true);
    file.FileInfo()->SetPatient("Changed");
    file.GetSignal(1)->SetSignalLabel("Renamed");
    file.SetActive(false);
    const std::string bytes = testkit::ReadFileBytes(path);
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

namespace {

// BDF samples from every corner of the 24-bit range, and a spread between.
int32_t Pattern24(int record, int signal, int index) {
  static constexpr int32_t Corners[] = {-8388608, 8388607, -1, 0, 1, 32768, -32769};
  if (index < 7) return Corners[(index + record + signal) % 7];
  const int64_t k = record * 1000 + signal * 100 + index;
  return static_cast<int32_t>((k * 2654435761) % 16777216) - 8388608;
}

}  // namespace

// BDF+ written by our writer and read back: every field and sample, the
// 3-byte samples of selected signals overwritten in place, zeros appended for
// the others.
TEST(UEDFWrite, BdfRoundTripKeepsEveryFieldAndSample) {
  TempDir dir;
  const std::string path = dir.File("round.bdf");
  const int samples[3] = {9, 20, 4};
  // Records 0..2 hold the pattern; then only signal 1 is selected, record 1
  // gets new samples there and record 3 is appended with zeros elsewhere.
  const auto expected = [](int r, int s, int i) -> int32_t {
    if (s == 1 && (r == 1 || r == 3)) return -Pattern24(r, s, i) / 2;
    return r == 3 ? 0 : Pattern24(r, s, i);
  };
  {
    TEDFFile file;
    file.SetFileName(path);
    file.SetFormat(TEDFFormat::BDF);
    file.CreateNew(3, false);
    TCustomEDFFileInfo& info = *file.FileInfo();
    info.SetPatient("X F X X");
    info.SetRecording("Startdate 07-DEC-2026 X X X");
    info.SetStartDate(EncodeDate(2026, 12, 7));
    info.SetStartTime(EncodeTime(8, 0, 0, 0));
    info.SetSampleRecDuration(1);
    info.SetReserved("BDF+C");
    for (int s = 0; s < 3; ++s) {
      TCustomEDFSignalInfo& signal = *file.GetSignal(s);
      ComposeSignal(signal, s, samples[s]);
      signal.SetDigimin(-8388608);
      signal.SetDigimax(8388607);
    }
    TCustomEDFSignalInfo& annotations = *file.GetSignal(2);
    annotations.SetSignalLabel("BDF Annotations");
    annotations.SetTransducertype("");
    annotations.SetPhysidim("");
    annotations.SetPrefilter("");
    file.WriteHeaders();
    ASSERT_TRUE(file.Valid());
    EXPECT_TRUE(file.GetBuffer()->empty());
    for (int r = 0; r < 3; ++r) {
      auto buffer = file.GetBuffer32();
      for (int s = 0; s < 3; ++s)
        for (int i = 0; i < samples[s]; ++i)
          (*buffer)[static_cast<size_t>(file.GetSignal(s)->BufferOffset() + i)] = Pattern24(r, s, i);
      file.WriteDataRecord(r);
    }
    file.GetSignal(0)->SetSelected(false);
    file.GetSignal(2)->SetSelected(false);
    for (const int r : {1, 3}) {
      auto buffer = file.GetBuffer32();
      ASSERT_EQ(buffer->size(), 20u);
      for (int i = 0; i < 20; ++i) (*buffer)[static_cast<size_t>(i)] = expected(r, 1, i);
      file.WriteDataRecord(r);
    }
  }

  const std::string bytes = testkit::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 1024u + 4 * 3 * 33);
  EXPECT_EQ(bytes.substr(0, 8), "\xFF" "BIOSEMI");
  EXPECT_EQ(bytes.substr(192, 6), "BDF+C ");
  EXPECT_EQ(bytes.substr(256 + 32, 16), "BDF Annotations ");
  // -8388608 and -1, the first and third sample of the first record.
  EXPECT_EQ(bytes.substr(1024, 3), std::string("\x00\x00\x80", 3));
  EXPECT_EQ(bytes.substr(1024 + 6, 3), "\xFF\xFF\xFF");

  TEDFFile file;
  file.SetFileName(path);
  file.SetReadOnly(true);
  file.SetActive(true);
  EXPECT_EQ(file.Format(), TEDFFormat::BDF);
  EXPECT_TRUE(file.IsValid());
  EXPECT_TRUE(file.HeaderErrors().Empty());
  const TCustomEDFFileInfo& info = *file.FileInfo();
  EXPECT_EQ(info.Version(), "\xFF" "BIOSEMI");
  EXPECT_EQ(info.Patient(), "X F X X");
  EXPECT_EQ(info.Recording(), "Startdate 07-DEC-2026 X X X");
  EXPECT_EQ(info.StartDate(), EncodeDate(2026, 12, 7));
  EXPECT_NEAR(info.StartTime(), EncodeTime(8, 0, 0, 0), 1e-9);
  EXPECT_EQ(info.HeaderBytes(), 1024);
  EXPECT_EQ(info.Reserved(), "BDF+C");
  EXPECT_EQ(info.NrDataRecords(), 4);
  EXPECT_EQ(static_cast<double>(info.SampleRecDuration()), 1.0);
  for (int s = 0; s < 3; ++s) {
    const TCustomEDFSignalInfo& signal = *file.GetSignal(s);
    EXPECT_EQ(signal.SignalLabel(), s == 2 ? "BDF Annotations" : "EEG " + std::to_string(s));
    EXPECT_EQ(signal.Transducertype(), s == 2 ? "" : "AgAgCl electrode");
    EXPECT_EQ(signal.Physidim(), s == 2 ? "" : "uV");
    EXPECT_EQ(signal.Physimin(), -500);
    EXPECT_EQ(signal.Physimax(), 500.5);
    EXPECT_EQ(signal.Digimin(), -8388608);
    EXPECT_EQ(signal.Digimax(), 8388607);
    EXPECT_EQ(signal.Prefilter(), s == 2 ? "" : "HP:0.1Hz");
    EXPECT_EQ(signal.NrSamples(), samples[s]);
    EXPECT_EQ(signal.Reserved(), "");
  }
  auto buffer = file.GetBuffer32();
  EXPECT_TRUE(file.GetBuffer()->empty());
  for (int r = 0; r < 4; ++r) {
    file.ReadDataRecord(r);
    for (int s = 0; s < 3; ++s)
      for (int i = 0; i < samples[s]; ++i)
        ASSERT_EQ((*buffer)[static_cast<size_t>(file.GetSignal(s)->BufferOffset() + i)], expected(r, s, i))
            << "record " << r << " signal " << s << " sample " << i;
  }
}
