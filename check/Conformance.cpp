#include "check/Conformance.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

#include "check/ConformanceDetail.h"
#include "check/FileCheck.h"
#include "check/HeaderJudgement.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uFileStream.h"
#include "util/udStr.h"

namespace {

using R = TConformanceRule;

constexpr uint32_t MaxExcerpt = 24;
// Annotations that may lie outside the recording wait until its extent is
// known; beyond this many, later ones are judged against the extent known
// when they are met, so memory stays bounded.
constexpr size_t MaxPending = 4096;
// Bytes of a waiting annotation's onset kept for its sentence: a string this
// short needs no heap block.
constexpr uint32_t PendingExcerpt = 15;

std::string HexByte(uint8_t C) {
  char Text[8];
  std::snprintf(Text, sizeof Text, "0x%02X", C);
  return Text;
}

std::string Seconds(const TExactTime& T) {
  return T.Beyond() ? (T.Seconds > 0 ? "10^18 s or more, too large to hold" : "-10^18 s or less, too large to hold")
                    : T.Text() + " s";
}

// Six significant digits, "%.6g" as the C locale writes it: a sentence
// reads the same under every locale, so reports from many machines merge.
std::string ShortNumber(long double Value) {
  char Text[48];
  const auto [End, Error] = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::general, 6);
  return Error == std::errc() ? std::string(Text, End) : std::string("?");
}

}  // namespace

void TConformanceSink::Add(TConformanceRule Rule, const TWhere& Where, int64_t Offset, int64_t Length,
                           std::string Raw, std::string Message) {
  FListed.push_back(MakeFinding(RuleOf(Rule), Where, Offset, Length, std::move(Raw), std::move(Message)));
}

void TConformanceSink::Fill(TConformanceReport& Report) const {
  Report.Findings = FListed;
  Report.Findings.insert(Report.Findings.end(), FOther.begin(), FOther.end());
  std::stable_sort(Report.Findings.begin(), Report.Findings.end(), [](const TFinding& A, const TFinding& B) {
    const auto Key = [](const TFinding& F) { return F.Offset < 0 ? INT64_MAX : F.Offset; };
    return Key(A) < Key(B);
  });
  std::map<std::string, TRuleTotal, std::less<>> ById;
  for (size_t i = 0; i < ConformanceRuleCount; ++i) {
    if (FCounts[i] == 0) continue;
    const std::string& Id = RuleOf(static_cast<TConformanceRule>(i)).Id;
    ById[Id] = {Id, FCounts[i], std::min(FCounts[i], ConformanceListedPerRule)};
  }
  for (const TFinding& F : FOther) {
    TRuleTotal& T = ById[F.Rule];
    T.Rule = F.Rule;
    ++T.Total;
    ++T.Listed;
  }
  Report.Totals.clear();
  for (const TRule& Rule : Rules()) {
    const auto It = ById.find(Rule.Id);
    if (It != ById.end()) Report.Totals.push_back(It->second);
  }
}

int64_t TConformanceReport::TotalOf(std::string_view Rule) const {
  for (const TRuleTotal& T : Totals)
    if (T.Rule == Rule) return T.Total;
  return 0;
}

int64_t TConformanceReport::CountOf(TSeverity Severity) const {
  int64_t N = 0;
  for (const TRuleTotal& T : Totals) {
    const TRule* Rule = FindRule(T.Rule);
    if (Rule != nullptr && Rule->Severity == Severity) N += T.Total;
  }
  return N;
}

bool TConformanceReport::HasErrors() const { return CountOf(TSeverity::Error) > 0; }

