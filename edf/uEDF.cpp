// The file object's state, and opening, closing and reading files.
#include "edf/uEDF.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "edf/uDataFileErrors.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uFileStream.h"
#include "support/uByteOrder.h"
#include "support/udDisk.h"
#include "support/uSysUtils.h"

TCustomEDFFile::TCustomEDFFile()
    : FBuffer(std::make_shared<TDynSmallIntArray>()), FBuffer32(std::make_shared<TDynIntegerArray>()) {}

TCustomEDFFile::~TCustomEDFFile() {
  // Closing writes pending header changes; a destructor cannot report a
  // failure, so an unwritable header is lost with the object.
  try {
    SetActive(false);
  } catch (...) {
  }
}

bool TCustomEDFFile::SetFileName(const std::string& Name) {
  if (FActive || FCreating) throw ErrDataFileIsOpen();
  FFileName = Name;
  FIsCompressed = IsCompressedFile(Name);
  return FIsCompressed;
}

void TCustomEDFFile::SetReadOnly(bool Value) {
  if (FActive) throw ErrDataFileIsOpen();
  if (FCreating) throw ErrBusyCreating();
  FReadOnly = Value;
}

void TCustomEDFFile::SetStrict(bool Value) {
  FStrict = Value;
  if (!FActive && !FCreating) return;
  // Re-parsing also puts the header's own "NrDataRecords" back in place of
  // the count Open derived from the file size.
  if (FFileInfo) FFileInfo->SetStrict(Value);
  for (auto& signal : FSignals) signal->SetStrict(Value);
  FValid = HeaderValid() && SignalHeadersValid();
}

void TCustomEDFFile::SetFormat(TEDFFormat Value) {
  if (FActive || FCreating) throw ErrDataFileIsOpen();
  FFormat = Value;
}

std::unique_ptr<TCustomEDFFileInfo> TCustomEDFFile::NewFileInfo() {
  std::unique_ptr<TCustomEDFFileInfo> info = CreateFileInfo();
  info->SetFormat(FFormat);
  return info;
}

void TCustomEDFFile::SetActive(bool Value) {
  if (FActive && !Value)
    Close();
  else if (!FActive && Value)
    Open();
}

void TCustomEDFFile::SetDecimalSeparator(char Value) {
  FDecimalSeparator = Value;
  if (!FFileInfo) return;
  FFileInfo->SetDecimalSeparator(Value);
  FFileInfo->Reparse();
  for (auto& signal : FSignals) {
    signal->SetDecimalSeparator(Value);
    signal->Reparse();
  }
}

void TCustomEDFFile::SetThousandSeparator(char Value) {
  FThousandSeparator = Value;
  if (!FFileInfo) return;
  FFileInfo->SetThousandSeparator(Value);
  FFileInfo->Reparse();
  for (auto& signal : FSignals) {
    signal->SetThousandSeparator(Value);
    signal->Reparse();
  }
}

void TCustomEDFFile::SetCreating(bool Value) { FCreating = Value; }

bool TCustomEDFFile::HeaderValid() const {
  return (FActive || FCreating) && FFileInfo && FFileInfo->IsValid();
}

bool TCustomEDFFile::SignalHeadersValid() const {
  if (!(FActive || FCreating) || FSignals.empty()) return false;
  for (const auto& signal : FSignals)
    if (!signal->IsValid()) return false;
  return true;
}

bool TCustomEDFFile::HeaderModified() const {
  return (FActive || FCreating) && FFileInfo && FFileInfo->Modified();
}

bool TCustomEDFFile::SignalHeadersModified() const {
  if (!(FActive || FCreating)) return false;
  for (const auto& signal : FSignals)
    if (signal->Modified()) return true;
  return false;
}

bool TCustomEDFFile::Modified() const { return HeaderModified() || SignalHeadersModified(); }

