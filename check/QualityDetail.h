// Inside the quality pass: what the header says about each signal, the
// runs of identical values the walk over the run masks hands on, the
// findings kept per rule, and the time line (record starts, epochs, the map).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/Finding.h"
#include "check/QualityCheck.h"
#include "check/QualityText.h"
#include "check/Tal.h"

class TCustomEDFFile;

// A signal as the pass judges it, from its header.
struct TSignalFacts {
  int Index = 0;
  std::string Label;
  TQualityRole Role = TQualityRole::Ordinary;
  int64_t N = 0;       // samples per record
  int64_t Offset = 0;  // byte offset in a record
  bool HasLimits = false;  // DigiMin below DigiMax, both valid
  int32_t DigiMin = 0, DigiMax = 0;
  bool Calibrated = false;
  long double Gain = 0;
  double PhysiMin = 0;
  int Decimals = 1;
  std::string Unit;
  // Runs of at least these many samples last the flat, the shorter of the
  // tail and dead thresholds, and the smaller of the two.
  int64_t KFlat = 1, KStretch = 1, KMin = 1;

  bool Ordinary() const { return Role == TQualityRole::Ordinary || Role == TQualityRole::Waveform; }
  bool Waveform() const { return Role == TQualityRole::Waveform; }
  bool IsLimit(int32_t V) const { return HasLimits && (V == DigiMin || V == DigiMax); }
  TQualityValue ValueOf(int32_t Digital) const;
};

// A maximal run of one value: samples [Start, End) of its signal, counted
// from the start of the file. An open run goes on past the block.
struct TRun {
  int64_t Start = 0;
  int64_t End = 0;
  int32_t Value = 0;
  bool Open = false;
  bool InStretch = false;  // a tail or dead stretch stands for it
};

// A point in time as a signal's sample position: Sample / PerRecord records
// from the start of the file (within one stretch of contiguous records,
// positions of different signals compare as times).
struct TPoint {
  int64_t Sample = 0;
  int64_t PerRecord = 1;
};
// <0, 0 or >0 as A lies before, at or after B.
int ComparePoints(const TPoint& A, const TPoint& B);
// Whether B - A lasts at least Ns nanoseconds with records of RecordNs.
bool LastsAtLeast(const TPoint& A, const TPoint& B, int64_t RecordNs, int64_t Ns);

// One rule's findings: every one counted, the first QualityListedPerRule
// kept with their time spans.
struct TTally {
  int64_t Count = 0;
  int64_t Samples = 0;  // in the runs counted
  double Seconds = 0;
  TFindings Listed;
  std::vector<TQualitySpan> Spans;

  bool Listing() const { return static_cast<int64_t>(Listed.size()) < QualityListedPerRule; }
  void Clear() { *this = TTally{}; }
};

// Record durations, record starts (EDF+D: from the time-keeping stamps) and
// the epochs: which hold data, and per signal the marks of the map.
class TTimeline {
public:
  // Map marks, one bit each, of one signal in one epoch.
  enum : uint8_t { mOutside = 1, mClipped = 2, mLimitFlat = 4, mFlat = 8, mStretch = 16 };

  TTimeline(const TCustomEDFFile& F, const TQualityOptions& Options, int64_t RecordNs, size_t Signals);

  int64_t RecordNs() const { return FRecordNs; }
  bool Timed() const { return FRecordNs > 0; }
  double ClockStart() const { return FClockStart; }

  // Before the signals of records [First, First + Count) are walked: their
  // starts and which of them begin a new stretch of contiguous records.
  void Block(int64_t First, int64_t Count, const uint8_t* Bytes, int64_t RecordBytes, int64_t AnnotationOffset,
             int64_t AnnotationBytes);
  // Whether record First + i of the block does not continue the one before.
  bool Breaks(int64_t i) const { return FBreaks[static_cast<size_t>(i)] != 0; }

  // Nanoseconds from the recording start to where sample Sample of a signal
  // of N samples per record starts, or where it ends (End); Anchor is a record
  // of the same contiguous stretch, in the last block or the last one read.
  int64_t StartNs(int64_t Sample, int64_t N, int64_t Anchor) const;
  int64_t EndNs(int64_t Sample, int64_t N, int64_t Anchor) const;
  // The first sample of record Record (N a record) that starts at Ns or
  // later, counted in the record (N when none does).
  int64_t FirstSampleFrom(int64_t Ns, int64_t N, int64_t Record) const;

