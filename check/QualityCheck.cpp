#include "check/QualityCheck.h"

#include <algorithm>
#include <cmath>

#include "check/QualityDetail.h"
#include "check/QualityRules.h"
#include "check/QualityRuns.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uFileStream.h"

namespace {

using R = TQualityRule;

double Seconds(int64_t Ns) { return static_cast<double>(Ns) / 1e9; }

// One run of one signal in the sweep over the waveform signals.
struct TCursor {
  size_t Signal;
  const TSignalFacts* Facts;
  std::vector<TRun>* Runs;
  size_t At = 0;

  TRun& Run() const { return (*Runs)[At]; }
  TPoint Start() const { return {Run().Start, Facts->N}; }
  TPoint End() const { return {Run().End, Facts->N}; }
  // Skips runs too short to hold a stretch; the open run always stays.
  void Settle() {
    while (!Run().Open && Run().End - Run().Start < Facts->KStretch) ++At;
  }
};

}  // namespace

class TQualityCheck::TState {
public:
  TQualityOptions Options;
  TRecordLayout Layout;
  bool Wants = false;
  std::string WhyNot;
  int64_t RecordNs = 0;
  int64_t TailNs = 0, DeadNs = 0;
  std::vector<TSignalFacts> Facts;
  std::vector<TTrack> Tracks;
  std::vector<size_t> Waveforms;
  TTimeline Time;
  int64_t AnnotationOffset = -1, AnnotationBytes = 0;
  TTally Tail, Dead;
  int64_t RecordsSeen = 0;
  std::vector<uint64_t> Masks;
  std::vector<uint8_t> Calm;
  std::vector<int32_t> Extremes;  // of each record of the block: minima, then maxima
  // The extremes of the ordinary signals from the run masks; the other
  // signals (annotations) folded as the min/max check folds them.
  TMinMaxResult Found;
  TRecordLayout OthersLayout;
  std::unique_ptr<TMinMaxFold> Others;

  TState(const TCustomEDFFile& F, const TQualityOptions& O)
      : Options(O),
        RecordNs(RecordDurationNs(F)),
        TailNs(QualityNs(O.TailSeconds)),
        DeadNs(QualityNs(O.DeadSeconds)),
        Facts(SignalFactsOf(F, O, RecordNs)),
        Tracks(Facts.size()),
        Time(F, O, RecordNs, Facts.size()) {
    Options.ClipSamples = std::max<int64_t>(1, O.ClipSamples);
    bool AnyOrdinary = false;
    for (const TSignalFacts& S : Facts) {
      if (S.Waveform()) Waveforms.push_back(static_cast<size_t>(S.Index));
      AnyOrdinary = AnyOrdinary || S.Ordinary();
      if (S.Role == TQualityRole::Annotation && AnnotationOffset < 0) {
        AnnotationOffset = S.Offset;
        AnnotationBytes = S.N * F.SampleBytes();
      }
    }
    if (!ConformanceLayout(F, Layout, WhyNot)) return;
    // The complete records the file holds, never more than announced.
    const int64_t Present = std::max<int64_t>(0, (F.FileSize() - Layout.HeaderBytes) / Layout.RecordBytes);
    Layout.NrRecords = std::min(Layout.NrRecords, Present);
    if (Layout.NrRecords == 0) WhyNot = "the file holds no complete data record";
    else if (!AnyOrdinary) WhyNot = "the file holds no ordinary signal";
    Wants = WhyNot.empty();
    const size_t Ns = Layout.Signals.size();
    Found.FoundMin.assign(Ns, FoundMinStart);
    Found.FoundMax.assign(Ns, FoundMaxStart);
    Found.MinRecord.assign(Ns, -1);
    Found.MaxRecord.assign(Ns, -1);
    OthersLayout = Layout;
    for (const TSignalFacts& S : Facts)
      if (S.Ordinary()) OthersLayout.Signals[static_cast<size_t>(S.Index)].Samples = 0;
    Others = std::make_unique<TMinMaxFold>(OthersLayout);
  }

  int64_t ByteOf(const TSignalFacts& S, int64_t Sample) const {
    return Layout.HeaderBytes + Sample / S.N * Layout.RecordBytes + S.Offset + Sample % S.N * Layout.SampleBytes;
  }