bool ConformanceLayout(const TCustomEDFFile& F, TRecordLayout& Layout, std::string& WhyNot) {
  Layout = {};
  const TCustomEDFFileInfo* Info = F.FileInfo();
  if (!F.Active() || F.Stream() == nullptr || Info == nullptr) {
    WhyNot = "the file is not open";
    return false;
  }
  if (!Info->GetFieldValid(gfNrSignals) || Info->NrSignals() < 1 || F.SignalCount() != Info->NrSignals()) {
    WhyNot = "NrSignals gives no signal count";
    return false;
  }
  if (!Info->GetFieldValid(gfHeaderBytes)) {
    WhyNot = "HeaderBytes does not say where the records start";
    return false;
  }
  for (int s = 0; s < F.SignalCount(); ++s) {
    if (!F.GetSignal(s)->GetFieldValid(sfNrSamples)) {
      WhyNot = "NrSamples of signal " + std::to_string(s + 1) + " gives no sample count";
      return false;
    }
  }
  TRecordLayout L = RecordLayoutOf(F);
  const bool Bdf = EDFFormatOf(Info->OriginalHeader()[gfVersion]) == TEDFFormat::BDF;
  if (L.SampleBytes != (Bdf ? 3 : EDFSampleBytes)) {
    WhyNot = "this build lays out " + std::to_string(L.SampleBytes) + "-byte samples, and " +
             (Bdf ? "a BDF file has 3" : "an EDF file has 2");
    return false;
  }
  if (L.RecordBytes <= 0 || L.RecordBytes > TCustomEDFFile::MaxBufferSamples * L.SampleBytes) {
    WhyNot = "a data record of " + std::to_string(L.RecordBytes) + " bytes is beyond what the check reads";
    return false;
  }
  int64_t Announced = -1;
  if (!TryStrToInt64(Info->OriginalHeader()[gfNrDataRecords], Announced) || Announced < 0) {
    // Unknown (-1) or unreadable: the whole records present.
    Announced = std::max<int64_t>(0, (F.FileSize() - L.HeaderBytes) / L.RecordBytes);
  }
  L.NrRecords = Announced;
  Layout = std::move(L);
  return true;
}

TConformanceReport CheckConformanceHeader(const TCustomEDFFile& F) {
  TConformanceSink Sink;
  TConformanceContext Context;
  JudgeConformanceHeader(F, Sink, Context);
  TConformanceReport Report;
  Report.Format = Context.Format;
  Report.Plus = Context.Plus;
  Sink.Fill(Report);
  return Report;
}

// The record layer: walks the TALs of every annotation signal of each record
// and keeps the time-keeping state from record to record.
class TConformanceCheck::TState : public TTalHandler {
public:
  TConformanceSink Sink;
  TConformanceContext Ctx;
  TRecordLayout Layout;
  bool Wants = false;

  explicit TState(const TCustomEDFFile& F) { JudgeConformanceHeader(F, Sink, Ctx); }

  bool NeedsRecords() const { return Ctx.Plus != TPlusKind::None && !Ctx.Annotations.empty(); }
  bool Timed() const { return Ctx.DurationKnown && !Ctx.Duration.IsZero(); }

  // Takes Candidate when it holds every annotation signal inside its records.
  void UseLayout(const TRecordLayout& Candidate, bool Usable, const std::string& WhyNot) {
    std::string Why = WhyNot;
    if (Usable) {
      for (const int s : Ctx.Annotations) {
        const auto S = static_cast<size_t>(s);
        if (S >= Candidate.Signals.size() ||
            Candidate.Signals[S].Offset + Candidate.Signals[S].Samples * Candidate.SampleBytes >
                Candidate.RecordBytes ||
            Candidate.Signals[S].Samples * Candidate.SampleBytes > int64_t{UINT32_MAX}) {
          Usable = false;
          Why = "the layout does not hold annotation signal " + std::to_string(s + 1);
        }
      }
    }
    if (Usable) Layout = Candidate;
    Wants = Usable && NeedsRecords();
    if (NeedsRecords() && !Usable && Sink.Listing(R::RecordsUnread))
      Sink.Add(R::RecordsUnread, TWhere{}, -1, 0, "", "the data records were not checked: " + Why);
  }

