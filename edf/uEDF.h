// The EDF file object: opens an EDF or BDF file by name, reads its general
// header and signal headers into records, judges the header as a whole, and
// moves data records one at a time through a sample buffer that holds only
// the samples of the selected signals. It also creates new files and writes
// headers and data records, in either format.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "edf/uEDFLayout.h"
#include "support/udroot.h"

class TCustomEDFFileInfo;
class TCustomEDFSignalInfo;
class TFileStream;

// BDF samples in memory: 24-bit values sign-extended to 32 bits.
using TDynIntegerArray = std::vector<int32_t>;

// Whole-file header problems; element i is bit i (1, 2, 4, 8, 16, 32, 64).
enum TEDFHeaderError : uint8_t {
  heGeneralHeader,
  heSignalHeader,
  heRecordCountUnknown,
  heRecordTooLarge,   // EDF: a record above 61440 bytes
  heRecordTooShort,   // EDF: a record below 1 s that 61440 bytes do not force
  heFileSizeMismatch,
  heRecordBeyondCap   // BDF: a record beyond MaxBufferSamples, more than is read into memory
};

class TEDFHeaderErrors {
public:
  constexpr TEDFHeaderErrors() = default;
  constexpr TEDFHeaderErrors(std::initializer_list<TEDFHeaderError> Elements) {
    for (TEDFHeaderError e : Elements) Include(e);
  }
  constexpr bool Contains(TEDFHeaderError e) const { return (FBits & Bit(e)) != 0; }
  constexpr void Include(TEDFHeaderError e) { FBits = static_cast<uint8_t>(FBits | Bit(e)); }
  constexpr void Exclude(TEDFHeaderError e) { FBits = static_cast<uint8_t>(FBits & ~Bit(e)); }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr uint8_t Bits() const { return FBits; }
  constexpr bool operator==(const TEDFHeaderErrors&) const = default;

private:
  static constexpr uint8_t Bit(TEDFHeaderError e) { return static_cast<uint8_t>(1u << e); }
  uint8_t FBits = 0;
};

// One run of consecutive samples inside a data record that is loaded into, or
// written from, one run of the buffer. Offsets and counts are in samples.
struct TReadWriteDataChunk {
  int32_t RecordOffset = 0;
  int32_t BufferOffset = 0;
  int32_t Count = 0;
};

class TCustomEDFFile {
public:
  // A record's sample buffer is refused beyond this many samples, so that a
  // crafted header cannot make the program allocate gigabytes. Real EDF
  // records stay below 61440 bytes; this leaves a wide margin for EDF-like
  // files that exceed the limit. BDF has no record limit of its own, so for
  // BDF this cap is the limit (heRecordBeyondCap).
  static constexpr int64_t MaxBufferSamples = int64_t{64} * 1024 * 1024;

  TCustomEDFFile();
  virtual ~TCustomEDFFile();  // closes the file first
  TCustomEDFFile(const TCustomEDFFile&) = delete;
  TCustomEDFFile& operator=(const TCustomEDFFile&) = delete;

  // Set-up and state.
  bool SetFileName(const std::string& Name);  // returns IsCompressed
  void SetReadOnly(bool Value);
  void SetStrict(bool Value);
  void SetActive(bool Value);
  void SetDecimalSeparator(char Value);
  void SetThousandSeparator(char Value);
  // The format of a new file, chosen before CreateNew; Open replaces it with
  // the format the file's first byte says. EDataFileIsOpen while open or
  // creating.
  void SetFormat(TEDFFormat Value);

  // Queries.
  bool HeaderValid() const;
  bool SignalHeadersValid() const;
  bool HeaderModified() const;
  bool SignalHeadersModified() const;
  bool Modified() const;
  // Raises EListError outside 0 .. SignalCount() - 1.
  TCustomEDFSignalInfo* GetSignal(int Index) const;
  int SignalCount() const { return static_cast<int>(FSignals.size()); }
  // The shared buffer itself, never a copy; allocated on first use (so a
  // header alone never reserves a record's memory) and rebuilt as a new
  // array by UpdateChunks, so an older reference keeps the older samples.
  // Each format has its own: GetBuffer holds EDF's 16-bit samples and
  // GetBuffer32 BDF's 24-bit ones; the other format's stays empty.
  std::shared_ptr<TDynSmallIntArray> GetBuffer();
  std::shared_ptr<TDynIntegerArray> GetBuffer32();
  // The headers are valid and, TEDFFile's whole-file checks passing, the
  // records can be read as they are laid out. Not the checker's verdict
  // (check/HeaderJudgement): an unknown record count (-1) is only recorded
  // in HeaderErrors here, as the records present can be read, while the
  // verdict rejects it.
  virtual bool IsValid();

  // The read/write plan; also the target of every signal's OnSelectedChange.
  virtual void UpdateChunks(TCustomEDFSignalInfo* Sender = nullptr);

  // Reading.
  virtual void Open();
  void Close();
  void ReadHeader();
  void ReadSignalHeaders();
  void ReadHeaders();
  // SetStrict(Value) followed by ReadHeaders, without re-parsing records that
  // the re-read replaces at once: the same state, one parse less. Like
  // SetStrict, the validity is that of the records read before, so a file
  // whose signal count the old strictness refused stays invalid.
  void ReadHeadersUnder(bool Strict);
  virtual void ReadDataRecord(int32_t Index);