  TFinding Finding(R Rule, const TSignalFacts& S, int64_t Sample, std::string Message) const {
    return MakeFinding(RuleOf(Rule), TWhere{TWhereKind::DataRecord, S.Index, Sample / S.N, -1},
                       ByteOf(S, Sample), Layout.SampleBytes, "", std::move(Message));
  }

  // The next block's bytes follow this one's in memory: fetched ahead.
  int64_t Ahead = 0;

  void Block(int64_t First, int64_t Count, const uint8_t* Bytes) {
    Time.Block(First, Count, Bytes, Layout.RecordBytes, AnnotationOffset, AnnotationBytes);
    Others->OnRecords(First, Count, Layout.RecordBytes, Layout.HeaderBytes + First * Layout.RecordBytes, Bytes);
    for (const TSignalFacts& S : Facts)
      if (S.Ordinary()) Track(S, First, Count, Bytes);
    if (!Waveforms.empty()) {
      Sweep();
      for (const size_t s : Waveforms) {
        std::vector<TRun>& Runs = Tracks[s].Runs;
        for (size_t i = 0; i + 1 < Runs.size(); ++i)
          if (!Runs[i].InStretch) Finalize(Facts[s], Tracks[s], Runs[i], (Runs[i].End - 1) / Facts[s].N);
      }
    }
    RecordsSeen += Count;
  }

  void Track(const TSignalFacts& S, int64_t First, int64_t Count, const uint8_t* Bytes) {
    TTrack& T = Tracks[static_cast<size_t>(S.Index)];
    TBlockView B;
    B.Bytes = Bytes + S.Offset;
    B.First = First;
    B.Count = Count;
    B.RecordBytes = Layout.RecordBytes;
    B.SampleBytes = Layout.SampleBytes;
    B.Words = RunMaskWords(S.N);
    const auto Size = static_cast<size_t>(Count * B.Words);
    if (Masks.size() < 3 * Size) Masks.resize(3 * Size);
    if (Calm.size() < static_cast<size_t>(Count)) Calm.resize(static_cast<size_t>(Count));
    if (Extremes.size() < 2 * static_cast<size_t>(Count)) Extremes.resize(2 * static_cast<size_t>(Count));
    B.Same = Masks.data();
    B.Limit = Masks.data() + Size;
    B.Outside = Masks.data() + 2 * Size;
    B.Calm = Calm.data();
    if (!T.Started) {
      // The first sample of the file starts the first run and equals itself.
      T.Started = true;
      T.Last = T.RunValue = T.A = B.Sample(0, 0);
      T.RunLimit = S.IsLimit(T.RunValue);
      T.Distinct = 1;
    }
    const int32_t Lo = S.HasLimits ? S.DigiMin : INT32_MIN;
    const int32_t Hi = S.HasLimits ? S.DigiMax : INT32_MAX;
    const unsigned Hits = RunMasks(B.Bytes, S.N, B.SampleBytes, Count, B.RecordBytes, T.Last, Lo, Hi,
                                   {Masks.data(), Masks.data() + Size, Masks.data() + 2 * Size, Calm.data(),
                                    Extremes.data(), Extremes.data() + Count},
                                   Ahead);
    // The first record that holds each extreme, as the min/max fold keeps it.
    const auto J = static_cast<size_t>(S.Index);
    for (int64_t r = 0; r < Count; ++r) {
      if (Extremes[static_cast<size_t>(r)] < Found.FoundMin[J]) {
        Found.FoundMin[J] = Extremes[static_cast<size_t>(r)];
        Found.MinRecord[J] = static_cast<int32_t>(First + r);
      }
      if (Extremes[static_cast<size_t>(Count + r)] > Found.FoundMax[J]) {
        Found.FoundMax[J] = Extremes[static_cast<size_t>(Count + r)];
        Found.MaxRecord[J] = static_cast<int32_t>(First + r);
      }
    }
    if ((Hits & rhOutside) != 0 && S.HasLimits) {
      T.Outside = true;
      if (Time.Timed()) MarkOutside(Time, S, B);
    }
    if (!T.Changed)
      T.Changed = std::any_of(B.Same, B.Same + Size, [](uint64_t W) { return W != ~uint64_t{0}; });
    if (S.Waveform()) {
      if (T.Distinct < 3) CountLevels(T, B);
      T.Runs.clear();
      WalkRuns(T, S, B, Time, Options.ClipSamples);
      T.Runs.push_back({T.RunStart, 0, T.RunValue, true, false});
    }
    T.Last = B.Sample(Count - 1, S.N - 1);
  }