  void Record(int64_t Index, int64_t Position, const uint8_t* Bytes) {
    FRecord = Index;
    FStamped = false;
    for (size_t k = 0; k < Ctx.Annotations.size(); ++k) {
      const int s = Ctx.Annotations[k];
      const TSignalSpan& Span = Layout.Signals[static_cast<size_t>(s)];
      const auto Size = static_cast<uint32_t>(Span.Samples * Layout.SampleBytes);
      FSignal = s;
      FFirstSignal = k == 0;
      FBase = Position + Span.Offset;
      FBlock = Bytes + Span.Offset;
      FSize = Size;
      if (ScanTals(FBlock, Size, *this) == 0 && FFirstSignal) NoTimeKeeping();
    }
    // A record without its stamp still lasts one record duration.
    if (!FStamped && FEndKnown && Timed()) {
      FEnd = FEnd + Ctx.Duration;
      Widen(FLo, FEnd);
    }
  }

  void OnTal(const TTal& T) override {
    if (FFirstSignal && T.Index == 0) {
      if (Stamp(T)) return;
    }
    if (T.OnsetValid) Outside(T);
  }

  void OnFault(TTalFault Fault, TNumberFault Detail, uint32_t At, TTalSpan Token) override {
    const R Rule = RuleOf(Fault);
    if (!Sink.Listing(Rule)) return;
    TExcerpt E = Excerpt(Token, At);
    const std::string& Q = E.Quoted;
    std::string Message;
    switch (Fault) {
      case TTalFault::Onset:
        Message = "onset " + Q + " " + NumberFaultText(Detail) + ": onsets are + or -, digits, and . before a fraction";
        break;
      case TTalFault::Duration:
        Message = "duration " + Q + " " + NumberFaultText(Detail) +
                  ": durations are digits, and . before a fraction, with no sign";
        break;
      case TTalFault::Separator:
        Message = Q + " holds 0x15 out of place: it only separates an onset from its duration, once";
        break;
      case TTalFault::Utf8:
        Message = "text " + Q + " is not UTF-8 from byte " + HexByte(FBlock[At]) + " on";
        break;
      case TTalFault::Control:
        Message = "text " + Q + " holds control byte " + HexByte(FBlock[At]) +
                  ": of the control bytes only TAB, LF and CR are allowed";
        break;
      case TTalFault::Unclosed: {
        const bool InText = std::find(FBlock + Token.Begin, FBlock + Token.End, uint8_t{0x14}) != FBlock + Token.End;
        Message = "TAL " + Q + " ends at 0x00 before the 0x14 that closes its " + (InText ? "last text" : "onset");
        break;
      }
      case TTalFault::Unterminated:
        Message = "TAL " + Q + " runs to the end of the record's annotation bytes without 0x14 0x00";
        break;
      case TTalFault::Padding:
        Message = Q + " follows the 0x00 padding after the last TAL: only 0x00 may follow";
        break;
    }
    Sink.Add(Rule, Where(), FBase + At, 1, std::move(E.Bytes), Message);
  }

  // After the pass: the annotations that still lie outside the recording,
  // from its earliest record start to its latest record end.
  void Outstanding(bool Cancelled) {
    if (!Cancelled && FExtentKnown) {
      std::vector<TPending> Outside = std::move(FBelow);
      Outside.insert(Outside.end(), FAbove.begin(), FAbove.end());
      std::sort(Outside.begin(), Outside.end(),
                [](const TPending& A, const TPending& B) { return A.Offset < B.Offset; });
      for (const TPending& P : Outside) {
        const bool Before = P.Onset < FLo;
        if (!Before && (!Timed() || P.Onset <= FHi)) continue;
        if (!Sink.Listing(R::TimeOutside)) continue;
        const std::string Onset = QuoteExcerpt(P.Raw, false, P.Cut);
        Sink.Add(R::TimeOutside, TWhere{TWhereKind::Annotation, P.Signal, P.Record, -1}, P.Offset, P.Length, P.Raw,
                 Before ? "annotation onset " + Onset + " lies before the recording starts (" + Seconds(FLo) + ")"
                        : "annotation onset " + Onset + " lies after the recording ends (" + Seconds(FHi) + ")");
      }
      Sink.CountOnly(R::TimeOutside, FOverflow);
    }
    FBelow.clear();
    FAbove.clear();
    FUnplaced.clear();
  }

private:
  struct TPending {
    TExactTime Onset;
    int64_t Record = 0;
    int Signal = 0;
    int64_t Offset = 0;
    int64_t Length = 0;
    std::string Raw;   // at most PendingExcerpt bytes of the onset
    bool Cut = false;  // the onset is longer
  };

