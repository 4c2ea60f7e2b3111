// Creating new files and writing headers and data records.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uFileStream.h"
#include "support/uByteOrder.h"
#include "support/udDisk.h"
#include "support/uSysUtils.h"
#include "util/uCalendar.h"
#include "util/udStr.h"

namespace {

// Zeros for the uncovered stretches of an appended record are written in
// pieces of at most this many samples, so the scratch array stays small
// whatever the header announces.
constexpr int64_t ZeroPieceSamples = 65536;

std::string TwoDigits(unsigned Value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02u", Value % 100);
  return text;
}

// "dd.mm.yy"
std::string DateText(TDateTime Value) {
  uint16_t year = 0, month = 0, day = 0;
  DecodeDate(Value, year, month, day);
  return TwoDigits(day) + "." + TwoDigits(month) + "." + TwoDigits(year);
}

// "hh.nn.ss"
std::string TimeText(TDateTime Value) {
  uint16_t hour = 0, minute = 0, second = 0, msec = 0;
  DecodeTime(Value, hour, minute, second, msec);
  return TwoDigits(hour) + "." + TwoDigits(minute) + "." + TwoDigits(second);
}

// A decimal field; an invalid value is written as blanks anyway, so it is not
// formatted (a value that cannot fit would only raise for nothing).
std::string NumberText(bool Valid, long double Value, char Decimal, char Thousand) {
  return Valid ? FloatToStrFit(Value, 8, Decimal, Thousand) : std::string();
}

// A little-endian host writes the buffer as it is; another goes through a copy.
void WriteSamples(TFileStream& Stream, int64_t Position, const int16_t* Samples, int64_t Count) {
  if constexpr (HostIsLittleEndian) {
    Stream.WriteAt(Position, Samples, 2 * Count);
  } else {
    std::vector<unsigned char> bytes(static_cast<size_t>(2 * Count));
    for (int64_t i = 0; i < Count; ++i) StoreLE16(&bytes[static_cast<size_t>(2 * i)], Samples[i]);
    Stream.WriteAt(Position, bytes.data(), 2 * Count);
  }
}

// BDF samples: the low 24 bits of each value, three bytes each.
void WriteSamples(TFileStream& Stream, int64_t Position, const int32_t* Samples, int64_t Count) {
  std::vector<uint8_t> bytes(static_cast<size_t>(3 * Count));
  for (int64_t i = 0; i < Count; ++i) StoreLE24(&bytes[static_cast<size_t>(3 * i)], Samples[i]);
  Stream.WriteAt(Position, bytes.data(), 3 * Count);
}

}  // namespace

void TCustomEDFFile::WriteField(bool Valid, const std::string& Text, int Width) {
  const std::string field = FormatField(Valid, Text, Width);
  FStream->Write(field.data(), static_cast<int64_t>(field.size()));
}

void TCustomEDFFile::CreateNew(int NrSignals, bool Overwrite) {
  VASSERT(NrSignals >= 1, "Number of signals should be > 0");
  if (FActive) throw ErrDataFileIsOpen();
  if (Trim(FFileName).empty()) throw ErrNoFileName();
  if (FileExists(FFileName)) {
    if (!Overwrite) throw ErrDataFileExists();
    std::error_code error;
    if (!std::filesystem::remove(FFileName, error) && error)
      throw EFCreateError("Cannot create file \"" + FFileName + "\". " + error.message());
  }
  FReadOnly = false;
  FFileInfo = NewFileInfo();
  FSignals.clear();
  SetCreating(true);
}

void TEDFFile::CreateNew(int NrSignals, bool Overwrite) {
  TCustomEDFFile::CreateNew(NrSignals, Overwrite);
  FFileInfo->SetStrict(FStrict);
  for (int i = 0; i < NrSignals; ++i) AppendSignal();
  try {
    Open();  // creates the file and stops there, because Creating is set
  } catch (...) {
    SetCreating(false);  // no file to compose: back to Closed
    throw;
  }
  FFileInfo->SetVersion(EDFFormatRules(FFormat).VersionText);
  FFileInfo->SetNrSignals(NrSignals);
  FFileInfo->SetNrDataRecords(-1);
}

void TCustomEDFFile::WriteHeaders() {
  VASSERT(!FReadOnly, "File is ReadOnly!");
  if (HeaderModified()) WriteHeader();
  if (SignalHeadersModified()) {
    WriteSignalHeaders();
    UpdateChunks(nullptr);
  }
  if (FCreating && IsValid()) {
    SetCreating(false);
    FActive = true;
    FValid = true;
    ComputeRecordSamples();
    FFileInfo->SetNrDataRecords(0);  // marks the header modified: Close stores the final count
    UpdateChunks(nullptr);
  }
}

void TCustomEDFFile::WriteHeader() {
  VASSERT(FStream != nullptr, "Data file is not open");
  FCurrentRecord = -1;
  const TCustomEDFFileInfo& info = *FFileInfo;
  const TDynBooleanArray& valid = info.FieldValid();
  const auto width = [](int f) { return EDFGeneralFieldWidths[static_cast<size_t>(f)]; };
  FStream->Seek(0);
  WriteField(valid[gfVersion], info.Version(), width(gfVersion));
  WriteField(valid[gfPatient], info.GetPatient(), width(gfPatient));
  WriteField(valid[gfRecording], info.GetRecording(), width(gfRecording));
  WriteField(valid[gfStartDate], DateText(info.StartDate()), width(gfStartDate));
  WriteField(valid[gfStartTime], TimeText(info.StartTime()), width(gfStartTime));
  WriteField(valid[gfHeaderBytes], std::to_string(info.HeaderBytes()), width(gfHeaderBytes));
  WriteField(valid[gfReserved], info.Reserved(), width(gfReserved));
  WriteField(valid[gfNrDataRecords], std::to_string(info.NrDataRecords()),
             width(gfNrDataRecords));
  WriteField(valid[gfSampleRecDuration],
             NumberText(valid[gfSampleRecDuration], info.SampleRecDuration(),
                        info.DecimalSeparator(), info.ThousandSeparator()),
             width(gfSampleRecDuration));
  WriteField(valid[gfNrSignals], std::to_string(info.NrSignals()), width(gfNrSignals));
  FFileInfo->SetModified(false);
}