  // The stretches in which every waveform signal stays in one run: each is
  // where one run of every signal overlaps, from the latest of their starts
  // to the earliest of their ends. The runs of each signal come in time
  // order, so one cursor per signal walks them all; runs shorter than the
  // threshold cannot hold a stretch that long and are skipped.
  void Sweep() {
    std::vector<TCursor> C;
    for (const size_t s : Waveforms) {
      C.push_back({s, &Facts[s], &Tracks[s].Runs});
      C.back().Settle();
    }
    for (;;) {
      size_t Latest = 0;   // whose run starts last: the lowest such signal
      size_t Earliest = 0;
      bool AllOpen = true;
      for (size_t i = 0; i < C.size(); ++i) {
        if (ComparePoints(C[i].Start(), C[Latest].Start()) > 0) Latest = i;
        if (C[i].Run().Open) continue;
        if (AllOpen || ComparePoints(C[i].End(), C[Earliest].End()) < 0) Earliest = i;
        AllOpen = false;
      }
      if (AllOpen) return;  // goes on into the next block
      const TPoint Start = C[Latest].Start();
      const TPoint End = C[Earliest].End();
      if (ComparePoints(Start, End) < 0 && LastsAtLeast(Start, End, RecordNs, DeadNs)) {
        Stretch(Dead, R::Dead, C[Latest], C[Earliest], (End.Sample - 1) / End.PerRecord);
        for (TCursor& K : C)
          if (!K.Run().Open && ComparePoints(K.Start(), Start) == 0 && ComparePoints(K.End(), End) == 0)
            K.Run().InStretch = true;
      }
      for (TCursor& K : C) {
        if (K.Run().Open || ComparePoints(K.End(), End) != 0) continue;
        ++K.At;
        K.Settle();
      }
    }
  }

  // A tail or dead stretch from the start of Decider's run to the end of
  // Ender's (the end of the recording for a tail).
  void Stretch(TTally& Tally, R Rule, const TCursor& Decider, const TCursor& Ender, int64_t Anchor) {
    const TSignalFacts& S = *Decider.Facts;
    const TRun& Run = Decider.Run();
    const int64_t EndSample = Rule == R::Tail ? RecordsSeen * Ender.Facts->N : Ender.Run().End;
    const int64_t From = Time.StartNs(Run.Start, S.N, Anchor);
    const int64_t To = Time.EndNs(EndSample, Ender.Facts->N, Anchor);
    ++Tally.Count;
    Tally.Seconds += Seconds(To - From);
    for (const size_t s : Waveforms) Time.Mark(s, From, To, TTimeline::mStretch);
    if (!Tally.Listing()) return;
    const TQualityValue V = S.ValueOf(Run.Value);
    const double Start = Seconds(From), Duration = Seconds(To - From);
    Tally.Listed.push_back(Finding(Rule, S, Run.Start,
                                   Rule == R::Tail ? TailSentence(V, Duration, Start, Time.ClockStart())
                                                   : DeadSentence(V, Duration, Start, Time.ClockStart())));
    Tally.Spans.push_back({Start, Seconds(To), true});
  }