  static R RuleOf(TTalFault Fault) {
    switch (Fault) {
      case TTalFault::Onset: return R::TalOnset;
      case TTalFault::Duration: return R::TalDuration;
      case TTalFault::Separator: return R::TalSeparator;
      case TTalFault::Utf8: return R::TalUtf8;
      case TTalFault::Control: return R::TalControl;
      case TTalFault::Unclosed: return R::TalUnclosed;
      case TTalFault::Unterminated: return R::TalEnd;
      case TTalFault::Padding: return R::TalPadding;
    }
    return R::TalUnclosed;
  }

  TWhere Where() const { return TWhere{TWhereKind::Annotation, FSignal, FRecord, -1}; }

  // At most Most bytes of Token around At, and the quote of them that marks
  // what was left out.
  struct TExcerpt {
    std::string Bytes;
    std::string Quoted;
  };
  TExcerpt Excerpt(TTalSpan Token, uint32_t At, uint32_t Most = MaxExcerpt) const {
    uint32_t Begin = Token.Begin;
    if (Token.Size() > Most) {
      const uint32_t Centre = std::max(At, Token.Begin + Most / 2) - Most / 2;
      Begin = std::min(Centre, Token.End - Most);
    }
    const uint32_t End = std::min(Token.End, Begin + Most);
    std::string Bytes(reinterpret_cast<const char*>(FBlock) + Begin, End - Begin);
    std::string Quoted = QuoteExcerpt(Bytes, Begin > Token.Begin, End < Token.End);
    return {std::move(Bytes), std::move(Quoted)};
  }

  TExcerpt TalExcerpt(const TTal& T, uint32_t Upto) const {
    return Excerpt({T.Begin, std::min(std::max(Upto, T.Begin), FSize)}, T.Begin);
  }

  // A time-keeping fault at byte At, quoting the TAL up to byte Upto.
  void AddTimeKeeping(const TTal& T, uint32_t At, uint32_t Upto, const char* Prefix, const char* Fault) {
    if (!Sink.Listing(R::TimeKeeping)) return;
    TExcerpt E = TalExcerpt(T, Upto);
    Sink.Add(R::TimeKeeping, Where(), FBase + At, 1, std::move(E.Bytes), Prefix + E.Quoted + Fault);
  }

  void NoTimeKeeping() {
    if (!Sink.Listing(R::TimeKeeping)) return;
    TExcerpt E = Excerpt({0, FSize}, 0, 8);
    Sink.Add(R::TimeKeeping, Where(), FBase, 1, std::move(E.Bytes),
             "the first annotation signal holds no TAL here (" + E.Quoted +
                 "): every record starts with its time-keeping TAL, onset 0x14 0x14 0x00");
  }

  // The first TAL of the first annotation signal: the record's start time.
  // False when it is no time-keeping TAL (then it counts as an annotation).
  // Further texts after its empty one are annotations of that moment.
  bool Stamp(const TTal& T) {
    if (!T.OnsetValid) return true;  // its onset fault is reported; no stamp
    if (T.Texts == 0 && !T.Complete) return true;  // its framing fault is reported
    if (T.Texts == 0) {
      AddTimeKeeping(T, T.AfterOnset, T.AfterOnset + 1, "TAL ",
                     " lacks the empty text and is the first TAL of the record: the time-keeping TAL is onset "
                     "0x14 0x14 0x00");
      return false;
    }
    if (T.FirstText.Size() > 0) {
      AddTimeKeeping(T, T.FirstText.Begin, T.FirstText.End, "TAL ",
                     " holds a text and is the first TAL of the record: the time-keeping TAL is onset 0x14 0x14 "
                     "0x00");
      return false;
    }
    if (T.HasDuration)
      AddTimeKeeping(T, T.DurationMark, T.AfterOnset, "time-keeping TAL ",
                     " has a duration: a record's start time has none");
    FStamped = true;
    const TExactTime S = T.OnsetValue;
    if (FRecord == 0) {
      if ((S < TExactTime{} || S >= TExactTime{1, 0}) && Sink.Listing(R::TimeFirst)) {
        TExcerpt Onset = Excerpt(T.Onset, T.Onset.Begin);
        Sink.Add(R::TimeFirst, Where(), FBase + T.Onset.Begin, T.Onset.Size(), std::move(Onset.Bytes),
                 "the first record's time-keeping onset " + Onset.Quoted + " is not in [0, 1) s");
      }
    } else if (FEndKnown && Timed()) {
      Continuity(T);
    }
    FEndKnown = Ctx.DurationKnown;
    FEnd = S + Ctx.Duration;
    Widen(S, FEnd);
    return true;
  }

