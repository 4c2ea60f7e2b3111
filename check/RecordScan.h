// One streaming pass over the data records of an open file: many whole
// records per read, and every record handed, as its raw bytes, to each
// visitor (the digital min/max fold, the EDF+ conformance checks, ...), so
// that all record-level checks share one read of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class TCustomEDFFile;
class TFileStream;

// Where each signal's samples lie inside a data record; built once per file.
struct TSignalSpan {
  int64_t Offset = 0;   // byte offset inside the record
  int64_t Samples = 0;  // samples per record
};

struct TRecordLayout {
  int64_t HeaderBytes = 0;
  int64_t RecordBytes = 0;
  int64_t NrRecords = 0;  // the records to scan: the complete records present
  int SampleBytes = 2;    // 2 for EDF, 3 for BDF
  std::vector<TSignalSpan> Signals;
};

// The layout of F's data records as its headers say (F open, headers valid).
TRecordLayout RecordLayoutOf(const TCustomEDFFile& F);

class TRecordVisitor {
public:
  virtual ~TRecordVisitor() = default;
  // Record Index (0-based), whose first byte is at file offset Position;
  // Bytes holds Layout.RecordBytes bytes and is valid during the call only.
  virtual void OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) = 0;
  // Count whole records of RecordBytes bytes from record First, the block
  // read in one call; by default each is handed to OnRecord. A visitor that
  // works on many records at once (the min/max fold) overrides it.
  virtual void OnRecords(int64_t First, int64_t Count, int64_t RecordBytes, int64_t Position,
                         const uint8_t* Bytes);

  // During OnRecords: how many bytes after the block are already readable in
  // memory as the records that follow (a mapped file; 0 when read). A
  // visitor may have the processor fetch them while it works on this block.
  int64_t ReadableAfter() const { return FReadableAfter; }
  void SetReadableAfter(int64_t Bytes) { FReadableAfter = Bytes; }

private:
  int64_t FReadableAfter = 0;
};

struct TScanOutcome {
  int64_t RecordsScanned = 0;
  bool Cancelled = false;
  // A record could not be read whole: the file ended early or a read failed.
  bool ReadFailed = false;
  int64_t FailedRecord = -1;
  int64_t FailedOffset = -1;  // the first byte that could not be read
  std::string Error;
  // The file's size before and after the pass; they differ when the file
  // changed meanwhile, and then what was read may not be what is there.
  int64_t SizeAtStart = 0;
  int64_t SizeAtEnd = 0;

  bool FileChanged() const { return SizeAtStart != SizeAtEnd; }
};

// Told the records done so far (after each block of records); returns false
// to stop the pass (cancel).
using TScanProgress = std::function<bool(int64_t RecordsDone, int64_t NrRecords)>;

// About this many bytes are read per call (never less than one record). A
// quarter MiB is still in the core's cache when the fold walks it; on the
// build machine it scans a few per cent faster than 1 MiB blocks.
inline constexpr int64_t ScanBlockBytes = int64_t{1} << 18;

// Where the pass takes the bytes from: copies made by read() calls, or a
// read-only mapping of the file, which skips the copy (the command line's
// passes). Records the mapping cannot give (a file system that cannot map,
// records beyond the file's end) are read; a file cut while mapped gives the
// outcome a short read gives.
enum class TScanSource : uint8_t { Read, Map };

// Reads the records of Layout from Stream in blocks and hands each to every
// visitor in record order. Never raises for a short read: it stops there
// and says where.
TScanOutcome ScanRecords(const TFileStream& Stream, const TRecordLayout& Layout,
                         std::span<TRecordVisitor* const> Visitors, const TScanProgress& Progress = {},
                         TScanSource Source = TScanSource::Read);