  // A run of a waveform signal that no stretch stands for: flat, clipped,
  // both (the rule that judges the signal in the end counts it) or nothing.
  void Finalize(const TSignalFacts& S, TTrack& T, const TRun& Run, int64_t Anchor) {
    const int64_t Length = Run.End - Run.Start;
    const bool AtLimit = S.IsLimit(Run.Value);
    const bool Clipped = AtLimit && Length >= Options.ClipSamples;
    const bool Flat = Length >= S.KFlat;
    if (!Clipped && !Flat) return;
    const int64_t From = Time.StartNs(Run.Start, S.N, Anchor);
    const int64_t To = Time.EndNs(Run.End, S.N, Anchor);
    const double Start = Seconds(From), Duration = Seconds(To - From);
    const TQualityValue V = S.ValueOf(Run.Value);
    const auto Count = [&](TTally& Tally, R Rule, uint8_t Mark, const std::string& Message) {
      ++Tally.Count;
      Tally.Samples += Length;
      Tally.Seconds += Duration;
      Time.Mark(static_cast<size_t>(S.Index), From, To, Mark);
      if (!Tally.Listing()) return;
      Tally.Listed.push_back(Finding(Rule, S, Run.Start, Message));
      Tally.Spans.push_back({Start, Seconds(To), false});
    };
    // The sentences are written only for the findings that are listed.
    if (Clipped)
      Count(T.Clipped, R::Clipped, TTimeline::mClipped,
            T.Clipped.Listing()
                ? ClippedSentence(Run.Value == S.DigiMax, V, Length, Duration, Start, Time.ClockStart())
                : std::string());
    if (Flat) {
      TTally& Tally = AtLimit ? T.LimitFlat : T.Common;
      Count(Tally, R::Flat, AtLimit ? TTimeline::mLimitFlat : TTimeline::mFlat,
            Tally.Listing() ? FlatSentence(V, Duration, Start, Time.ClockStart()) : std::string());
    }
  }

  TQualityReport Finish(const TScanOutcome& Outcome);
};

namespace {

// Findings of one rule, with their spans, in file order.
struct TRuleFindings {
  int64_t Total = 0;
  std::vector<std::pair<TFinding, TQualitySpan>> Listed;

  void Take(const TTally& T) {
    Total += T.Count;
    for (size_t i = 0; i < T.Listed.size(); ++i) Listed.emplace_back(T.Listed[i], T.Spans[i]);
  }
  void Keep() {
    std::stable_sort(Listed.begin(), Listed.end(),
                     [](const auto& A, const auto& B) { return A.first.Offset < B.first.Offset; });
    if (static_cast<int64_t>(Listed.size()) > QualityListedPerRule) Listed.resize(QualityListedPerRule);
  }
};

char StateOf(const TSignalFacts& S, bool Constant, bool ClipJudged, uint8_t Marks) {
  if (Marks & TTimeline::mOutside) return static_cast<char>(TEpochState::OutOfRange);
  if (Constant) return static_cast<char>(TEpochState::Flat);
  if (ClipJudged && (Marks & TTimeline::mClipped)) return static_cast<char>(TEpochState::Clipped);
  if ((Marks & TTimeline::mFlat) || (!ClipJudged && (Marks & TTimeline::mLimitFlat)))
    return static_cast<char>(TEpochState::Flat);
  if (Marks & TTimeline::mStretch) return static_cast<char>(TEpochState::TailDead);
  return static_cast<char>(S.Waveform() ? TEpochState::Good : TEpochState::NotJudged);
}

}  // namespace