  // The record's start against the end of the one before.
  void Continuity(const TTal& T) {
    const TExactTime Onset = T.OnsetValue;
    // Two times too large to hold cannot be compared.
    if (Onset.Beyond() && FEnd.Beyond()) return;
    const TExactTime Diff = Onset - FEnd;
    if (Diff.IsZero()) return;
    const bool Late = Diff > TExactTime{};
    if (Late && Ctx.Plus != TPlusKind::Continuous) return;  // gaps are allowed in EDF+D
    const bool Noise = Diff.Abs().Approx() < Ctx.NoiseBelow;
    const R Rule = Noise ? R::TimeNoise : Ctx.Plus == TPlusKind::Continuous ? R::TimeContinuous : R::TimeOverlap;
    if (!Sink.Listing(Rule)) return;
    TExcerpt Quote = Excerpt(T.Onset, T.Onset.Begin);
    // A difference from a time too large to hold is no number to print.
    const std::string By = Onset.Beyond() || FEnd.Beyond() ? "" : Seconds(Diff.Abs()) + " ";
    std::string Message = "record starts at " + Quote.Quoted + (Onset.Beyond() ? " (" + Seconds(Onset) + ")" : "") +
                          ", " + By + (Late ? "after" : "before") + " the previous record ends (" + Seconds(FEnd) +
                          "): ";
    if (Noise) {
      Message += "rounding noise far below the " + ShortNumber(Ctx.SamplePeriod) + " s sample period, not " +
                 (Late ? "a gap" : "an overlap");
    } else if (Rule == R::TimeContinuous) {
      Message += std::string("EDF+C records follow each other without ") + (Late ? "a gap" : "an overlap");
    } else {
      Message += "EDF+D records do not overlap";
    }
    Sink.Add(Rule, Where(), FBase + T.Onset.Begin, T.Onset.Size(), std::move(Quote.Bytes), Message);
  }

  // The recording so far reaches from Lo to Hi; a record from Start to End
  // widens it. It only ever widens, so an annotation inside it stays inside
  // whatever order the stamps come in.
  void Widen(const TExactTime& Start, const TExactTime& End) {
    const bool First = !FExtentKnown;
    FLo = First ? Start : std::min(FLo, Start);
    FHi = First ? End : std::max(FHi, End);
    FExtentKnown = true;
    if (First) {
      for (TPending& P : FUnplaced) Wait(std::move(P));
      FUnplaced.clear();
    }
    while (!FBelow.empty() && FBelow.front().Onset >= FLo) {
      std::pop_heap(FBelow.begin(), FBelow.end(), Earlier);
      FBelow.pop_back();
    }
    while (!FAbove.empty() && FAbove.front().Onset <= FHi) {
      std::pop_heap(FAbove.begin(), FAbove.end(), Later);
      FAbove.pop_back();
    }
  }

  // An annotation outside the recording known so far waits until the whole
  // recording is known: a later record may still take it in.
  void Outside(const TTal& T) {
    const TExactTime& On = T.OnsetValue;
    if (FExtentKnown && On >= FLo && (!Timed() || On <= FHi)) return;
    if (FBelow.size() + FAbove.size() + FUnplaced.size() >= MaxPending) {
      if (FExtentKnown) ++FOverflow;
      return;
    }
    const TTalSpan Short{T.Onset.Begin, T.Onset.Begin + std::min(T.Onset.Size(), PendingExcerpt)};
    TPending P{On, FRecord, FSignal, FBase + T.Onset.Begin, T.Onset.Size(),
               std::string(reinterpret_cast<const char*>(FBlock) + Short.Begin, Short.Size()),
               T.Onset.Size() > PendingExcerpt};
    if (FExtentKnown)
      Wait(std::move(P));
    else
      FUnplaced.push_back(std::move(P));
  }

