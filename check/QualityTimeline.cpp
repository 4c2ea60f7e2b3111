// When each record and sample lies in time, and the epochs of the map.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "check/QualityDetail.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "util/udStr.h"

namespace {

__extension__ typedef __int128 Wide;

// Epochs kept per signal, and bytes for all maps together: a year of 30 s
// epochs, and far below what a file's own samples take.
constexpr int64_t MaxEpochs = int64_t{1} << 20;
constexpr int64_t MaxMapBytes = int64_t{64} << 20;

int64_t NsOf(const TExactTime& T) { return T.Seconds * 1000000000 + T.Atto / 1000000000; }

// The first TAL of an annotation signal's bytes when it is a time-keeping
// one ("+12.5" 0x14 0x14 0x00): the record's start.
class TStampReader : public TTalHandler {
public:
  bool Found = false;
  TExactTime Stamp;
  void OnTal(const TTal& T) override {
    if (T.Index == 0 && T.OnsetValid && T.Texts > 0 && T.FirstText.Size() == 0) {
      Found = true;
      Stamp = T.OnsetValue;
    }
  }
  void OnFault(TTalFault, TNumberFault, uint32_t, TTalSpan) override {}
};

bool ReadStamp(const uint8_t* Bytes, int64_t Size, TExactTime& Stamp) {
  if (Size <= 0) return false;
  // The first TAL ends at the first 0x00; the rest is not needed.
  const void* Nul = std::memchr(Bytes, 0, static_cast<size_t>(Size));
  const int64_t Length = Nul ? static_cast<const uint8_t*>(Nul) - Bytes + 1 : Size;
  TStampReader Reader;
  ScanTals(Bytes, static_cast<uint32_t>(std::min<int64_t>(Length, UINT32_MAX)), Reader);
  Stamp = Reader.Stamp;
  return Reader.Found;
}

bool IsPlus(const std::string& Reserved) {
  const std::string Head = UpperCaseAscii(Reserved.substr(0, 4));
  return Head == "EDF+" || Head == "BDF+";
}

}  // namespace

TTimeline::TTimeline(const TCustomEDFFile& F, const TQualityOptions& Options, int64_t RecordNs, size_t Signals)
    : FRecordNs(RecordNs),
      FEpochNs(QualityNs(Options.EpochSeconds)),
      FMaxEpochs(std::max<int64_t>(1, std::min(MaxEpochs, MaxMapBytes / static_cast<int64_t>(Signals + 1)))) {
  FMaps.resize(Signals);
  FDuration = TExactTime{RecordNs / 1000000000, RecordNs % 1000000000 * 1000000000};
  const TCustomEDFFileInfo& Info = *F.FileInfo();
  const std::string& Reserved = Info.OriginalHeader()[gfReserved];
  FPlus = IsPlus(Reserved);
  FDiscontinuous = FPlus && Reserved.size() > 4 && Reserved[4] != 'C' && Reserved[4] != 'c' && RecordNs > 0;
  if (Info.GetFieldValid(gfStartTime)) {
    const double Day = static_cast<double>(Info.StartTime());
    FClockStart = std::round((Day - std::floor(Day)) * 86400.0);
  }
}

void TTimeline::Block(int64_t First, int64_t Count, const uint8_t* Bytes, int64_t RecordBytes,
                      int64_t AnnotationOffset, int64_t AnnotationBytes) {
  FFirst = First;
  FStarts.resize(static_cast<size_t>(Count));
  FBreaks.assign(static_cast<size_t>(Count), 0);
  const bool Stamps = FPlus && AnnotationOffset >= 0;
  for (int64_t i = 0; i < Count; ++i) {
    const int64_t R = First + i;
    TExactTime Stamp;
    const bool Stamped = Stamps && (R == 0 || FDiscontinuous) &&
                         ReadStamp(Bytes + i * RecordBytes + AnnotationOffset, AnnotationBytes, Stamp);
    int64_t Start = R * FRecordNs;
    if (R == 0) {
      FStamp0 = Stamped ? Stamp : TExactTime{};
      // EDF+: the first record starts this fraction of a second after StartTime.
      if (Stamped && FClockStart >= 0 && Stamp >= TExactTime{}) FClockStart += static_cast<double>(Stamp.Approx());
      Start = 0;
    } else if (FDiscontinuous) {
      // A record continues the one before only when it starts exactly where
      // that one ended; an unreadable stamp breaks the runs on both sides.
      Start = Stamped ? NsOf(Stamp - FStamp0) : FLastStart + FRecordNs;
      FBreaks[static_cast<size_t>(i)] = !(Stamped && FLastStamped && Stamp == FLastStamp + FDuration);
    }
    FStarts[static_cast<size_t>(i)] = Start;
    FLastRecord = R;
    FLastStart = Start;
    FLastStamp = Stamp;
    FLastStamped = Stamped;
    FEndNs = std::max(FEndNs, Start + FRecordNs);
    if (FDiscontinuous && Start + FRecordNs > 0 && Ensure(EpochOf(Start + FRecordNs - 1) + 1)) {
      const int64_t Last = std::min(EpochOf(Start + FRecordNs - 1), static_cast<int64_t>(FHasData.size()) - 1);
      for (int64_t e = EpochOf(Start); e <= Last; ++e) FHasData[static_cast<size_t>(e)] = 1;
    }
  }
}