TQualityReport TQualityCheck::TState::Finish(const TScanOutcome& Outcome) {
  TQualityReport Report;
  Report.EpochSeconds = Options.EpochSeconds;
  Report.ClockStart = Time.ClockStart();
  Report.Ran = Wants && RecordsSeen > 0;
  // A read that failed inside our records ends them there, even when the
  // bytes of its block were handed on (a file cut while they were read).
  Report.Complete = Wants && RecordsSeen == Layout.NrRecords &&
                    !(Outcome.ReadFailed && Outcome.FailedRecord < Layout.NrRecords);
  Report.Cancelled = Outcome.Cancelled;
  Report.RecordsScanned = RecordsSeen;
  Report.WhyNot = WhyNot;
  const bool AllConstant = !Waveforms.empty() && std::none_of(Waveforms.begin(), Waveforms.end(),
                                                              [&](size_t s) { return Tracks[s].Changed; });
  // Every waveform signal constant throughout: each is reported as constant,
  // and the stretches between gaps are no dead data.
  if (AllConstant && Report.Complete) Dead.Clear();
  if (Report.Ran && !Waveforms.empty()) {
    const int64_t Last = RecordsSeen - 1;
    std::vector<TCursor> Open;
    for (const size_t s : Waveforms) {
      Tracks[s].Runs.assign(1, {Tracks[s].RunStart, RecordsSeen * Facts[s].N, Tracks[s].RunValue, false, false});
      Open.push_back({s, &Facts[s], &Tracks[s].Runs});
    }
    // The stretch that ends the recording: a tail or nothing. The end of a
    // pass that stopped early is not the recording's end.
    if (Report.Complete && !AllConstant) {
      size_t Latest = 0;
      for (size_t i = 0; i < Open.size(); ++i)
        if (ComparePoints(Open[i].Start(), Open[Latest].Start()) > 0) Latest = i;
      const TPoint Start = Open[Latest].Start();
      if (LastsAtLeast(Start, Open[Latest].End(), RecordNs, TailNs)) {
        Stretch(Tail, R::Tail, Open[Latest], Open[Latest], Last);
        for (TCursor& K : Open)
          if (ComparePoints(K.Start(), Start) == 0) K.Run().InStretch = true;
      }
    }
    for (TCursor& K : Open)
      if (!K.Run().InStretch) Finalize(*K.Facts, Tracks[K.Signal], K.Run(), Last);
  }

  Report.NrEpochs = Time.Epochs(RecordsSeen);
  Report.MapCut = Time.Cut();
  std::vector<TRuleFindings> Found(QualityRuleCount);
  for (const TSignalFacts& S : Facts) {
    TTrack& T = Tracks[static_cast<size_t>(S.Index)];
    TQualitySignal Q;
    Q.Index = S.Index;
    Q.Label = S.Label;
    Q.Role = S.Role;
    const bool Ordinary = S.Ordinary() && T.Started;
    Q.Constant = Ordinary && Report.Complete && !T.Changed;
    const bool ClipJudged = S.Waveform() && S.HasLimits && T.Distinct >= 3 && !T.Outside;
    if (Ordinary) {
      Q.Samples = RecordsSeen * S.N;
      if (Q.Constant) {
        Q.FlatSeconds = Seconds(RecordsSeen * RecordNs);
        TTally C;
        C.Count = 1;
        C.Listed.push_back(Finding(R::Constant, S, 0,
                                   ConstantSentence(S.ValueOf(T.A), Q.Samples, Seconds(RecordsSeen * RecordNs))));
        C.Spans.push_back({0, Seconds(Time.EndNs(Q.Samples, S.N, RecordsSeen - 1)), false});
        Found[static_cast<size_t>(R::Constant)].Take(C);
      } else if (S.Waveform()) {
        Found[static_cast<size_t>(R::Flat)].Take(T.Common);
        Q.FlatSeconds = T.Common.Seconds;
        if (ClipJudged) {
          Found[static_cast<size_t>(R::Clipped)].Take(T.Clipped);
          Q.ClippedSamples = T.Clipped.Samples;
        } else {
          Found[static_cast<size_t>(R::Flat)].Take(T.LimitFlat);
          Q.FlatSeconds += T.LimitFlat.Seconds;
        }
      }
      Q.ClippedShare = Q.Samples > 0 ? static_cast<double>(Q.ClippedSamples) / static_cast<double>(Q.Samples) : 0;
    }
    Q.Map.reserve(static_cast<size_t>(Report.NrEpochs));
    for (int64_t e = 0; e < Report.NrEpochs; ++e) {
      char State = static_cast<char>(TEpochState::Gap);
      if (Time.HasData(e))
        State = Ordinary ? StateOf(S, Q.Constant, ClipJudged, Time.Marks(static_cast<size_t>(S.Index), e))
                         : static_cast<char>(TEpochState::NotJudged);
      Q.Map += State;
      if (State == static_cast<char>(TEpochState::Gap)) continue;
      ++Q.Epochs;
      if (State == '.' || State == '-') ++Q.UsableEpochs;
    }
    Q.UsableShare = Q.Epochs > 0 ? static_cast<double>(Q.UsableEpochs) / static_cast<double>(Q.Epochs) : 0;
    Report.Signals.push_back(std::move(Q));
  }
  Found[static_cast<size_t>(R::Tail)].Take(Tail);
  Found[static_cast<size_t>(R::Dead)].Take(Dead);

  std::vector<std::pair<TFinding, TQualitySpan>> All;
  for (size_t i = 0; i < QualityRuleCount; ++i) {
    TRuleFindings& F = Found[i];
    if (F.Total == 0) continue;
    F.Keep();
    Report.Totals.push_back({RuleOf(static_cast<R>(i)).Id, F.Total, static_cast<int64_t>(F.Listed.size())});
    All.insert(All.end(), F.Listed.begin(), F.Listed.end());
  }
  std::stable_sort(All.begin(), All.end(), [](const auto& A, const auto& B) { return A.first.Offset < B.first.Offset; });
  for (auto& [Finding, Span] : All) {
    Report.Findings.push_back(std::move(Finding));
    Report.Spans.push_back(Span);
  }
  return Report;
}