  // Into the heap of those before the recording (latest first) or after it
  // (earliest first), so each widening drops the ones it takes in cheaply.
  void Wait(TPending P) {
    if (P.Onset < FLo) {
      FBelow.push_back(std::move(P));
      std::push_heap(FBelow.begin(), FBelow.end(), Earlier);
    } else if (Timed() && P.Onset > FHi) {
      FAbove.push_back(std::move(P));
      std::push_heap(FAbove.begin(), FAbove.end(), Later);
    }
  }

  static bool Earlier(const TPending& A, const TPending& B) { return A.Onset < B.Onset; }
  static bool Later(const TPending& A, const TPending& B) { return A.Onset > B.Onset; }

  // The record and annotation signal being scanned.
  int64_t FRecord = 0;
  int FSignal = 0;
  bool FFirstSignal = false;
  int64_t FBase = 0;
  const uint8_t* FBlock = nullptr;
  uint32_t FSize = 0;
  bool FStamped = false;
  // Time-keeping: the end of the last record read (the start expected of
  // the next one), and the recording's extent so far.
  bool FEndKnown = false;
  TExactTime FEnd;
  bool FExtentKnown = false;
  TExactTime FLo;
  TExactTime FHi;
  // Annotations outside the extent so far: met before any stamp, before
  // the extent (a heap, latest first) and after it (earliest first).
  std::vector<TPending> FUnplaced;
  std::vector<TPending> FBelow;
  std::vector<TPending> FAbove;
  int64_t FOverflow = 0;
};

TConformanceCheck::TConformanceCheck(const TCustomEDFFile& F) : FState(std::make_unique<TState>(F)) {
  TRecordLayout Layout;
  std::string WhyNot;
  const bool Usable = ConformanceLayout(F, Layout, WhyNot);
  FState->UseLayout(Layout, Usable, WhyNot);
}

TConformanceCheck::TConformanceCheck(const TCustomEDFFile& F, const TRecordLayout& Layout)
    : FState(std::make_unique<TState>(F)) {
  FState->UseLayout(Layout, Layout.RecordBytes > 0 && Layout.SampleBytes > 0,
                    "the layout holds no record bytes");
}

TConformanceCheck::~TConformanceCheck() = default;

bool TConformanceCheck::WantsRecords() const { return FState->Wants; }

const TRecordLayout& TConformanceCheck::Layout() const { return FState->Layout; }

void TConformanceCheck::OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) {
  if (FState->Wants) FState->Record(Index, Position, Bytes);
}

TConformanceReport TConformanceCheck::Finish(const TScanOutcome& Outcome) {
  TState& S = *FState;
  for (TFinding& Found : ScanFindings(Outcome)) S.Sink.AddOther(std::move(Found));
  S.Outstanding(Outcome.Cancelled);
  TConformanceReport Report;
  Report.Format = S.Ctx.Format;
  Report.Plus = S.Ctx.Plus;
  Report.RecordsChecked = S.Wants && (Outcome.RecordsScanned > 0 || Outcome.ReadFailed || S.Layout.NrRecords == 0);
  Report.RecordsScanned = Outcome.RecordsScanned;
  Report.Cancelled = Outcome.Cancelled;
  S.Sink.Fill(Report);
  return Report;
}

TConformanceReport CheckConformance(const TCustomEDFFile& F, const TScanProgress& Progress) {
  TConformanceCheck Check(F);
  TScanOutcome Outcome;
  if (Check.WantsRecords()) {
    TRecordVisitor* Visitors[] = {&Check};
    Outcome = ScanRecords(*F.Stream(), Check.Layout(), Visitors, Progress);
  }
  return Check.Finish(Outcome);
}
