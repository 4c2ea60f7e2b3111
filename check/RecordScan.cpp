#include "check/RecordScan.h"

#include <algorithm>
#include <vector>

#include "check/MappedFile.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uFileStream.h"

TRecordLayout RecordLayoutOf(const TCustomEDFFile& F) {
  TRecordLayout L;
  const TCustomEDFFileInfo& Info = *F.FileInfo();
  L.HeaderBytes = Info.HeaderBytes();
  L.SampleBytes = F.SampleBytes();
  L.NrRecords = std::max<int64_t>(Info.NrDataRecords(), 0);
  int64_t Offset = 0;
  for (int i = 0; i < F.SignalCount(); ++i) {
    const int64_t Samples = std::max<int32_t>(F.GetSignal(i)->NrSamples(), 0);
    L.Signals.push_back({Offset, Samples});
    Offset += Samples * L.SampleBytes;
  }
  L.RecordBytes = Offset;
  return L;
}

void TRecordVisitor::OnRecords(int64_t First, int64_t Count, int64_t RecordBytes, int64_t Position,
                               const uint8_t* Bytes) {
  for (int64_t r = 0; r < Count; ++r) OnRecord(First + r, Position + r * RecordBytes, Bytes + r * RecordBytes);
}

namespace {

// "the file ends at byte 1234, in data record 5" or "reading failed at ...".
void StopAt(TScanOutcome& Out, const TFileStream& Stream, const TRecordLayout& Layout, int64_t Offset) {
  const int64_t Record = (Offset - Layout.HeaderBytes) / Layout.RecordBytes;
  Out.ReadFailed = true;
  Out.FailedRecord = Record;
  Out.FailedOffset = Offset;
  const std::string Where = "byte " + std::to_string(Offset) + ", in data record " + std::to_string(Record + 1);
  Out.Error = Stream.Size() > Offset ? "reading failed at " + Where : "the file ends at " + Where;
}

// Hands records [First, First + Count) at Bytes to every visitor, with
// ReadableAfter bytes of the records that follow readable behind them; false
// when the pass is to stop after them (cancelled).
bool HandOn(TScanOutcome& Out, const TRecordLayout& Layout, std::span<TRecordVisitor* const> Visitors,
            const TScanProgress& Progress, int64_t First, int64_t Count, const uint8_t* Bytes,
            int64_t ReadableAfter = 0) {
  const int64_t Position = Layout.HeaderBytes + First * Layout.RecordBytes;
  for (TRecordVisitor* V : Visitors) {
    V->SetReadableAfter(ReadableAfter);
    V->OnRecords(First, Count, Layout.RecordBytes, Position, Bytes);
    V->SetReadableAfter(0);
  }
  Out.RecordsScanned += Count;
  const int64_t Done = First + Count;
  if (Progress && !Progress(Done, Layout.NrRecords)) {
    Out.Cancelled = Done < Layout.NrRecords;
    return false;
  }
  return true;
}

// The records from First on through the mapping, as far as the file held
// them at the start; returns the first record left to read, or -1 when the
// pass ended here.
int64_t ScanMapped(TScanOutcome& Out, const TFileStream& Stream, const TRecordLayout& Layout,
                   std::span<TRecordVisitor* const> Visitors, const TScanProgress& Progress, int64_t PerBlock) {
  const int64_t Present =
      std::clamp<int64_t>((Out.SizeAtStart - Layout.HeaderBytes) / Layout.RecordBytes, 0, Layout.NrRecords);
  TMappedFile Mapping(Stream.Handle());
  TMappedFile::TReading Guard(Mapping);
  int64_t First = 0;
  while (First < Present) {
    const int64_t Count = std::min(PerBlock, Present - First);
    const int64_t Position = Layout.HeaderBytes + First * Layout.RecordBytes;
    const int64_t End = Position + Count * Layout.RecordBytes;
    // Every page there and the file still that long: otherwise the read
    // path takes over here and finds what a read finds.
    if (!Mapping.Cover(Position, End) || Mapping.Touch(Position, End) < End || Stream.Size() < End) return First;
    // The records behind the block that the window holds and the file had.
    const int64_t After =
        std::max<int64_t>(0, std::min(Mapping.CoveredEnd(), Layout.HeaderBytes + Present * Layout.RecordBytes) - End);
    if (!HandOn(Out, Layout, Visitors, {}, First, Count, Mapping.At(Position), After)) return -1;
    if (const int64_t Fault = Mapping.FaultAt(); Fault >= 0) {
      // Cut while the visitors read the block: what they saw from there on
      // was zeros, so the pass ends where the bytes ended.
      const int64_t Stop = std::clamp(std::min(Fault, Stream.Size()), Position, End);
      Out.RecordsScanned = (Stop - Layout.HeaderBytes) / Layout.RecordBytes;
      StopAt(Out, Stream, Layout, Stop);
      return -1;
    }
    First += Count;
    if (Progress && !Progress(First, Layout.NrRecords)) {
      Out.Cancelled = First < Layout.NrRecords;
      return -1;
    }
  }
  return First;
}

}  // namespace

TScanOutcome ScanRecords(const TFileStream& Stream, const TRecordLayout& Layout,
                         std::span<TRecordVisitor* const> Visitors, const TScanProgress& Progress, TScanSource Source) {
  TScanOutcome Out;
  Out.SizeAtStart = Stream.Size();
  if (Layout.RecordBytes <= 0 || Layout.NrRecords <= 0) {
    Out.SizeAtEnd = Stream.Size();
    return Out;
  }
  const int64_t PerBlock = std::max<int64_t>(1, ScanBlockBytes / Layout.RecordBytes);
  int64_t First = 0;
  if (Source == TScanSource::Map) First = ScanMapped(Out, Stream, Layout, Visitors, Progress, PerBlock);
  if (First >= 0 && First < Layout.NrRecords) {
    std::vector<uint8_t> Block;
    while (First < Layout.NrRecords) {
      const int64_t Count = std::min(PerBlock, Layout.NrRecords - First);
      const int64_t Position = Layout.HeaderBytes + First * Layout.RecordBytes;
      const int64_t Want = Count * Layout.RecordBytes;
      // The block grows only to what the file holds: a header may announce
      // records of hundreds of MB in a file of one KB.
      const int64_t Ask = std::clamp<int64_t>(Stream.Size() - Position, 0, Want);
      if (Block.size() < static_cast<size_t>(Ask)) Block.resize(static_cast<size_t>(Ask));
      const int64_t Got = Ask > 0 ? Stream.ReadAt(Position, Block.data(), Ask) : 0;
      // Whole records only: a record cut short is never handed on.
      const int64_t Whole = Got / Layout.RecordBytes;
      if (Whole > 0 &&
          !HandOn(Out, Layout, Visitors, Whole == Count ? Progress : TScanProgress{}, First, Whole, Block.data()))
        break;
      if (Got < Want) {
        StopAt(Out, Stream, Layout, Position + Got);
        break;
      }
      First += Count;
    }
  }
  Out.SizeAtEnd = Stream.Size();
  return Out;
}