TCustomEDFSignalInfo* TCustomEDFFile::GetSignal(int Index) const {
  if (Index < 0 || Index >= SignalCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FSignals[static_cast<size_t>(Index)].get();
}

int64_t TCustomEDFFile::FileSize() const {
  if (!FStream) return -1;
  if (!FHoldFileSize) return FStream->Size();
  if (FHeldFileSize < 0) FHeldFileSize = FStream->Size();
  return FHeldFileSize;
}

void TCustomEDFFile::HoldFileSize(bool Value) {
  FHoldFileSize = Value;
  FHeldFileSize = -1;
}

void TCustomEDFFile::AppendSignal(const std::string* Block, int Index, int Count) {
  std::unique_ptr<TCustomEDFSignalInfo> signal = CreateSignalInfo();
  signal->SetFormat(FFormat);
  // The texts go in before SetStrict, whose parse is then the only one.
  if (Block) {
    for (int f = 0; f < EDFFieldCount; ++f)
      signal->RawHeader()[static_cast<size_t>(f)] =
          ReadFieldFrom(*Block, EDFSignalFieldOffset(f, Index, Count) - EDFGeneralHeaderBytes,
                        EDFSignalFieldWidths[static_cast<size_t>(f)]);
  }
  signal->SetStrict(FStrict);
  signal->SetOnSelectedChange([this](TCustomEDFSignalInfo* Sender) { UpdateChunks(Sender); });
  FSignals.push_back(std::move(signal));
}

std::string TCustomEDFFile::ReadField(int Width) {
  std::string text(static_cast<size_t>(Width), ' ');
  text.resize(static_cast<size_t>(FStream->Read(text.data(), Width)));
  return text;
}

void TCustomEDFFile::Open() {
  if (FActive) return;
  TFileStreamMode mode = TFileStreamMode::fmOpenRead;
  if (!FReadOnly)
    mode = FileExists(FFileName) ? TFileStreamMode::fmOpenReadWrite : TFileStreamMode::fmCreate;
  FStream = std::make_unique<TFileStream>(FFileName, mode);
  FHeldFileSize = -1;
  if (FCreating) return;  // a new file stays open for its headers to be written

  FActive = true;
  ReadHeader();
  ReadSignalHeaders();
  FValid = HeaderValid() && SignalHeadersValid();
  if (FValid)
    FHeaderErrors = {};
  else if (!HeaderValid())
    FHeaderErrors = {heGeneralHeader};
  else
    FHeaderErrors = {heSignalHeader};
  // A lenient open gives a file written with other separators a second chance.
  if (!FValid && !FStrict && DetectNumberFormat()) FValid = HeaderValid() && SignalHeadersValid();
  if (!FValid) {
    // Nothing can be loaded from an unusable header; no plan from an earlier
    // open survives either.
    FRecordSamples = 0;
    FFileInfo->StoreNrDataRecords(0);
    FChunks.clear();
    DropBuffers();
    FPlannedBufferLength = 0;
    return;
  }
  ComputeRecordSamples();
  // The complete records present, whatever the header says.
  const int64_t records =
      EDFCompleteRecords(FileSize(), FFileInfo->HeaderBytes(), FRecordSamples, SampleBytes());
  FFileInfo->StoreNrDataRecords(
      static_cast<int32_t>(std::min<int64_t>(records, std::numeric_limits<int32_t>::max())));
  UpdateChunks(nullptr);
}

void TCustomEDFFile::Close() {
  if (!FActive) return;
  if (Modified() && !FReadOnly) WriteHeaders();
  FStream.reset();
  FHeldFileSize = -1;
  FActive = false;
}

void TCustomEDFFile::ReadHeader() {
  VASSERT(FStream != nullptr, "Data file is not open");
  FFileInfo.reset();
  const int64_t size = FileSize();
  // The whole general header in one read; the fields are then cut from memory.
  std::string header(static_cast<size_t>(EDFGeneralHeaderBytes), ' ');
  header.resize(static_cast<size_t>(FStream->ReadAt(0, header.data(), EDFGeneralHeaderBytes)));
  // The format is the first byte's, also in a file too short for a header.
  FFormat = EDFFormatOf(header.substr(0, 1));
  FFileInfo = NewFileInfo();
  // SetStrict re-parses the still empty record; skipped when it already agrees.
  if (FFileInfo->Strict() != FStrict) FFileInfo->SetStrict(FStrict);
  FCurrentRecord = -1;
  TEDFRawFileHeader raw{};
  if (size >= EDFGeneralHeaderBytes && static_cast<int64_t>(header.size()) == EDFGeneralHeaderBytes) {
    for (int f = 0; f < EDFFieldCount; ++f)
      raw[static_cast<size_t>(f)] = ReadFieldFrom(header, EDFGeneralFieldOffset(f), EDFGeneralFieldWidths[static_cast<size_t>(f)]);
    FStream->Seek(EDFGeneralHeaderBytes);
  }
  FFileInfo->LoadFromRaw(raw);
  FFileInfo->SetOriginalHeader(raw);
  FFileInfo->SetDataExists(FFileInfo->FieldValid()[gfNrSignals] &&
                           EDFHeaderBytes(FFileInfo->NrSignals()) < size);
}

void TCustomEDFFile::ReadSignalHeaders() {
  VASSERT(FStream != nullptr, "Data file is not open");
  FSignals.clear();
  if (!FFileInfo->FieldValid()[gfNrSignals]) return;
  const int32_t ns = FFileInfo->NrSignals();
  if (FileSize() < EDFHeaderBytes(ns)) {
    // Too short: the records stay empty, so invalid.
    for (int32_t i = 0; i < ns; ++i) AppendSignal();
    return;
  }

  FCurrentRecord = -1;
  // The block in one read; the fields are then cut from memory.
  std::string block(static_cast<size_t>(ns) * EDFSignalHeaderBytes, ' ');
  block.resize(static_cast<size_t>(FStream->ReadAt(EDFGeneralHeaderBytes, block.data(),
                                                   static_cast<int64_t>(block.size()))));
  for (int32_t i = 0; i < ns; ++i) {
    AppendSignal(&block, i, ns);
    FSignals.back()->SetDataExists(FFileInfo->DataExists());
  }
}

void TCustomEDFFile::ReadHeaders() {
  ReadHeader();
  ReadSignalHeaders();
  // The new records get their record and buffer offsets as after Open.
  UpdateChunks(nullptr);
}

void TCustomEDFFile::ReadHeadersUnder(bool Strict) {
  FStrict = Strict;
  if (!FActive && !FCreating) return;
  // SetStrict judges the signal records it had: none when the count was
  // refused before (" 2" under strict rules), and then the file stays
  // invalid although the re-read finds signals.
  const bool HadSignals = !FSignals.empty();
  ReadHeader();
  ReadSignalHeaders();
  FValid = HeaderValid() && HadSignals && SignalHeadersValid();
  UpdateChunks(nullptr);
}

namespace {

// Count samples of 3 bytes each, read into the first 3 x Count bytes of
// Samples, widened in place to sign-extended 32-bit values, so a record needs
// no second buffer. Walking down from the last sample, each value is written
// at or beyond the bytes it came from and never over a sample still to come.
void Widen24InPlace(int32_t* Samples, int64_t Count) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(Samples);
  for (int64_t i = Count - 1; i >= 0; --i) Samples[i] = LoadLE24(bytes + 3 * i);
}

void LE16InPlace(int16_t* Samples, int64_t Count) { LE16ToHost(Samples, static_cast<size_t>(Count)); }

// Each chunk of the record at Base, SampleBytes per sample, read into Buffer
// at its offset and turned into host samples there. False on a short read
// (a file cut while open, a read error).
template <class T>
bool ReadChunksInto(const TFileStream& Stream, const std::vector<TReadWriteDataChunk>& Chunks, int64_t Base,
                    int SampleBytes, T* Buffer, void (*ToHost)(T*, int64_t)) {
  for (const TReadWriteDataChunk& chunk : Chunks) {
    const int64_t bytes = int64_t{SampleBytes} * chunk.Count;
    if (Stream.ReadAt(Base + int64_t{SampleBytes} * chunk.RecordOffset, Buffer + chunk.BufferOffset, bytes) != bytes)
      return false;
    ToHost(Buffer + chunk.BufferOffset, chunk.Count);
  }
  return true;
}

}  // namespace