  // Creating and writing.
  virtual void CreateNew(int NrSignals, bool Overwrite);
  void WriteHeaders();
  void WriteHeader();
  void WriteSignalHeaders();
  virtual void WriteDataRecord(int32_t Index);

  // Helpers.
  bool DetectNumberFormat();
  void ComputeRecordSamples();
  // Width bytes at the stream position; a short read gives a shorter text.
  std::string ReadField(int Width);
  // Text padded or cut to Width when Valid, else Width blanks.
  void WriteField(bool Valid, const std::string& Text, int Width);

  // Getters.
  bool Active() const { return FActive; }
  bool ReadOnly() const { return FReadOnly; }
  bool Valid() const { return FValid; }
  bool Creating() const { return FCreating; }
  bool Strict() const { return FStrict; }
  bool InValidation() const { return FInValidation; }
  bool IsCompressed() const { return FIsCompressed; }
  TEDFFormat Format() const { return FFormat; }
  // Bytes of one sample on disk: 2 for EDF, 3 for BDF.
  int SampleBytes() const { return EDFSampleBytesOf(FFormat); }
  TEDFHeaderErrors HeaderErrors() const { return FHeaderErrors; }
  const std::string& FileName() const { return FFileName; }
  char DecimalSeparator() const { return FDecimalSeparator; }
  char ThousandSeparator() const { return FThousandSeparator; }
  int32_t CurrentRecord() const { return FCurrentRecord; }
  // Samples per data record over all signals; 64-bit because a crafted
  // header can announce sums beyond 32 bits.
  int64_t RecordSamples() const { return FRecordSamples; }
  // Samples of the selected signals of one record as planned, even when the
  // buffer was refused for being larger than MaxBufferSamples.
  int64_t PlannedBufferLength() const { return FPlannedBufferLength; }
  TCustomEDFFileInfo* FileInfo() const { return FFileInfo.get(); }
  const std::vector<TReadWriteDataChunk>& Chunks() const { return FChunks; }
  // Size of the open file in bytes; -1 while no file is open.
  int64_t FileSize() const;
  // While held, FileSize() asks the system once per open file and keeps the
  // answer, so that one judgement of the headers sees one size (and costs
  // one call). Released, every FileSize() is the size at that moment.
  void HoldFileSize(bool Value);
  // The open file, for passes that read the data records in bulk; nullptr
  // while closed.
  const TFileStream* Stream() const { return FStream.get(); }

protected:
  virtual std::unique_ptr<TCustomEDFSignalInfo> CreateSignalInfo() = 0;
  virtual std::unique_ptr<TCustomEDFFileInfo> CreateFileInfo() = 0;
  virtual void SetCreating(bool Value);

  // A new signal record at the end, with this object's strictness and
  // notification; with Block (the signal headers as read), its texts are
  // those of signal Index of Count, parsed once.
  void AppendSignal(const std::string* Block = nullptr, int Index = 0, int Count = 0);
  void SetInValidation(bool Value) { FInValidation = Value; }
  void AddHeaderError(TEDFHeaderError e) { FHeaderErrors.Include(e); }

  bool FInValidation = false;
  bool FReadOnly = false;
  bool FActive = false;
  bool FValid = false;
  TEDFHeaderErrors FHeaderErrors;
  std::string FFileName;
  bool FStrict = true;
  char FDecimalSeparator = '.';
  char FThousandSeparator = '\0';
  bool FIsCompressed = false;
  bool FCreating = false;
  int32_t FCurrentRecord = -1;
  int64_t FRecordSamples = 0;
  int64_t FPlannedBufferLength = 0;
  // The last plan was refused: its buffer or record offsets exceed the caps.
  bool FPlanTooLarge = false;
  TEDFFormat FFormat = TEDFFormat::EDF;
  std::shared_ptr<TDynSmallIntArray> FBuffer;
  std::shared_ptr<TDynIntegerArray> FBuffer32;
  std::unique_ptr<TFileStream> FStream;
  bool FHoldFileSize = false;
  mutable int64_t FHeldFileSize = -1;  // -1: not asked since the hold or the open
  std::unique_ptr<TCustomEDFFileInfo> FFileInfo;
  std::vector<TReadWriteDataChunk> FChunks;
  std::vector<std::unique_ptr<TCustomEDFSignalInfo>> FSignals;

  // A general header record of this object's format.
  std::unique_ptr<TCustomEDFFileInfo> NewFileInfo();
  // The buffer of this object's format: empty, or filled with Length zeros.
  bool BufferEmpty() const;
  void AllocateBuffer(int64_t Length);
  // Both buffers dropped (new empty arrays).
  void DropBuffers();

private:
  void WriteChunk(int64_t Position, int64_t BufferOffset, int64_t Count);
  void WriteZeros(int64_t Position, int64_t Count, std::vector<uint8_t>& Scratch);
};

// The concrete EDF file: the record factories, the completion of a new file,
// and the whole-file checks (record size and duration for EDF, the memory
// cap for BDF, file size for both).
class TEDFFile : public TCustomEDFFile {
public:
  TEDFFile() = default;
  bool IsValid() override;
  void CreateNew(int NrSignals, bool Overwrite) override;

protected:
  std::unique_ptr<TCustomEDFSignalInfo> CreateSignalInfo() override;
  std::unique_ptr<TCustomEDFFileInfo> CreateFileInfo() override;

private:
  void CheckWholeFile(bool& Result);
};
