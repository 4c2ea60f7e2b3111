// The signal-quality pass: whether the recording in a well-formed file is
// usable. It finds, in the one streaming pass over the data records that the
// min/max fold and the conformance check share:
//   quality.flat      a waveform signal holding one value for a long time,
//   quality.clipped   runs of samples at a digital limit,
//   quality.constant  a signal of one value throughout,
//   quality.tail      the recording ending in a stretch where every waveform
//                     signal is constant (padding of the last record),
//   quality.dead      such a stretch inside the recording (lost data);
// each with its signal, record, byte, start, duration and value; and per
// signal a summary and an epoch map (one state per epoch) that every face
// draws the same way. Per signal the state is a few numbers and the map a
// byte per epoch, so memory does not grow with the file.
//
//   TQualityCheck Quality(F, Options);
//   TRecordVisitor* V[] = {&Quality, ...};  // beside the conformance check and the fold
//   TScanOutcome Outcome;
//   if (Quality.WantsRecords()) Outcome = ScanRecords(*F.Stream(), Quality.Layout(), V, Progress);
//   TQualityReport Report = Quality.Finish(Outcome);
//
// or, for the pass alone, CheckQuality(F, Options, Progress).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/Conformance.h"
#include "check/Finding.h"
#include "check/MinMaxScan.h"
#include "check/RecordScan.h"

class TCustomEDFFile;

// The thresholds; each means "at least".
struct TQualityOptions {
  double FlatSeconds = 10;   // quality.flat
  int64_t ClipSamples = 3;   // quality.clipped
  double TailSeconds = 1;    // quality.tail
  double DeadSeconds = 1;    // quality.dead
  double EpochSeconds = 30;  // the epoch map and the usable share
};

inline constexpr int64_t QualityListedPerRule = 20;

// How a signal takes part: annotation signals and signals without samples
// are left out; ordinary signals get quality.constant and the min/max
// states; waveform signals (a voltage, 10 Hz or more, not an event channel)
// are judged by every rule.
enum class TQualityRole : uint8_t { Annotation, Empty, Ordinary, Waveform };

// One state per signal and epoch, worst first; the letters are the map's.
enum class TEpochState : char {
  OutOfRange = 'r',
  Clipped = 'c',
  Flat = 'f',      // also quality.constant
  TailDead = 't',
  Gap = 'g',       // EDF+D: no record covers any part of the epoch
  Good = '.',
  NotJudged = '-'  // not judged, and nothing above applies
};

struct TQualitySignal {
  int Index = 0;      // 0-based over all signals of the file
  std::string Label;  // right-trimmed, as read
  TQualityRole Role = TQualityRole::Ordinary;
  bool Judged() const { return Role == TQualityRole::Waveform; }
  bool Constant = false;
  int64_t Samples = 0;  // in the records read
  double FlatSeconds = 0;
  int64_t ClippedSamples = 0;
  double ClippedShare = 0;  // of Samples
  // Epochs that hold data (not gaps) and those of them without a flat,
  // clipped, out-of-range, tail or dead sample; the share is 0 without epochs.
  int64_t Epochs = 0;
  int64_t UsableEpochs = 0;
  double UsableShare = 0;
  std::string Map;  // one TEpochState letter per epoch of the recording
};

// Where a listed finding lies in time: the window's tool tips and the map
// find the finding of a cell through it.
struct TQualitySpan {
  double Start = 0;  // seconds from the recording start
  double End = 0;
  bool AllWaveforms = false;  // a tail or dead stretch: every waveform row
};

struct TQualityReport {
  // In file order, at most QualityListedPerRule of each rule; Spans[i]
  // belongs to Findings[i].
  TFindings Findings;
  std::vector<TQualitySpan> Spans;
  // Every rule that found something, in registry order, with its total.
  std::vector<TRuleTotal> Totals;
  std::vector<TQualitySignal> Signals;  // every signal of the file, in order
  double EpochSeconds = 30;
  int64_t NrEpochs = 0;
  // The map stops after this many epochs (a recording over a year long, or
  // an EDF+D stamp far in the future): then MapCut is set.
  bool MapCut = false;
  // The recording's start as seconds since midnight (StartTime, plus the
  // first record's sub-second start in EDF+), or -1 when the header gives
  // none: the clock times of the sentences and of the map's time axis.
  double ClockStart = -1;
  // The data records were read, all of them (Complete) or as far as the pass
  // got; WhyNot says why they were not.
  bool Ran = false;
  bool Complete = false;
  bool Cancelled = false;
  int64_t RecordsScanned = 0;
  std::string WhyNot;

  int64_t TotalOf(std::string_view Rule) const;
};

// The signals a quality pass judges and how, from the header alone.
TQualityRole QualityRoleOf(const TCustomEDFFile& F, int Signal);

class TQualityCheck : public TRecordVisitor {
public:
  // F open (headers read, whatever the classic verdict).
  explicit TQualityCheck(const TCustomEDFFile& F, const TQualityOptions& Options = {});
  ~TQualityCheck() override;
  TQualityCheck(const TQualityCheck&) = delete;
  TQualityCheck& operator=(const TQualityCheck&) = delete;

  // The records can be laid out and there is something to judge: run the
  // pass with Layout(), or share one whose records lie the same way (the
  // conformance layout); records beyond the ones present are ignored.
  bool WantsRecords() const;
  const TRecordLayout& Layout() const;

  void OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) override;
  void OnRecords(int64_t First, int64_t Count, int64_t RecordBytes, int64_t Position,
                 const uint8_t* Bytes) override;

  // After the pass (a default outcome when none ran). A read error or a
  // size change is not reported here: the conformance check or the caller
  // reports it once.
  TQualityReport Finish(const TScanOutcome& Outcome);

  // After a pass with Layout(): every signal's digital extremes, the result
  // TMinMaxFold gives for the same records. The run detection meets every
  // sample anyway, so a pass that runs both takes them from here instead of
  // folding the samples a second time.
  TMinMaxResult MinMax() const;

  class TState;

private:
  std::unique_ptr<TState> FState;
};

// The pass alone on an open file, one read of its records.
TQualityReport CheckQuality(const TCustomEDFFile& F, const TQualityOptions& Options = {},
                            const TScanProgress& Progress = {}, TScanSource Source = TScanSource::Read);

// The listed finding that covers epoch Epoch of signal Signal (a flat,
// clipped or constant run of that signal, or a tail or dead stretch when the
// signal is a waveform), or nullptr: what a map cell's tool tip names.
const TFinding* QualityFindingAt(const TQualityReport& Report, int Signal, int64_t Epoch);