  // Marks Bit in the epochs that [From, To) overlaps, in one signal's row.
  void Mark(size_t Signal, int64_t From, int64_t To, uint8_t Bit);
  // The epoch of a time, and where it ends.
  int64_t EpochOf(int64_t Ns) const { return Ns < 0 ? 0 : Ns / FEpochNs; }
  int64_t EpochEndNs(int64_t Epoch) const { return (Epoch + 1) * FEpochNs; }

  // After the pass: the epochs of the records read (Records of them).
  int64_t Epochs(int64_t Records) const;
  bool HasData(int64_t Epoch) const;
  uint8_t Marks(size_t Signal, int64_t Epoch) const;
  bool Cut() const { return FCut; }

private:
  int64_t RecordStartNs(int64_t Record, int64_t Anchor) const;
  // Room for this many epochs (at most the cap); false when there is none.
  bool Ensure(int64_t Epochs);

  int64_t FRecordNs;
  int64_t FEpochNs;
  bool FPlus = false;
  bool FDiscontinuous = false;
  double FClockStart = -1;
  TExactTime FDuration;
  TExactTime FStamp0;
  // The block's records: their starts and breaks.
  int64_t FFirst = 0;
  std::vector<int64_t> FStarts;
  std::vector<uint8_t> FBreaks;
  // The last record read, its stamp, and whether it was readable.
  int64_t FLastRecord = -1;
  int64_t FLastStart = 0;
  int64_t FEndNs = 0;  // the latest end of a record read
  TExactTime FLastStamp;
  bool FLastStamped = false;
  std::vector<uint8_t> FHasData;  // EDF+D only: plain files cover every epoch
  std::vector<std::vector<uint8_t>> FMaps;
  int64_t FMaxEpochs;
  bool FCut = false;  // some epoch lay beyond the cap
};

// What the pass keeps of one signal from block to block.
struct TTrack {
  bool Started = false;
  int32_t Last = 0;  // the last sample read
  bool Changed = false;
  // The first two values met, and how many distinct ones (3: more than two).
  int Distinct = 0;
  int32_t A = 0, B = 0;
  bool Outside = false;  // some sample outside DigiMin..DigiMax
  // The run going on, and this block's runs worth a look, the open one last.
  // RunLimit says whether its first sample hit a limit mark, so that it may
  // be clipped.
  int64_t RunStart = 0;
  int32_t RunValue = 0;
  bool RunLimit = false;
  std::vector<TRun> Runs;
  // Flat runs off the limits; flat runs at a limit (flat only when clipping
  // is not judged); clipped runs (only when it is).
  TTally Common, LimitFlat, Clipped;
};

// One signal's samples in a block and their run masks.
struct TBlockView {
  const uint8_t* Bytes = nullptr;  // the signal's first sample in the block's first record
  int64_t First = 0, Count = 0, RecordBytes = 0;
  int SampleBytes = 2;
  int64_t Words = 0;  // mask words per record
  const uint64_t* Same = nullptr;
  const uint64_t* Limit = nullptr;
  const uint64_t* Outside = nullptr;
  const uint8_t* Calm = nullptr;

  int32_t Sample(int64_t Record, int64_t K) const;  // Record counted in the block
};

// The runs worth a look of one signal in the block into T.Runs (the open
// one not yet): at least KMin samples, or ClipSamples at a limit. Breaks
// say which records start a new stretch of contiguous records.
void WalkRuns(TTrack& T, const TSignalFacts& S, const TBlockView& B, const TTimeline& Time, int64_t ClipSamples);
// Notes up to three distinct values of the signal.
void CountLevels(TTrack& T, const TBlockView& B);
// Marks the epochs that hold a sample outside the digital limits.
void MarkOutside(TTimeline& Time, const TSignalFacts& S, const TBlockView& B);

// A threshold in nanoseconds: at least 1, at most 10^9 s.
int64_t QualityNs(double Seconds);
// The record duration in nanoseconds, exact for the header's decimal text;
// 0 when it is not a positive number.
int64_t RecordDurationNs(const TCustomEDFFile& F);
// The facts of every signal of F.
std::vector<TSignalFacts> SignalFactsOf(const TCustomEDFFile& F, const TQualityOptions& Options, int64_t RecordNs);