void TCustomEDFFile::WriteSignalHeaders() {
  VASSERT(FStream != nullptr, "Data file is not open");
  FCurrentRecord = -1;
  const int64_t ns = std::min<int64_t>(std::max(FFileInfo->NrSignals(), 0), SignalCount());
  // The block is composed field by field, all signals' labels first, and
  // written in one piece.
  std::string block;
  block.reserve(static_cast<size_t>(ns * EDFSignalHeaderBytes));
  for (int f = 0; f < EDFFieldCount; ++f) {
    const int width = EDFSignalFieldWidths[static_cast<size_t>(f)];
    for (int64_t s = 0; s < ns; ++s) {
      const TCustomEDFSignalInfo& signal = *FSignals[static_cast<size_t>(s)];
      const bool valid = signal.GetFieldValid(f);
      std::string text;
      switch (f) {
        case sfSignalLabel: text = signal.SignalLabel(); break;
        case sfTransducertype: text = signal.Transducertype(); break;
        case sfPhysidim: text = signal.Physidim(); break;
        case sfPhysimin:
          text = NumberText(valid, signal.Physimin(), signal.DecimalSeparator(),
                            signal.ThousandSeparator());
          break;
        case sfPhysimax:
          text = NumberText(valid, signal.Physimax(), signal.DecimalSeparator(),
                            signal.ThousandSeparator());
          break;
        case sfDigimin: text = std::to_string(signal.Digimin()); break;
        case sfDigimax: text = std::to_string(signal.Digimax()); break;
        case sfPrefilter: text = signal.Prefilter(); break;
        case sfNrSamples: text = std::to_string(signal.NrSamples()); break;
        case sfReserved: text = signal.Reserved(); break;
        default: break;
      }
      block += FormatField(valid, text, width);
    }
  }
  FStream->Seek(EDFGeneralHeaderBytes);
  FStream->Write(block.data(), static_cast<int64_t>(block.size()));
  for (int64_t s = 0; s < ns; ++s) FSignals[static_cast<size_t>(s)]->SetModified(false);
}

void TCustomEDFFile::WriteZeros(int64_t Position, int64_t Count, std::vector<uint8_t>& Scratch) {
  const int64_t sampleBytes = SampleBytes();
  while (Count > 0) {
    const int64_t bytes = sampleBytes * std::min(Count, ZeroPieceSamples);
    if (static_cast<int64_t>(Scratch.size()) < bytes) Scratch.assign(static_cast<size_t>(bytes), 0);
    FStream->WriteAt(Position, Scratch.data(), bytes);
    Position += bytes;
    Count -= bytes / sampleBytes;
  }
}

void TCustomEDFFile::WriteChunk(int64_t Position, int64_t BufferOffset, int64_t Count) {
  if (FFormat == TEDFFormat::BDF)
    WriteSamples(*FStream, Position, FBuffer32->data() + BufferOffset, Count);
  else
    WriteSamples(*FStream, Position, FBuffer->data() + BufferOffset, Count);
}

void TCustomEDFFile::WriteDataRecord(int32_t Index) {
  if (!FActive) throw ErrInvalidHeader();
  if (FReadOnly) throw ErrFileReadOnly();
  const int32_t count = FFileInfo->NrDataRecords();
  if (Index < 0 || Index > count || FPlanTooLarge) throw ErrReadingData();
  if (Index == count && count == std::numeric_limits<int32_t>::max()) throw ErrReadingData();

  // A new file has no record yet, so its buffer may not exist before this.
  if (FFormat == TEDFFormat::BDF)
    GetBuffer32();
  else
    GetBuffer();
  const int64_t sampleBytes = SampleBytes();
  const int64_t base =
      EDFRecordPosition(FFileInfo->HeaderBytes(), Index, FRecordSamples, SampleBytes());
  if (Index < count) {
    // Overwrite in place: the unselected signals' samples in the file stay.
    for (const TReadWriteDataChunk& chunk : FChunks)
      WriteChunk(base + sampleBytes * chunk.RecordOffset, chunk.BufferOffset, chunk.Count);
  } else {
    // Append the whole record: zeros wherever no chunk covers it.
    std::vector<uint8_t> scratch;
    int64_t at = 0;
    for (const TReadWriteDataChunk& chunk : FChunks) {
      WriteZeros(base + sampleBytes * at, chunk.RecordOffset - at, scratch);
      WriteChunk(base + sampleBytes * chunk.RecordOffset, chunk.BufferOffset, chunk.Count);
      at = int64_t{chunk.RecordOffset} + chunk.Count;
    }
    WriteZeros(base + sampleBytes * at, FRecordSamples - at, scratch);
    FFileInfo->StoreNrDataRecords(count + 1);
    FFileInfo->SetModified(true);
  }
  FCurrentRecord = Index;
  if (!FFileInfo->DataExists()) {
    // From now on header size, signal count and samples per record are fixed.
    FFileInfo->SetDataExists(true);
    for (auto& signal : FSignals) signal->SetDataExists(true);
  }
}