int64_t TQualityReport::TotalOf(std::string_view Rule) const {
  for (const TRuleTotal& T : Totals)
    if (T.Rule == Rule) return T.Total;
  return 0;
}

TQualityCheck::TQualityCheck(const TCustomEDFFile& F, const TQualityOptions& Options)
    : FState(std::make_unique<TState>(F, Options)) {}

TQualityCheck::~TQualityCheck() = default;

bool TQualityCheck::WantsRecords() const { return FState->Wants; }

const TRecordLayout& TQualityCheck::Layout() const { return FState->Layout; }

void TQualityCheck::OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) {
  OnRecords(Index, 1, FState->Layout.RecordBytes, Position, Bytes);
}

void TQualityCheck::OnRecords(int64_t First, int64_t Count, int64_t RecordBytes, int64_t /*Position*/,
                              const uint8_t* Bytes) {
  TState& S = *FState;
  // Records in order, laid out as ours, and only those the file holds whole.
  if (!S.Wants || RecordBytes != S.Layout.RecordBytes || First != S.RecordsSeen) return;
  Count = std::min(Count, S.Layout.NrRecords - First);
  S.Ahead = ReadableAfter() >= Count * RecordBytes ? Count * RecordBytes : 0;
  if (Count > 0) S.Block(First, Count, Bytes);
}

TQualityReport TQualityCheck::Finish(const TScanOutcome& Outcome) { return FState->Finish(Outcome); }

TMinMaxResult TQualityCheck::MinMax() const {
  const TState& S = *FState;
  TMinMaxResult R = S.Others->Result();
  for (const TSignalFacts& F : S.Facts) {
    if (!F.Ordinary()) continue;
    const auto J = static_cast<size_t>(F.Index);
    R.FoundMin[J] = S.Found.FoundMin[J];
    R.FoundMax[J] = S.Found.FoundMax[J];
    R.MinRecord[J] = S.Found.MinRecord[J];
    R.MaxRecord[J] = S.Found.MaxRecord[J];
  }
  R.RecordsScanned = static_cast<int32_t>(S.RecordsSeen);
  return R;
}

TQualityReport CheckQuality(const TCustomEDFFile& F, const TQualityOptions& Options, const TScanProgress& Progress,
                            TScanSource Source) {
  TQualityCheck Check(F, Options);
  TScanOutcome Outcome;
  if (Check.WantsRecords()) {
    TRecordVisitor* Visitors[] = {&Check};
    Outcome = ScanRecords(*F.Stream(), Check.Layout(), Visitors, Progress, Source);
  }
  return Check.Finish(Outcome);
}

const TFinding* QualityFindingAt(const TQualityReport& Report, int Signal, int64_t Epoch) {
  if (Signal < 0 || static_cast<size_t>(Signal) >= Report.Signals.size()) return nullptr;
  const bool Waveform = Report.Signals[static_cast<size_t>(Signal)].Judged();
  const double From = static_cast<double>(Epoch) * Report.EpochSeconds;
  const double To = From + Report.EpochSeconds;
  // The finding behind the cell's colour: clipped before flat or constant
  // before a tail or dead stretch.
  const auto Rank = [](const std::string& Rule) {
    if (Rule == RuleOf(TQualityRule::Clipped).Id) return 0;
    return Rule == RuleOf(TQualityRule::Flat).Id || Rule == RuleOf(TQualityRule::Constant).Id ? 1 : 2;
  };
  const TFinding* Best = nullptr;
  for (size_t i = 0; i < Report.Findings.size(); ++i) {
    const TFinding& F = Report.Findings[i];
    const TQualitySpan& S = Report.Spans[i];
    const bool Row = S.AllWaveforms ? Waveform : F.Where.Signal == Signal;
    if (!Row || S.Start >= To || S.End <= From) continue;
    if (Best == nullptr || Rank(F.Rule) < Rank(Best->Rule)) Best = &F;
  }
  return Best;
}