void TCustomEDFFile::ReadDataRecord(int32_t Index) {
  if (Index == FCurrentRecord) return;
  if (!FActive) throw ErrInvalidHeader();
  if (Index < 0 || Index >= FFileInfo->NrDataRecords() || FPlanTooLarge) throw ErrReadingData();
  const int64_t base =
      EDFRecordPosition(FFileInfo->HeaderBytes(), Index, FRecordSamples, SampleBytes());
  // The first record read allocates the buffer.
  const bool whole = FFormat == TEDFFormat::BDF
                         ? ReadChunksInto(*FStream, FChunks, base, 3, GetBuffer32()->data(), Widen24InPlace)
                         : ReadChunksInto(*FStream, FChunks, base, 2, GetBuffer()->data(), LE16InPlace);
  // Samples of another record must not stay in the buffer unnoticed.
  if (!whole) {
    FCurrentRecord = -1;
    throw ErrReadingData();
  }
  FCurrentRecord = Index;
}

std::unique_ptr<TCustomEDFSignalInfo> TEDFFile::CreateSignalInfo() {
  return std::make_unique<TEDFSignalInfo>();
}

std::unique_ptr<TCustomEDFFileInfo> TEDFFile::CreateFileInfo() {
  return std::make_unique<TEDFFileInfo>(this);
}
