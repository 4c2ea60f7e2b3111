#include "check/RecordScan.h"

#include <algorithm>
#include <vector>

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

TScanOutcome ScanRecords(const TFileStream& Stream, const TRecordLayout& Layout,
                         std::span<TRecordVisitor* const> Visitors, const TScanProgress& Progress) {
  TScanOutcome Out;
  Out.SizeAtStart = Stream.Size();
  if (Layout.RecordBytes <= 0 || Layout.NrRecords <= 0) {
    Out.SizeAtEnd = Stream.Size();
    return Out;
  }
  const int64_t PerBlock = std::max<int64_t>(1, ScanBlockBytes / Layout.RecordBytes);
  std::vector<uint8_t> Block(static_cast<size_t>(std::min(PerBlock, Layout.NrRecords) * Layout.RecordBytes));
  for (int64_t First = 0; First < Layout.NrRecords;) {
    const int64_t Count = std::min(PerBlock, Layout.NrRecords - First);
    const int64_t Position = Layout.HeaderBytes + First * Layout.RecordBytes;
    const int64_t Want = Count * Layout.RecordBytes;
    const int64_t Got = Stream.ReadAt(Position, Block.data(), Want);
    // Whole records only: a record cut short is never handed on.
    const int64_t Whole = Got / Layout.RecordBytes;
    if (Whole > 0)
      for (TRecordVisitor* V : Visitors) V->OnRecords(First, Whole, Layout.RecordBytes, Position, Block.data());
    Out.RecordsScanned += Whole;
    if (Got < Want) {
      Out.ReadFailed = true;
      Out.FailedRecord = First + Whole;
      Out.FailedOffset = Position + Got;
      const std::string Where = "byte " + std::to_string(Position + Got) + ", in data record " +
                                std::to_string(First + Whole + 1);
      Out.Error = Stream.Size() > Position + Got ? "reading failed at " + Where : "the file ends at " + Where;
      break;
    }
    First += Count;
    if (Progress && !Progress(First, Layout.NrRecords)) {
      Out.Cancelled = First < Layout.NrRecords;
      break;
    }
  }
  Out.SizeAtEnd = Stream.Size();
  return Out;
}