int64_t TTimeline::RecordStartNs(int64_t Record, int64_t Anchor) const {
  if (!FDiscontinuous) return Record * FRecordNs;
  int64_t AnchorStart = Anchor * FRecordNs;
  if (Anchor >= FFirst && Anchor < FFirst + static_cast<int64_t>(FStarts.size()))
    AnchorStart = FStarts[static_cast<size_t>(Anchor - FFirst)];
  else if (Anchor == FLastRecord)
    AnchorStart = FLastStart;
  return AnchorStart - (Anchor - Record) * FRecordNs;
}

int64_t TTimeline::StartNs(int64_t Sample, int64_t N, int64_t Anchor) const {
  const int64_t K = Sample % N;
  return RecordStartNs(Sample / N, Anchor) + static_cast<int64_t>(Wide{K} * FRecordNs / N);
}

int64_t TTimeline::EndNs(int64_t Sample, int64_t N, int64_t Anchor) const {
  const int64_t Last = Sample - 1;
  const Wide Into = Wide{Last % N + 1} * FRecordNs;
  return RecordStartNs(Last / N, Anchor) + static_cast<int64_t>((Into + N - 1) / N);
}

int64_t TTimeline::FirstSampleFrom(int64_t Ns, int64_t N, int64_t Record) const {
  const int64_t Into = Ns - RecordStartNs(Record, Record);
  if (Into <= 0) return 0;
  // Sample K starts at floor(K * D / N) into the record: at Into or later
  // from K = ceil(Into * N / D).
  const Wide K = (Wide{Into} * N + FRecordNs - 1) / FRecordNs;
  return K > N ? N : static_cast<int64_t>(K);
}

bool TTimeline::Ensure(int64_t Epochs) {
  if (Epochs > FMaxEpochs) {
    FCut = true;
    Epochs = FMaxEpochs;
  }
  if (Epochs <= 0) return false;
  const auto Want = static_cast<size_t>(Epochs);
  const auto Grow = [&](std::vector<uint8_t>& V) {
    if (V.size() < Want) V.resize(std::min<size_t>(std::max(Want, 2 * V.size()), static_cast<size_t>(FMaxEpochs)), 0);
  };
  if (FDiscontinuous) Grow(FHasData);
  return true;
}

void TTimeline::Mark(size_t Signal, int64_t From, int64_t To, uint8_t Bit) {
  if (FRecordNs <= 0 || To <= From) return;
  const int64_t Last = EpochOf(To - 1);
  if (!Ensure(Last + 1)) return;
  std::vector<uint8_t>& Map = FMaps[Signal];
  const auto Want = static_cast<size_t>(std::min(Last + 1, FMaxEpochs));
  if (Map.size() < Want) Map.resize(std::min<size_t>(std::max(Want, 2 * Map.size()), static_cast<size_t>(FMaxEpochs)), 0);
  for (int64_t e = EpochOf(From); e <= Last && e < FMaxEpochs; ++e) Map[static_cast<size_t>(e)] |= Bit;
}

int64_t TTimeline::Epochs(int64_t Records) const {
  if (FRecordNs <= 0) return 0;
  const int64_t End = FDiscontinuous ? FEndNs : Records * FRecordNs;
  const int64_t N = End <= 0 ? 0 : (End - 1) / FEpochNs + 1;
  return std::min(N, FMaxEpochs);
}

bool TTimeline::HasData(int64_t Epoch) const {
  if (!FDiscontinuous) return true;
  return Epoch < static_cast<int64_t>(FHasData.size()) && FHasData[static_cast<size_t>(Epoch)] != 0;
}

uint8_t TTimeline::Marks(size_t Signal, int64_t Epoch) const {
  const std::vector<uint8_t>& Map = FMaps[Signal];
  return Epoch < static_cast<int64_t>(Map.size()) ? Map[static_cast<size_t>(Epoch)] : 0;
}
